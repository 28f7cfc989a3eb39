#pragma once
// Portable bitmaps, graymaps and pixmaps (pbm, pgm, ppm) in their ASCII (P1, P2, P3) and binary
// (P4, P5, P6) forms. One reader serves the three extensions, which differ only in the kinds
// they recognise; one writer serves them too and writes the kind of its own extension.

#include "imaging/FileFormats.h"

namespace scenaria {

// Write P4, P5 and P6 instead of P1, P2 and P3; off by default.
extern bool PxMWriteBinary;

class TPxMFileFormatReader : public TFileFormatReader {
public:
    bool CanRead(const TFileHeader& header) const override;
    void Read(TPGStream& stream, TPixelGraphic& image, int index) const override;
    void GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const override;

protected:
    // asciiKind and binaryKind are the digits after the "P" that this entry recognises.
    TPxMFileFormatReader(std::string className, std::string extension, std::string description,
                         char asciiKind, char binaryKind);

private:
    char asciiKind_;
    char binaryKind_;
};

class TPBMFileFormatReader : public TPxMFileFormatReader {
public:
    TPBMFileFormatReader()
        : TPxMFileFormatReader("TPBMFileFormatReader", "pbm", "Portable Bitmap", '1', '4')
    {
    }
};

class TPGMFileFormatReader : public TPxMFileFormatReader {
public:
    TPGMFileFormatReader()
        : TPxMFileFormatReader("TPGMFileFormatReader", "pgm", "Portable Graymap", '2', '5')
    {
    }
};

class TPPMFileFormatReader : public TPxMFileFormatReader {
public:
    TPPMFileFormatReader()
        : TPxMFileFormatReader("TPPMFileFormatReader", "ppm", "Portable Pixelmap", '3', '6')
    {
    }
};

class TPXMFileFormatWriter : public TFileFormatWriter {
public:
    void Write(TPGStream& stream, TPixelGraphic& image) const override;

protected:
    TPXMFileFormatWriter(std::string className, std::string extension, std::string description,
                         TColorResolutions canWriteResolutions);
};

class TPBMFileFormatWriter : public TPXMFileFormatWriter {
public:
    TPBMFileFormatWriter()
        : TPXMFileFormatWriter("TPBMFileFormatWriter", "pbm", "Portable Bitmap",
                               ColorResolutions({crBlackWhite}))
    {
    }
};

class TPGMFileFormatWriter : public TPXMFileFormatWriter {
public:
    TPGMFileFormatWriter()
        : TPXMFileFormatWriter("TPGMFileFormatWriter", "pgm", "Portable Graymap",
                               ColorResolutions({cr256Grays}))
    {
    }
};

class TPPMFileFormatWriter : public TPXMFileFormatWriter {
public:
    TPPMFileFormatWriter()
        : TPXMFileFormatWriter("TPPMFileFormatWriter", "ppm", "Portable Pixelmap",
                               ColorResolutions({crTrueColor}))
    {
    }
};

} // namespace scenaria
