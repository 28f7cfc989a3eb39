// Feeds arbitrary bytes to the TIFF reader through the library's loading path, then writes
// what loaded as TIFF (plain or PackBits, either byte order) and reads it back, which must
// give the same pixels.

#include "fuzz/FuzzSupport.h"
#include "imaging/formats/Tiff.h"

#include <algorithm>
#include <cstring>

using namespace scenaria;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Only TIFF data: anything else would go to another reader, whose sizes are not checked
    // here.
    TFileHeader header{};
    if (size > 0)
        std::memcpy(header.data(), data, std::min(size, header.size()));
    if (!TTIFFileFormatReader().CanRead(header))
        return 0;
    // The last byte picks the settings, so that every path is reached from the seeds.
    const std::uint8_t choice = size > 0 ? data[size - 1] : 0;
    TIFFCountImages = choice & 1;
    TIFFWriteCompression = choice & 2 ? 32773 : 1;
    TIFFWriteMotorola = choice & 4;
    TIFFWriteCMYK = choice & 8;
    TIFFWriteWhiteIsZero = choice & 16;
    const int index = TIFFCountImages && (choice & 32) ? 1 : 0;

    TPixelGraphic image;
    image.ReadWarningAction = choice & 64 ? pgwaRaise : pgwaIgnore;
    // A load, a saved copy and a reloaded copy of each picture: a million pixels take every
    // path without running the fuzzer into its memory limit.
    if (fuzz::TooLarge(TTIFFileFormatReader(), data, size, index, 1'000'000) ||
        !fuzz::Loads(image, data, size,
                     [index](TPGStream& s, TPixelGraphic& i) { i.LoadFromStreamAs(s, {}, index); }))
        return 0;
    if (image.Empty())
        return 0;
    image.IdentifyPalette();
    const TFileFormatWriter& writer = FileFormats().FindWriter("tif");
    const bool storable = writer.CanWriteResolutions() & 1u << ColorResolutionOf(image);
    image.SaveColorResWarningAction = pgwaIgnore;
    TPixelGraphic again;
    fuzz::WriteAndRead(image, "tif", again);
    fuzz::RequireSame(image, again, storable);
    return 0;
}
