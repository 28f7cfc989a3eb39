// Feeds arbitrary bytes to the TIFF reader through the library's loading path, then writes
// what loaded as TIFF (plain or PackBits, either byte order) and reads it back, which must
// give the same pixels.

#include "imaging/FileFormats.h"
#include "imaging/Stream.h"
#include "imaging/formats/Tiff.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace scenaria;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The last byte picks the settings, so that every path is reached from the seeds.
    const std::uint8_t choice = size > 0 ? data[size - 1] : 0;
    TIFFCountImages = choice & 1;
    TIFFWriteCompression = choice & 2 ? 32773 : 1;
    TIFFWriteMotorola = choice & 4;
    TIFFWriteCMYK = choice & 8;
    TIFFWriteWhiteIsZero = choice & 16;
    const int index = TIFFCountImages && (choice & 32) ? 1 : 0;

    // Legitimately huge pictures would only exhaust the fuzzer's memory limit; their
    // directories are still parsed here.
    TPGImageInfo info;
    try {
        TPGBufferStream probe(data, size);
        TTIFFileFormatReader().GetInfo(probe, index, info);
    } catch (const EPixelGraphic&) {
    } catch (const EStreamError&) {
    }
    if (std::int64_t{info.Width} * info.Height > 4'000'000)
        return 0;

    TPixelGraphic image;
    image.ReadWarningAction = choice & 64 ? pgwaRaise : pgwaIgnore;
    try {
        TPGBufferStream stream(data, size);
        image.LoadFromStreamAs(stream, {}, index);
    } catch (const EPixelGraphic&) {
        return 0;
    } catch (const EStreamError&) {
        return 0;
    }
    if (image.Empty())
        return 0;
    image.IdentifyPalette();
    const TFileFormatWriter& writer = FileFormats().FindWriter("tif");
    const bool storable = writer.CanWriteResolutions() & 1u << ColorResolutionOf(image);
    image.SaveColorResWarningAction = pgwaIgnore;
    TPGMemoryStream copy;
    image.SaveToStreamAs(copy, "tif");
    copy.Seek(0);
    TPixelGraphic again;
    again.LoadFromStream(copy);
    if (again.Width() != image.Width() || again.Height() != image.Height())
        std::abort();
    if (storable && (again.ImageSize() != image.ImageSize() ||
                     std::memcmp(again.PixelData(), image.PixelData(), image.ImageSize()) != 0))
        std::abort();
    return 0;
}
