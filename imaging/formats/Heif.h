#pragma once
// HEIF pictures through libheif: HEIC (HEVC, decoded by libde265) and AVIF (AV1, decoded by
// dav1d or libaom), the file's primary image, 8 or more bits reduced to 8, alpha composited
// over the image's FillColor. libheif applies the file's rotation and mirroring (irot, imir)
// itself, so these readers report the pixels as upright (Orientation 1).
//
// One implementation serves three extensions; each reader recognises the major brands of its
// own kind of file, so that the registry picks exactly one of them for any file.

#include "imaging/FileFormats.h"

#include <string>
#include <vector>

namespace scenaria {

class THEIFFamilyReader : public TFileFormatReader {
public:
    bool CanRead(const TFileHeader& header) const override;
    void Read(TPGStream& stream, TPixelGraphic& image, int index) const override;
    void GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const override;

protected:
    // tag starts the messages ("HEIF", "AVIF"); brands are the major brands recognised.
    THEIFFamilyReader(std::string className, std::string extension, std::string description,
                      std::string tag, std::vector<std::string> brands);

private:
    std::string tag_;
    std::vector<std::string> brands_;
};

class THEICFileFormatReader : public THEIFFamilyReader {
public:
    THEICFileFormatReader();
};

class THEIFFileFormatReader : public THEIFFamilyReader {
public:
    THEIFFileFormatReader();
};

class TAVIFFileFormatReader : public THEIFFamilyReader {
public:
    TAVIFFileFormatReader();
};

} // namespace scenaria
