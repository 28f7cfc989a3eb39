// Feeds arbitrary bytes to the PNG reader through the library's loading path, then saves what
// loaded as PNG and reads it back, which must give the same pixels.

#include "fuzz/FuzzSupport.h"
#include "imaging/formats/Png.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <zlib.h>

using namespace scenaria;

namespace {

// Chunk checksums stop almost every mutation at the first chunk it touches; mending them lets
// the fuzzer reach what lies behind (decompression, transformations, the chunk handlers).
std::vector<std::uint8_t> WithMendedChecksums(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> mended(data, data + size);
    for (std::size_t at = 8; at + 12 <= size;) {
        const std::uint64_t length =
            std::uint64_t{data[at]} << 24 | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
        if (length > size - at - 12)
            break;
        const uLong crc = crc32(0, data + at + 4, static_cast<uInt>(length + 4));
        for (int i = 0; i < 4; ++i)
            mended[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        at += 12 + length;
    }
    return mended;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    const std::vector<std::uint8_t> mended = size > 0 && input[size - 1] & 2
                                                 ? std::vector<std::uint8_t>(input, input + size)
                                                 : WithMendedChecksums(input, size);
    const std::uint8_t* data = mended.data();
    // Only PNG data: anything else would go to another reader, whose sizes are not checked
    // here.
    static constexpr std::uint8_t Signature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (size < 8 || std::memcmp(data, Signature, 8) != 0)
        return 0;
    // A load, a saved copy and a reloaded copy of each picture: a million pixels take every
    // path without running the fuzzer into its memory limit. The size sits in IHDR, which
    // must come first; GetInfo still parses the headers of every input.
    if (size >= 24) {
        const auto be32 = [data](std::size_t at) {
            return std::uint64_t{data[at]} << 24 | data[at + 1] << 16 | data[at + 2] << 8 |
                   data[at + 3];
        };
        if (be32(16) * be32(20) > 1'000'000)
            return 0;
    }
    (void)fuzz::TooLarge(TPNGFileFormatReader(), data, size);

    TPixelGraphic image;
    // Both ways out of a libpng warning: carrying on, and jumping out of libpng.
    image.ReadWarningAction = size > 0 && data[size - 1] & 1 ? pgwaRaise : pgwaIgnore;
    if (!fuzz::Loads(image, data, size) || image.Empty())
        return 0;
    fuzz::RequireSameStreamed(image, data, size);
    image.ReadWarningAction = pgwaIgnore;
    TPixelGraphic again;
    again.ReadWarningAction = pgwaIgnore;
    fuzz::WriteAndRead(image, "png", again);
    fuzz::RequireSame(image, again, true);
    return 0;
}
