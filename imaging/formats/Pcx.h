#pragma once
// Paintbrush pictures (pcx): 1-bit, 4-bit in four planes, 8-bit with the 256-colour palette at
// the end of the file, and 24-bit in three colour planes. There is no writer.

#include "imaging/FileFormats.h"

namespace scenaria {

class TPCXFileFormatReader : public TFileFormatReader {
public:
    TPCXFileFormatReader();

    bool CanRead(const TFileHeader& header) const override;
    void Read(TPGStream& stream, TPixelGraphic& image, int index) const override;
    void GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const override;
};

} // namespace scenaria
