#pragma once
// Helpers of the PCX, Targa and PNM tests: loading bytes as a named file type, the error a load
// ends with, a test picture, and ImageMagick's and netpbm's decodes to compare with.

#include "FormatTestSupport.h"

#include "imaging/FileFormats.h"
#include "imaging/Stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace scenaria::testing {

// Loads bytes as a file with the given extension would load.
inline void LoadAs(TPixelGraphic& image, const std::string& bytes, const std::string& extension)
{
    TPGBufferStream stream(bytes.data(), bytes.size());
    image.LoadFromStreamAs(stream, extension);
}

// The message a load fails with, or "(loaded)".
inline std::string LoadError(const std::string& bytes, const std::string& extension)
{
    TPixelGraphic image;
    try {
        LoadAs(image, bytes, extension);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(loaded)";
}

inline std::string Bytes(const std::vector<std::uint8_t>& data)
{
    return std::string(data.begin(), data.end());
}

// A binary PPM with smooth gradients, hard edges and both extremes, width × height.
inline std::string TestPatternPpm(int width, int height)
{
    std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool edge = (x / 4 + y / 3) % 2 == 0;
            ppm += static_cast<char>(x * 255 / std::max(1, width - 1));
            ppm += static_cast<char>(edge ? 255 - y * 255 / std::max(1, height - 1) : 0);
            ppm += static_cast<char>((x * 7 + y * 13) % 256);
        }
    }
    return ppm;
}

// ImageMagick's decode of a file, turned the way its orientation says, at 8 bits a channel.
inline TRgbPicture ImageMagickRgb(const std::string& path)
{
    const std::string ppm =
        ToolOutput({"convert-im6.q16", path, "-auto-orient", "-depth", "8", "ppm:-"});
    if (ppm.empty())
        return {};
    return ParsePnm(ppm);
}

// netpbm's decode of a file by the given converter (pcxtoppm, tgatoppm, ...).
inline TRgbPicture NetpbmRgb(const std::string& converter, const std::string& path)
{
    const std::string ppm = ToolOutput({converter, path});
    if (ppm.empty())
        return {};
    return ParsePnm(ppm);
}

// Runs a shell pipeline of independent tools; the test fails when it does.
inline void Shell(const std::string& command)
{
    const TRunResult r = RunProgram({"/bin/sh", "-c", "set -e; " + command});
    ASSERT_EQ(r.ExitCode, 0) << command << ": " << r.Err;
}

} // namespace scenaria::testing
