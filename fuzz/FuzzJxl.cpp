// Feeds arbitrary bytes to the JPEG XL reader (codestream and container, still and animated,
// the orientation the decoder is told to keep), then turns what loaded upright, which must
// give the upright size.

#include "fuzz/FuzzSupport.h"
#include "imaging/Orientation.h"
#include "imaging/formats/Jxl.h"

#include <cstdlib>

using namespace scenaria;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TJXLFileFormatReader reader;
    TPixelGraphic image;
    if (!fuzz::LoadsWith(reader, image, data, size))
        return 0;
    int width = image.Width(), height = image.Height();
    OrientedSize(image.Orientation, width, height);
    ApplyOrientation(image);
    if (image.Width() != width || image.Height() != height || image.Orientation != 1)
        std::abort();
    return 0;
}
