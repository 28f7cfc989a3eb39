// Feeds arbitrary bytes to the Paintbrush reader, then keeps what loaded as a bitmap and reads
// that back.

#include "imaging/FileFormats.h"
#include "imaging/Stream.h"
#include "imaging/formats/Pcx.h"

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
        TPCXFileFormatReader().GetInfo(probe, 0, info);
    } catch (const EPixelGraphic&) {
    }
    if (std::llabs(std::int64_t{info.Width} * info.Height) > 4'000'000)
        return 0;

    TPixelGraphic image;
    try {
        TPGBufferStream stream(data, size);
        TPCXFileFormatReader().Read(stream, image, 0);
        image.IdentifyPalette();
    } catch (const EPixelGraphic&) {
        return 0;
    } catch (const EStreamError&) {
        return 0;
    }
    TPGMemoryStream copy;
    image.SaveToStream(copy);
    copy.Seek(0);
    TPixelGraphic again;
    again.LoadFromStream(copy);
    if (again.Width() != image.Width() || again.Height() != image.Height() ||
        again.ImageSize() != image.ImageSize())
        std::abort();
    return 0;
}
