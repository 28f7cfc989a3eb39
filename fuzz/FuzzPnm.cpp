// Feeds arbitrary bytes to the PBM, PGM and PPM reader, then writes what loaded in the kind it
// came as, ASCII and binary, and checks that both read back as the same picture.

#include "fuzz/FuzzSupport.h"
#include "imaging/formats/Pnm.h"

using namespace scenaria;

namespace {

bool SamePixels(TPixelGraphic& a, TPixelGraphic& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitCount() != b.BitCount() ||
        a.PaletteIdent() != b.PaletteIdent())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y))
                return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TPPMFileFormatReader reader;
    TPixelGraphic image;
    if (!fuzz::LoadsWith(reader, image, data, size))
        return 0;
    fuzz::RequireSameStreamed(image, data, size,
                              [&reader](TPGStream& s, TPixelGraphic& i) { reader.Read(s, i, 0); });
    const char* extension = image.BitCount() == bc1Bit   ? "pbm"
                            : image.BitCount() == bc8Bit ? "pgm"
                                                         : "ppm";
    for (const bool binary : {false, true}) {
        PxMWriteBinary = binary;
        TPixelGraphic again;
        fuzz::WriteAndRead(image, extension, again);
        if (!SamePixels(image, again))
            std::abort();
    }
    PxMWriteBinary = false;
    return 0;
}
