#pragma once
// The benchmarks' test picture: 6000 x 4000, smooth colour fields with fine texture, grain and
// hard edges, so that it has the statistics (many distinct colours) and the entropy of a
// photograph rather than of a test card. The same seed always gives the same picture.

#include "imaging/PixelGraphic.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace scenaria::bench {

inline constexpr int PictureWidth = 6000;
inline constexpr int PictureHeight = 4000;

// grain: the film grain's spread, from -grain to +grain on every channel.
inline void MakePicture(TPixelGraphic& g, int grain)
{
    g.SetSize(PictureWidth, PictureHeight, bc24Bit);
    std::mt19937 random(2024);
    for (int y = 0; y < PictureHeight; ++y) {
        std::uint8_t* row = g.ScanLine(y);
        const double fy = double(y) / PictureHeight;
        for (int x = 0; x < PictureWidth; ++x) {
            const double fx = double(x) / PictureWidth;
            const int noise = static_cast<int>(random() % (2 * grain + 1)) - grain;
            const int r = int(120 + 90 * std::sin(fx * 7 + fy * 3) + 30 * std::sin(x * 0.05));
            const int gr = int(110 + 80 * std::cos(fy * 9 - fx * 2) + 25 * std::sin(y * 0.07));
            const int b = int(90 + 100 * fx * fy + ((x / 500 + y / 400) % 3 == 0 ? 50 : 0));
            row[3 * x] = static_cast<std::uint8_t>(std::clamp(b + noise, 0, 255));
            row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(gr + noise, 0, 255));
            row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(r + noise, 0, 255));
        }
    }
}

} // namespace scenaria::bench
