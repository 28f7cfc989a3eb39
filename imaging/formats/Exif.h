#pragma once
// The orientation tag (274) of Exif data: a TIFF-structured block (byte order mark, magic 42,
// directory offset, then directory entries), as JPEG's APP1 segment (after "Exif\0\0"), PNG's
// eXIf chunk, HEIF's Exif item (after its offset field) and a TIFF file's first directory carry
// it. Every offset and count is checked against the block, so a hostile block can only give
// "no orientation".

#include <cstddef>
#include <cstdint>

namespace scenaria {

inline constexpr std::uint16_t ExifOrientationTag = 274;

// The orientation (1..8) in the first directory of the TIFF-structured block; 1 when the block
// is malformed, has no such entry or holds a value outside 1..8.
int ExifOrientation(const std::uint8_t* data, std::size_t size);

// The same for a JPEG APP1 segment's contents, which begin with "Exif\0\0"; 1 for any other
// APP1 (XMP, for one).
int JpegApp1Orientation(const std::uint8_t* data, std::size_t size);

// The orientation a directory entry of a TIFF file gives (type SHORT, count 1, the value in the
// entry's first two bytes), 1 when the entry does not hold a valid one.
int OrientationEntryValue(std::uint16_t type, std::uint32_t count, std::uint16_t value);

} // namespace scenaria
