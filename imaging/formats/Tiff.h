#pragma once
// Baseline Tagged Image File Format (tif, tiff), entirely the library's own code: the reader
// (strips, uncompressed or PackBits; bilevel, 4- and 8-bit grey or palette, RGB, RGB with an
// extra sample, CMYK) and the writer (1, 4, 8 and 24 bits, in Intel or Motorola byte order).

#include "imaging/FileFormats.h"

#include <cstdint>
#include <vector>

namespace scenaria {

struct TTIFFRational {
    std::uint32_t Numerator = 0;
    std::uint32_t Denominator = 1;
};

// Library-wide TIFF settings; nothing in the program changes them.
extern bool TIFFCountImages;               // walk the directory chain to count images (off)
extern int TIFFMaxDirectories;             // the longest chain that walk follows (1000)
extern int TIFFWriteCompression;           // 1 none, 32773 PackBits; others make writing fail (1)
extern bool TIFFWriteCMYK;                 // 24-bit images as CMYK (off)
extern bool TIFFWriteWhiteIsZero;          // bilevel and grey as WhiteIsZero, inverted (off)
extern bool TIFFWriteMotorola;             // byte order "MM" instead of "II" (off)
extern int TIFFWriteResolutionUnit;        // 0 none, 1 inch, 2 centimetre (1)
extern TTIFFRational TIFFWriteXResolution; // 300/1
extern TTIFFRational TIFFWriteYResolution; // 300/1

class TTIFFileFormatReader : public TFileFormatReader {
public:
    TTIFFileFormatReader() : TTIFFileFormatReader("TTIFFileFormatReader", "tif") {}

    bool CanRead(const TFileHeader& header) const override;
    void Read(TPGStream& stream, TPixelGraphic& image, int index) const override;
    void GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const override;

protected:
    TTIFFileFormatReader(std::string className, std::string extension);
};

class TTIFFFileFormatReader : public TTIFFileFormatReader {
public:
    TTIFFFileFormatReader() : TTIFFileFormatReader("TTIFFFileFormatReader", "tiff") {}
};

// Where a file being written stands between the three steps of writing.
struct TTIFFWriteState {
    std::uint64_t Start = 0;           // stream position of the file header
    std::uint64_t NextOffsetField = 0; // where the next directory's offset goes
    bool Motorola = false;             // the byte order StartFile chose
};

// Write is StartFile, WriteImage and FinishFile in turn; calling WriteImage more than once
// between them gives a file with one directory per image.
class TTIFFileFormatWriter : public TFileFormatWriter {
public:
    TTIFFileFormatWriter() : TTIFFileFormatWriter("TTIFFileFormatWriter", "tif") {}

    void Write(TPGStream& stream, TPixelGraphic& image) const override;
    // The file header with a placeholder for the first directory's offset.
    virtual void StartFile(TPGStream& stream, TTIFFWriteState& state) const;
    // One image directory, its values and the image's strips, linked into the chain.
    virtual void WriteImage(TPGStream& stream, TPixelGraphic& image, TTIFFWriteState& state) const;
    // Nothing is left to do after the last image; kept as the place for it.
    virtual void FinishFile(TPGStream& stream, TTIFFWriteState& state) const;

protected:
    TTIFFileFormatWriter(std::string className, std::string extension);
};

class TTIFFFileFormatWriter : public TTIFFileFormatWriter {
public:
    TTIFFFileFormatWriter() : TTIFFileFormatWriter("TTIFFFileFormatWriter", "tiff") {}
};

// One row in PackBits as the writer packs it (runs of two beside literal bytes stay literal).
std::vector<std::uint8_t> PackBitsEncode(const std::uint8_t* row, std::size_t count);

} // namespace scenaria
