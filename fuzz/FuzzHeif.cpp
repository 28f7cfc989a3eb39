// Feeds arbitrary bytes to the HEIF reader (libheif's box parser, the HEVC and AV1 decoders,
// grids, alpha and the transformations libheif applies). The AVIF and HEIC readers differ
// only in the brands they recognise, so one of them stands for all three.

#include "fuzz/FuzzSupport.h"
#include "imaging/formats/Heif.h"

#include <cstdlib>

using namespace scenaria;

// libheif 1.15's dav1d plugin loses what libdav1d reserved for data it refuses (40 bytes a
// broken AV1 picture; tests/data/crashes/heif/NOTES.md). That loss is not the reader's and
// would stop every run within seconds; leaks of anything else are still reported.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdav1d.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const THEIFFileFormatReader reader;
    TPixelGraphic image;
    if (!fuzz::LoadsWith(reader, image, data, size))
        return 0;
    // libheif has turned the pixels already; the reader must not ask for it again.
    if (image.Orientation != 1 || image.BitCount() != bc24Bit)
        std::abort();
    return 0;
}
