#pragma once
// WebP through libwebp: still pictures, lossy or lossless, with or without alpha (composited
// over the image's FillColor); an animation gives its first frame as the animation shows it.
// The orientation of an EXIF chunk is reported, not applied.

#include "imaging/FileFormats.h"

namespace scenaria {

class TWEBPFileFormatReader : public TFileFormatReader {
public:
    TWEBPFileFormatReader();

    bool CanRead(const TFileHeader& header) const override;
    void Read(TPGStream& stream, TPixelGraphic& image, int index) const override;
    void GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const override;
};

} // namespace scenaria
