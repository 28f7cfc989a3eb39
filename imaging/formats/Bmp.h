#pragma once
// Windows and OS/2 bitmaps (bmp, dib, rle): the reader, the writer, and the body reader and
// writer (header, colour table, pixels, without the 14-byte file header) that packed DIBs
// share with them.

#include "imaging/FileFormats.h"

namespace scenaria {

// Widen the channels of 16-bit pixels so that full intensity gives 255 (a 5-bit 31 becomes
// 255 instead of 248); on by default.
extern bool BMP16BitChannelWidening;

class TBMPFileFormatReader : public TFileFormatReader {
public:
    TBMPFileFormatReader() : TBMPFileFormatReader("TBMPFileFormatReader", "bmp") {}

    bool CanRead(const TFileHeader& header) const override;
    void Read(TPGStream& stream, TPixelGraphic& image, int index) const override;
    void GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const override;

protected:
    TBMPFileFormatReader(std::string className, std::string extension);
};

class TDIBFileFormatReader : public TBMPFileFormatReader {
public:
    TDIBFileFormatReader() : TBMPFileFormatReader("TDIBFileFormatReader", "dib") {}
};

class TRLEFileFormatReader : public TBMPFileFormatReader {
public:
    TRLEFileFormatReader() : TBMPFileFormatReader("TRLEFileFormatReader", "rle") {}
};

class TBMPFileFormatWriter : public TFileFormatWriter {
public:
    TBMPFileFormatWriter() : TBMPFileFormatWriter("TBMPFileFormatWriter", "bmp") {}

    void Write(TPGStream& stream, TPixelGraphic& image) const override;

protected:
    TBMPFileFormatWriter(std::string className, std::string extension);
};

class TDIBFileFormatWriter : public TBMPFileFormatWriter {
public:
    TDIBFileFormatWriter() : TBMPFileFormatWriter("TDIBFileFormatWriter", "dib") {}
};

// The body of a bitmap at the stream's position: an OS/2 (12-byte) or Windows (40-byte)
// header, the colour table and the pixels. Raises EPGBMPFileFormatReader.
void ReadBMPBody(TPGStream& stream, TPixelGraphic& image, bool os2);
// The body as the writer stores it: 40-byte header, PaletteCount table entries, the pixels.
void WriteBMPBody(TPGStream& stream, const TPixelGraphic& image);

} // namespace scenaria
