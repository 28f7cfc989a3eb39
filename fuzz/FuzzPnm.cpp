// Feeds arbitrary bytes to the PBM, PGM and PPM reader, then writes what loaded in the kind it
// came as, ASCII and binary, and checks that both read back as the same picture.

#include "imaging/FileFormats.h"
#include "imaging/Stream.h"
#include "imaging/formats/Pnm.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

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
    // Legitimately huge pictures would only exhaust the fuzzer's memory limit; their headers
    // are still parsed here.
    TPGImageInfo info;
    try {
        TPGBufferStream probe(data, size);
        TPPMFileFormatReader().GetInfo(probe, 0, info);
    } catch (const EPixelGraphic&) {
    }
    if (std::llabs(std::int64_t{info.Width} * info.Height) > 4'000'000)
        return 0;

    TPixelGraphic image;
    try {
        TPGBufferStream stream(data, size);
        TPPMFileFormatReader().Read(stream, image, 0);
        image.IdentifyPalette();
    } catch (const EPixelGraphic&) {
        return 0;
    } catch (const EStreamError&) {
        return 0;
    }
    const char* extension = image.BitCount() == bc1Bit   ? "pbm"
                            : image.BitCount() == bc8Bit ? "pgm"
                                                         : "ppm";
    for (const bool binary : {false, true}) {
        PxMWriteBinary = binary;
        TPGMemoryStream copy;
        image.SaveToStreamAs(copy, extension);
        copy.Seek(0);
        TPixelGraphic again;
        again.LoadFromStream(copy);
        if (!SamePixels(image, again))
            std::abort();
    }
    PxMWriteBinary = false;
    return 0;
}
