#include "imaging/formats/CodecInput.h"
#include "imaging/ProgressScope.h"

#include <climits>

namespace scenaria {

bool WithinPixelBudget(std::uint64_t width, std::uint64_t height)
{
    if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX)
        return false;
    return width * height <= MaxImageBytes / CodecBytesPerPixel;
}

bool ReadCodecInput(TPGStream& stream, std::vector<std::uint8_t>& data)
{
    const std::uint64_t size = stream.Remaining();
    if (size > MaxImageBytes)
        return false;
    data.resize(static_cast<std::size_t>(size));
    data.resize(stream.Read(data.data(), data.size()));
    return true;
}

namespace {

std::uint8_t Over(unsigned value, unsigned alpha, unsigned background)
{
    return static_cast<std::uint8_t>((value * alpha + background * (255 - alpha) + 127) / 255);
}

void StoreRow(const std::uint8_t* from, std::uint8_t* to, int width, int channels, TColor fill)
{
    const unsigned r0 = GetRValue(fill), g0 = GetGValue(fill), b0 = GetBValue(fill);
    for (int x = 0; x < width; ++x, from += channels, to += 3) {
        if (channels == 4 && from[3] != 255) {
            to[0] = Over(from[2], from[3], b0);
            to[1] = Over(from[1], from[3], g0);
            to[2] = Over(from[0], from[3], r0);
        } else {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
}

} // namespace

bool StoreCodecRows(TPixelGraphic& image, const std::uint8_t* pixels, std::size_t stride,
                    int channels)
{
    const TColor fill = image.FillColor();
    const int height = image.Height();
    const TProgressScope progress(image);
    for (int y = 0; y < height; ++y) {
        StoreRow(pixels + y * stride, image.ScanLine(y), image.Width(), channels, fill);
        if (image.DoProgress(y + 1, height))
            return false;
    }
    return true;
}

} // namespace scenaria
