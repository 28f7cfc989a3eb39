// Feeds arbitrary bytes to the JPEG reader through the library's loading path, with warnings
// raised or ignored as the last byte says, then writes small results back out.

#include "fuzz/FuzzSupport.h"
#include "imaging/formats/Jpeg.h"

using namespace scenaria;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The size is known only from a header that parses without complaint; data whose header
    // does not parse never decodes either.
    TPGImageInfo info;
    try {
        TPGBufferStream probe(data, size);
        TJPGFileFormatReader().GetInfo(probe, 0, info);
    } catch (const EPixelGraphic&) {
        return 0;
    }
    if (std::int64_t{info.Width} * info.Height > fuzz::MaxPixels / 2)
        return 0;

    TPixelGraphic image;
    const std::uint8_t last = size > 0 ? data[size - 1] : 0;
    image.ReadWarningAction = (last & 1) ? pgwaIgnore : pgwaRaise;
    image.FastDecoding = (last & 2) != 0;
    if (!fuzz::Loads(image, data, size))
        return 0;
    fuzz::RequireSameStreamed(image, data, size);
    if (std::int64_t{image.Width()} * image.Height() <= 65536) {
        TPixelGraphic again;
        fuzz::WriteAndRead(image, "jpg", again);
        fuzz::RequireSame(image, again, false);
        if (again.BitCount() != image.BitCount())
            std::abort();
    }
    return 0;
}
