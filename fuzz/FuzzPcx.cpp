// Feeds arbitrary bytes to the Paintbrush reader, then keeps what loaded as a bitmap and reads
// that back.

#include "fuzz/FuzzSupport.h"
#include "imaging/formats/Pcx.h"

using namespace scenaria;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TPCXFileFormatReader reader;
    TPixelGraphic image;
    if (!fuzz::LoadsWith(reader, image, data, size))
        return 0;
    TPixelGraphic again;
    fuzz::WriteAndRead(image, "bmp", again);
    fuzz::RequireSame(image, again, true);
    return 0;
}
