// Feeds arbitrary bytes to the JPEG reader through the library's loading path, with warnings
// raised or ignored as the last byte says, then writes small results back out.

#include "imaging/FileFormats.h"
#include "imaging/Stream.h"
#include "imaging/formats/Jpeg.h"

#include <cstdint>
#include <cstdlib>

using namespace scenaria;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The size is known only from a header that parses without complaint; legitimately huge
    // pictures would only exhaust the fuzzer's memory limit.
    TPGImageInfo info;
    try {
        TPGBufferStream probe(data, size);
        TJPGFileFormatReader().GetInfo(probe, 0, info);
    } catch (const EPixelGraphic&) {
        return 0;
    }
    if (std::int64_t{info.Width} * info.Height > 2'000'000)
        return 0;

    TPixelGraphic image;
    const std::uint8_t last = size > 0 ? data[size - 1] : 0;
    image.ReadWarningAction = (last & 1) ? pgwaIgnore : pgwaRaise;
    image.FastDecoding = (last & 2) != 0;
    try {
        TPGBufferStream stream(data, size);
        image.LoadFromStream(stream);
    } catch (const EPixelGraphic&) {
        return 0;
    }
    if (std::int64_t{image.Width()} * image.Height() <= 65536) {
        TPGMemoryStream copy;
        image.SaveToStreamAs(copy, "jpg");
        copy.Seek(0);
        TPixelGraphic again;
        again.LoadFromStream(copy);
        if (again.Width() != image.Width() || again.Height() != image.Height() ||
            again.BitCount() != image.BitCount())
            std::abort();
    }
    return 0;
}
