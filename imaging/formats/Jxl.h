#pragma once
// JPEG XL through libjxl: still pictures and the first frame of an animation, 8 bits a channel
// (deeper files are reduced by the decoder), grey or colour, alpha composited over the image's
// FillColor. The decoder is told to keep the stored orientation: the reader reports the
// codestream's orientation and leaves turning the pixels to ApplyOrientation, as for JPEG.

#include "imaging/FileFormats.h"

namespace scenaria {

class TJXLFileFormatReader : public TFileFormatReader {
public:
    TJXLFileFormatReader();

    bool CanRead(const TFileHeader& header) const override;
    void Read(TPGStream& stream, TPixelGraphic& image, int index) const override;
    void GetInfo(TPGStream& stream, int index, TPGImageInfo& info) const override;
};

} // namespace scenaria
