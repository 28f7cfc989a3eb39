// Feeds arbitrary bytes to the Targa reader, then writes what loaded with the Targa writer and
// checks that it reads back as the same picture.

#include "imaging/FileFormats.h"
#include "imaging/Stream.h"
#include "imaging/formats/Tga.h"

#include <array>
#include <cstdint>
#include <cstdlib>

using namespace scenaria;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Legitimately huge pictures would only exhaust the fuzzer's memory limit; their headers
    // are still parsed here.
    TPGImageInfo info;
    try {
        TPGBufferStream probe(data, size);
        TTGAFileFormatReader().GetInfo(probe, 0, info);
    } catch (const EPixelGraphic&) {
    } catch (const EStreamError&) {
    }
    if (std::llabs(std::int64_t{info.Width} * info.Height) > 4'000'000)
        return 0;

    TPixelGraphic image;
    try {
        TPGBufferStream stream(data, size);
        TTGAFileFormatReader().Read(stream, image, 0);
        image.IdentifyPalette();
    } catch (const EPixelGraphic&) {
        return 0;
    } catch (const EStreamError&) {
        return 0;
    }
    // The reader makes only what the writer stores: 8-bit palette pictures and 24-bit ones.
    TPGMemoryStream copy;
    TTGAFileFormatWriter().Write(copy, image);
    copy.Seek(0);
    TPixelGraphic again;
    TTGAFileFormatReader().Read(copy, again, 0);
    if (again.Width() != image.Width() || again.Height() != image.Height() ||
        again.BitCount() != image.BitCount())
        std::abort();
    std::array<TColor, 256> before{}, after{};
    image.GetColorTable(before);
    again.GetColorTable(after);
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const std::uint32_t a = image.GetPixel(x, y), b = again.GetPixel(x, y);
            const bool same =
                image.BitCount() == bc24Bit ? a == b : before[a & 0xFF] == after[b & 0xFF];
            if (!same)
                std::abort();
        }
    }
    return 0;
}
