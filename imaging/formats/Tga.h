#pragma once
// Truevision Targa pictures (tga): the reader of 8-, 16-, 24- and 32-bit pixels, colour-mapped
// or not, plain or run-length encoded, in any of the four orientations; the writer of
// uncompressed 8-bit colour-mapped and 24-bit files. The format has no signature, so the
// reader is chosen by the extension alone.

#include "imaging/FileFormats.h"

namespace scenaria {

class TTGAFileFormatReader : public TFileFormatReader {
public:
    TTGAFileFormatReader();

    void Read(TPGStream& stream, TPixelGraphic& image, int index) const override;
    void GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const override;
};

class TTGAFileFormatWriter : public TFileFormatWriter {
public:
    TTGAFileFormatWriter();

    void Write(TPGStream& stream, TPixelGraphic& image) const override;
};

} // namespace scenaria
