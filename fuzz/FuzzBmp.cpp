// Feeds arbitrary bytes to the bitmap reader through the library's loading path, then writes
// what loaded and reads it back.

#include "fuzz/FuzzSupport.h"
#include "imaging/formats/Bmp.h"

using namespace scenaria;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Only bitmaps: anything else would go to another reader, whose sizes are not checked here.
    if (size < 2 || data[0] != 'B' || data[1] != 'M')
        return 0;
    TPixelGraphic image;
    if (fuzz::TooLarge(TBMPFileFormatReader(), data, size) || !fuzz::Loads(image, data, size))
        return 0;
    fuzz::RequireSameStreamed(image, data, size);
    TPixelGraphic again;
    fuzz::WriteAndRead(image, "bmp", again);
    fuzz::RequireSame(image, again, true);
    return 0;
}
