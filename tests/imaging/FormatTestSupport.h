#pragma once
// Helpers of the picture-file tests: hand-made bitmap files, pixels of a loaded image as RGB,
// and independent decoders (libpng for reference PNGs, Debian's tools) to compare with.

#include "RunProgram.h"
#include "TempDir.h"

#include "imaging/PixelGraphic.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace scenaria::testing {

// Puts a library-wide setting back when the test ends, even when it fails half-way.
template <typename T> class TSettingScope {
public:
    TSettingScope(T& setting, T value) : setting_(setting), saved_(setting) { setting = value; }
    ~TSettingScope() { setting_ = saved_; }
    TSettingScope(const TSettingScope&) = delete;
    TSettingScope& operator=(const TSettingScope&) = delete;

private:
    T& setting_;
    T saved_;
};

// An RGB picture, 3 bytes a pixel, rows top-down.
struct TRgbPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Pixels;

    const std::uint8_t* At(int x, int y) const
    {
        return Pixels.data() + (static_cast<std::size_t>(y) * Width + x) * 3;
    }
};

inline TRgbPicture RgbOf(const TPixelGraphic& image)
{
    std::array<TColor, 256> table{};
    image.GetColorTable(table);
    TRgbPicture rgb{image.Width(), image.Height(), {}};
    rgb.Pixels.reserve(static_cast<std::size_t>(image.Width()) * image.Height() * 3);
    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const std::uint32_t value = image.GetPixel(x, y);
            const TColor c = image.BitCount() == bc24Bit ? value : table[value & 0xFF];
            rgb.Pixels.push_back(static_cast<std::uint8_t>(GetRValue(c)));
            rgb.Pixels.push_back(static_cast<std::uint8_t>(GetGValue(c)));
            rgb.Pixels.push_back(static_cast<std::uint8_t>(GetBValue(c)));
        }
    }
    return rgb;
}

// A PNG decoded by libpng to 8-bit RGB (alpha dropped, as over black).
inline TRgbPicture ReadPng(const std::string& path)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        throw std::runtime_error("libpng cannot read " + path);
    png.format = PNG_FORMAT_RGB;
    TRgbPicture rgb{static_cast<int>(png.width), static_cast<int>(png.height), {}};
    rgb.Pixels.resize(PNG_IMAGE_SIZE(png));
    png_color black{0, 0, 0};
    if (!png_image_finish_read(&png, &black, rgb.Pixels.data(), 0, nullptr))
        throw std::runtime_error("libpng cannot decode " + path);
    return rgb;
}

// Parses binary PNM (P4, P5, P6) into RGB.
inline TRgbPicture ParsePnm(const std::string& data)
{
    std::size_t at = 0;
    const auto token = [&]() {
        while (at < data.size()) {
            if (data[at] == '#') {
                while (at < data.size() && data[at] != '\n')
                    ++at;
            } else if (std::isspace(static_cast<unsigned char>(data[at]))) {
                ++at;
            } else {
                break;
            }
        }
        const std::size_t start = at;
        while (at < data.size() && !std::isspace(static_cast<unsigned char>(data[at])))
            ++at;
        return data.substr(start, at - start);
    };
    const std::string magic = token();
    TRgbPicture rgb;
    rgb.Width = std::stoi(token());
    rgb.Height = std::stoi(token());
    const int maxval = magic == "P4" ? 1 : std::stoi(token());
    ++at;
    if (maxval != 1 && maxval != 255)
        throw std::runtime_error("unexpected PNM maxval");
    const std::size_t n = static_cast<std::size_t>(rgb.Width) * rgb.Height;
    rgb.Pixels.resize(n * 3);
    for (int y = 0; y < rgb.Height; ++y) {
        for (int x = 0; x < rgb.Width; ++x) {
            std::uint8_t r, g, b;
            if (magic == "P6") {
                const std::size_t p = at + (static_cast<std::size_t>(y) * rgb.Width + x) * 3;
                r = static_cast<std::uint8_t>(data.at(p));
                g = static_cast<std::uint8_t>(data.at(p + 1));
                b = static_cast<std::uint8_t>(data.at(p + 2));
            } else if (magic == "P5") {
                r = g = b = static_cast<std::uint8_t>(
                    data.at(at + static_cast<std::size_t>(y) * rgb.Width + x));
            } else if (magic == "P4") {
                const std::size_t rowBytes = (rgb.Width + 7) / 8;
                const auto byte = static_cast<std::uint8_t>(data.at(at + y * rowBytes + x / 8));
                r = g = b = (byte >> (7 - x % 8) & 1) ? 0 : 255;
            } else {
                throw std::runtime_error("unexpected PNM kind " + magic);
            }
            std::uint8_t* out =
                rgb.Pixels.data() + (static_cast<std::size_t>(y) * rgb.Width + x) * 3;
            out[0] = r;
            out[1] = g;
            out[2] = b;
        }
    }
    return rgb;
}

// The largest difference of any channel of any pixel; sizes must agree.
inline int MaxDifference(const TRgbPicture& a, const TRgbPicture& b)
{
    if (a.Width != b.Width || a.Height != b.Height)
        return 256;
    int worst = 0;
    for (std::size_t i = 0; i < a.Pixels.size(); ++i)
        worst = std::max(worst, std::abs(int(a.Pixels[i]) - int(b.Pixels[i])));
    return worst;
}

// Runs an independent tool that must be installed; the test fails naming it otherwise.
inline std::string ToolOutput(const std::vector<std::string>& argv)
{
    TRunResult result;
    try {
        result = RunProgram(argv);
    } catch (const std::exception&) {
        ADD_FAILURE() << argv[0] << " is not installed (build.sh installs it)";
        return {};
    }
    if (result.ExitCode != 0)
        ADD_FAILURE() << argv[0] << " failed: " << result.Err;
    return result.Out;
}

// Little-endian writers for hand-made files.
inline void Put16(std::string& s, unsigned v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8 & 0xFF);
}
inline void Put32(std::string& s, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>(v >> (8 * i) & 0xFF);
}

// A Windows bitmap file put together field by field.
struct TBmpFields {
    std::uint32_t HeaderSize = 40;
    std::int32_t Width = 1;
    std::int32_t Height = 1;
    unsigned Planes = 1;
    unsigned Bits = 24;
    std::uint32_t Compression = 0;
    std::uint32_t SizeImage = 0;
    std::uint32_t ColorsUsed = 0;
    std::string Masks;   // 12 bytes after the header for compression 3
    std::string Palette; // 4 bytes an entry
    std::string Pixels;
};

inline std::string MakeBmp(const TBmpFields& fields)
{
    std::string body;
    Put32(body, fields.HeaderSize);
    Put32(body, static_cast<std::uint32_t>(fields.Width));
    Put32(body, static_cast<std::uint32_t>(fields.Height));
    Put16(body, fields.Planes);
    Put16(body, fields.Bits);
    Put32(body, fields.Compression);
    Put32(body, fields.SizeImage);
    Put32(body, 2835);
    Put32(body, 2835);
    Put32(body, fields.ColorsUsed);
    Put32(body, 0);
    while (body.size() < fields.HeaderSize)
        body += '\0';
    body += fields.Masks + fields.Palette;
    std::string file = "BM";
    Put32(file, static_cast<std::uint32_t>(14 + body.size() + fields.Pixels.size()));
    Put32(file, 0);
    Put32(file, static_cast<std::uint32_t>(14 + body.size()));
    return file + body + fields.Pixels;
}

inline std::string GrayPalette(int entries)
{
    std::string p;
    for (int i = 0; i < entries; ++i) {
        const char v = static_cast<char>(i * 255 / std::max(1, entries - 1));
        p += {v, v, v, '\0'};
    }
    return p;
}

} // namespace scenaria::testing
