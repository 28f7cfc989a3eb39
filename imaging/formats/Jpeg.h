#pragma once
// JPEG files (jpg, jpeg, jif) through libjpeg: the reader, the writer and the library-wide
// JPEG settings.

#include "imaging/FileFormats.h"

#include <cstddef>

namespace scenaria {

// The codec's DCT methods, in the order of its own enumeration.
enum TJPEGTransform : int { jtIntegerAccurate, jtIntegerFast, jtFloat };

// Library-wide JPEG settings; the library itself never changes them.
extern TJPEGTransform JPEGReadTransform;  // jtIntegerAccurate; an image's FastDecoding wins
extern TJPEGTransform JPEGWriteTransform; // jtFloat
extern int JPEGQuality;                   // 80, passed to the codec's quality scaling (0..100)
extern bool JPEGProgressive;              // off: baseline files

class TJPGFileFormatReader : public TFileFormatReader {
public:
    TJPGFileFormatReader() : TJPGFileFormatReader("TJPGFileFormatReader", "jpg") {}

    bool CanRead(const TFileHeader& header) const override;
    void Read(TPGStream& stream, TPixelGraphic& image, int index) const override;
    void GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const override;

protected:
    TJPGFileFormatReader(std::string className, std::string extension);
};

class TJPEGFileFormatReader : public TJPGFileFormatReader {
public:
    TJPEGFileFormatReader() : TJPGFileFormatReader("TJPEGFileFormatReader", "jpeg") {}
};

class TJIFFileFormatReader : public TJPGFileFormatReader {
public:
    TJIFFileFormatReader() : TJPGFileFormatReader("TJIFFileFormatReader", "jif") {}
};

class TJPGFileFormatWriter : public TFileFormatWriter {
public:
    TJPGFileFormatWriter() : TJPGFileFormatWriter("TJPGFileFormatWriter", "jpg") {}

    void Write(TPGStream& stream, TPixelGraphic& image) const override;

protected:
    TJPGFileFormatWriter(std::string className, std::string extension);
};

class TJPEGFileFormatWriter : public TJPGFileFormatWriter {
public:
    TJPEGFileFormatWriter() : TJPGFileFormatWriter("TJPEGFileFormatWriter", "jpeg") {}
};

class TJIFFileFormatWriter : public TJPGFileFormatWriter {
public:
    TJIFFileFormatWriter() : TJPGFileFormatWriter("TJIFFileFormatWriter", "jif") {}
};

// Checks that the codec linked in is the one this library was compiled against: its release
// (the leading digit and letter of its version string, e.g. "6b" for interface 62) and the
// sizes of its decompression and compression objects. Raises EPGJPGFileFormatReaderWriter
// "JPG: Invalid library version" or an EPixelGraphic naming the structure whose sizes differ.
// Every JPEG operation runs the check with the values of the headers (the answer is kept);
// other values are for tests.
void CheckJPEGCodec();
void CheckJPEGCodec(int interfaceVersion, std::size_t decompressSize, std::size_t compressSize);

} // namespace scenaria
