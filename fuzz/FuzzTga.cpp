// Feeds arbitrary bytes to the Targa reader, then writes what loaded with the Targa writer and
// checks that it reads back as the same picture.

#include "fuzz/FuzzSupport.h"
#include "imaging/formats/Tga.h"

#include <array>

using namespace scenaria;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TTGAFileFormatReader reader;
    TPixelGraphic image;
    if (!fuzz::LoadsWith(reader, image, data, size))
        return 0;
    fuzz::RequireSameStreamed(image, data, size,
                              [&reader](TPGStream& s, TPixelGraphic& i) { reader.Read(s, i, 0); });
    // The reader makes only what the writer stores: 8-bit palette pictures and 24-bit ones.
    TPGMemoryStream copy;
    TTGAFileFormatWriter().Write(copy, image);
    copy.Seek(0);
    TPixelGraphic again;
    reader.Read(copy, again, 0);
    fuzz::RequireSame(image, again, false);
    if (again.BitCount() != image.BitCount())
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
