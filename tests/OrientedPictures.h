#pragma once
// Pictures stored the way a camera held them, for the tests of the composition and of
// scenarix-tool: an upright test picture, the pixels that orientation k stores for it (made with
// two primitive steps of the test's own, not with the library's table), and a PNG file of those
// pixels with an eXIf chunk written by hand.

#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"

#include <cstdint>
#include <string>

namespace scenaria::testing {

inline void PaintUpright(TPixelGraphic& image, int width, int height)
{
    image.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.SetPixelColor(x, y, RGB(x * 255 / width, y * 255 / height, (x * 7 + y) % 256));
}

inline void TurnClockwise(const TPixelGraphic& in, TPixelGraphic& out)
{
    out.SetSize(in.Height(), in.Width(), bc24Bit);
    for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x)
            out.SetPixel(x, y, in.GetPixel(y, in.Height() - 1 - x));
}

inline void MirrorLeftRight(const TPixelGraphic& in, TPixelGraphic& out)
{
    out.SetSize(in.Width(), in.Height(), bc24Bit);
    for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x)
            out.SetPixel(x, y, in.GetPixel(in.Width() - 1 - x, y));
}

// The stored pixels of an upright picture under orientation k: the inverse of what a viewer
// does (a quarter turn clockwise for 6 is undone by three more).
inline void StoredFor(const TPixelGraphic& upright, int k, TPixelGraphic& stored)
{
    // Steps, applied in order: 'R' a quarter turn clockwise, 'M' a mirror.
    static const char* const Steps[9] = {"", "", "M", "RR", "RRM", "RM", "RRR", "MR", "R"};
    stored.Assign(&upright);
    for (const char* step = Steps[k]; *step; ++step) {
        TPixelGraphic next;
        if (*step == 'R')
            TurnClockwise(stored, next);
        else
            MirrorLeftRight(stored, next);
        stored.Assign(&next);
    }
}

inline std::uint32_t Crc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int i = 0; i < 8; ++i)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

inline std::string Be32(std::uint32_t v)
{
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16 & 0xFF),
            static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v & 0xFF)};
}

// A big-endian Exif block with one entry, orientation k.
inline std::string ExifWithOrientation(int k)
{
    return std::string("MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 19) +
           static_cast<char>(k) + std::string(6, '\0');
}

// The PNG the library writes for the image, with an eXIf chunk saying k after IHDR.
inline std::string PngWithOrientation(TPixelGraphic& image, int k)
{
    TPGMemoryStream stream;
    image.SaveToStreamAs(stream, "png");
    const std::string png(stream.Data().begin(), stream.Data().end());
    const std::string body = "eXIf" + ExifWithOrientation(k);
    const std::string chunk =
        Be32(static_cast<std::uint32_t>(body.size() - 4)) + body + Be32(Crc32(body));
    const std::size_t afterHeader = 8 + 25; // signature, IHDR
    return png.substr(0, afterHeader) + chunk + png.substr(afterHeader);
}

} // namespace scenaria::testing
