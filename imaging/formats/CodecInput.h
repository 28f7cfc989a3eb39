#pragma once
// What the readers built on a whole-picture codec library (WebP, HEIF and AVIF, JPEG XL) share:
// taking the file into memory, the pixel budget checked before the codec reserves anything,
// and moving the codec's 8-bit RGB or RGBA rows into the image.
//
// Pixel budget: these codecs decode into a buffer of their own layout, 4 bytes a pixel (RGBA,
// 8 bits a channel), before the pixels reach the 24-bit image. A picture is accepted when that
// buffer fits the library's limit for one image, MaxImageBytes (1 GiB), that is at most
// 268 435 456 pixels (16 384 x 16 384): no reader then admits a picture larger than any other
// reader could, and the peak of one load is the codec's buffer plus the image, under 1.75 GiB.
// The header's numbers are checked against it before the codec is asked for the pixels.

#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace scenaria {

inline constexpr std::uint64_t CodecBytesPerPixel = 4;

// Whether a picture of width x height passes the budget above (and both are positive and fit
// the image's int sizes).
bool WithinPixelBudget(std::uint64_t width, std::uint64_t height);

// The rest of the stream from its position, or false when it holds more than MaxImageBytes (no
// picture within the budget needs a larger file).
bool ReadCodecInput(TPGStream& stream, std::vector<std::uint8_t>& data);

// Fills the 24-bit image, already sized, from top-down codec rows of `channels` (3 = RGB,
// 4 = RGBA) bytes a pixel. Alpha is composited over the image's FillColor, as PNG's reader
// does for a file without a background colour. Progress is reported row by row; false when
// the handler aborted.
bool StoreCodecRows(TPixelGraphic& image, const std::uint8_t* pixels, std::size_t stride,
                    int channels);

} // namespace scenaria
