#include "imaging/formats/Exif.h"
#include "imaging/formats/ByteIO.h"

#include <cstring>

namespace scenaria {

namespace {

constexpr std::uint16_t TypeShort = 3;
constexpr std::size_t EntrySize = 12;

struct TExifBlock {
    const std::uint8_t* Data;
    std::size_t Size;
    bool Motorola;

    std::uint16_t U16(std::size_t at) const
    {
        return Motorola ? Get16Motorola(Data + at) : Get16(Data + at);
    }
    std::uint32_t U32(std::size_t at) const
    {
        return Motorola ? Get32Motorola(Data + at) : Get32(Data + at);
    }
};

} // namespace

int OrientationEntryValue(std::uint16_t type, std::uint32_t count, std::uint16_t value)
{
    if (type != TypeShort || count != 1 || value < 1 || value > 8)
        return 1;
    return value;
}

int ExifOrientation(const std::uint8_t* data, std::size_t size)
{
    if (!data || size < 8)
        return 1;
    TExifBlock block{data, size, false};
    if (data[0] == 'M' && data[1] == 'M')
        block.Motorola = true;
    else if (data[0] != 'I' || data[1] != 'I')
        return 1;
    if (block.U16(2) != 42)
        return 1;
    const std::uint64_t directory = block.U32(4);
    if (directory > size || size - directory < 2)
        return 1;
    const std::uint64_t count = block.U16(directory);
    // Entries past the end of the block are ignored rather than read: a cut-off block still
    // gives what it holds.
    const std::uint64_t room = (size - directory - 2) / EntrySize;
    for (std::uint64_t i = 0; i < count && i < room; ++i) {
        const std::size_t at = static_cast<std::size_t>(directory + 2 + i * EntrySize);
        if (block.U16(at) != ExifOrientationTag)
            continue;
        return OrientationEntryValue(block.U16(at + 2), block.U32(at + 4), block.U16(at + 8));
    }
    return 1;
}

int JpegApp1Orientation(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::uint8_t Signature[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (!data || size < sizeof Signature || std::memcmp(data, Signature, sizeof Signature) != 0)
        return 1;
    return ExifOrientation(data + sizeof Signature, size - sizeof Signature);
}

} // namespace scenaria
