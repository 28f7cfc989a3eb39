// "gif-banner": draws the About box's animated banner and writes it with the program's own GIF
// encoder. ui/resources/make-banner.sh runs it to make the banner stored with the program.

#include "tools/ToolCommand.h"

#include "imaging/Types.h"
#include "imaging/gif/GifImage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace scenaria::tool {
namespace {

constexpr int BannerWidth = 320;
constexpr int BannerHeight = 80;
constexpr int TransparentIndex = 255;

// The global table: a 6 x 7 x 6 colour cube (252 entries, green finest, as the eye is), three
// greys, and the transparent slot with a colour of its own.
int CubeIndex(int r, int g, int b)
{
    return r * 42 + g * 6 + b;
}

void FillColorTable(TGIFColorMap& map)
{
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b)
                map.Add(TGIFColor{std::uint8_t(r * 51), std::uint8_t((g * 255 + 3) / 6),
                                  std::uint8_t(b * 51)});
    for (int grey : {64, 160, 224})
        map.Add(TGIFColor{std::uint8_t(grey), std::uint8_t(grey), std::uint8_t(grey)});
    map.Add(TGIFColor{1, 2, 3});
}

// A 4 x 4 ordered dither keeps the sky's gradients smooth in so few colours.
constexpr int Bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

std::uint8_t Quantize(double red, double green, double blue, int x, int y)
{
    const double threshold = (Bayer[y % 4][x % 4] + 0.5) / 16.0 - 0.5;
    auto level = [threshold](double value, int levels) {
        const double scaled = std::clamp(value, 0.0, 255.0) / 255.0 * (levels - 1) + threshold;
        return std::clamp(int(std::lround(scaled)), 0, levels - 1);
    };
    return static_cast<std::uint8_t>(CubeIndex(level(red, 6), level(green, 7), level(blue, 6)));
}

struct TScene {
    double SkyTop[3];
    double SkyHorizon[3];
    double SunX, SunY, SunRadius;
    double Sun[3];
    double HillsFar[3];
    double HillsNear[3];
    bool Stars;
};

// Dawn, noon, dusk and night over the same hills, the day the wallpaper changes through.
const TScene Scenes[4] = {
    {{70, 90, 170},
     {250, 170, 150},
     40,
     62,
     13,
     {255, 220, 160},
     {90, 110, 120},
     {50, 90, 70},
     false},
    {{40, 120, 230},
     {170, 215, 250},
     160,
     18,
     12,
     {255, 250, 200},
     {80, 160, 90},
     {40, 120, 60},
     false},
    {{60, 50, 120},
     {250, 130, 60},
     280,
     60,
     15,
     {255, 170, 80},
     {110, 80, 90},
     {60, 50, 60},
     false},
    {{5, 10, 40}, {30, 40, 90}, 250, 22, 9, {230, 230, 210}, {30, 40, 60}, {15, 25, 35}, true},
};

std::vector<std::uint8_t> DrawScene(const TScene& scene)
{
    std::vector<std::uint8_t> pixels(std::size_t(BannerWidth) * BannerHeight);
    for (int y = 0; y < BannerHeight; ++y) {
        for (int x = 0; x < BannerWidth; ++x) {
            const double t = double(y) / (BannerHeight - 1);
            double c[3];
            for (int k = 0; k < 3; ++k)
                c[k] = scene.SkyTop[k] + (scene.SkyHorizon[k] - scene.SkyTop[k]) * t;
            const double dx = x - scene.SunX, dy = y - scene.SunY;
            const double distance = std::sqrt(dx * dx + dy * dy);
            if (distance < scene.SunRadius) {
                for (int k = 0; k < 3; ++k)
                    c[k] = scene.Sun[k];
            } else if (distance < scene.SunRadius * 2.2) {
                // A glow that fades into the sky.
                const double glow = 1 - (distance - scene.SunRadius) / (scene.SunRadius * 1.2);
                for (int k = 0; k < 3; ++k)
                    c[k] += (scene.Sun[k] - c[k]) * 0.35 * glow;
            }
            if (scene.Stars && ((x * 7919 + y * 104729) % 173) == 0 && y < 50)
                c[0] = c[1] = c[2] = 255;
            const double farLine = 52 + 8 * std::sin(x / 23.0) + 3 * std::sin(x / 7.0);
            const double nearLine = 64 + 6 * std::sin(x / 15.0 + 2);
            if (y >= nearLine) {
                for (int k = 0; k < 3; ++k)
                    c[k] = scene.HillsNear[k] * (1.0 - 0.25 * (y - nearLine) / 16.0);
            } else if (y >= farLine) {
                for (int k = 0; k < 3; ++k)
                    c[k] = scene.HillsFar[k];
            }
            pixels[std::size_t(y) * BannerWidth + x] = Quantize(c[0], c[1], c[2], x, y);
        }
    }
    return pixels;
}

int RunGifBanner(const std::vector<std::string>& argv)
{
    const TToolArgs args(argv, {});
    if (args.Positional().size() != 1)
        throw EToolUsage("needs exactly one output file");

    TGIFImage image;
    FillColorTable(image.Header().ColorMap());
    image.Header().Descriptor.Width = BannerWidth;
    image.Header().Descriptor.Height = BannerHeight;
    const int delays[4] = {50, 100, 100, 200};
    std::vector<std::uint8_t> shown;
    for (int n = 0; n < 4; ++n) {
        TGIFSubImage frame(nullptr);
        frame.SetSize(BannerWidth, BannerHeight);
        if (n == 0) {
            auto loop = std::make_unique<TGIFAppExtNSLoop>(&frame);
            loop->Loops = 0; // for ever
            frame.Extensions().Add(std::move(loop));
        }
        auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
        control->SetDisposal(1);
        control->Delay = static_cast<std::uint16_t>(delays[n]);
        control->TransparentColorIndex = TransparentIndex;
        control->SetTransparent(true);
        frame.Extensions().Add(std::move(control));
        // Each frame is drawn over the one before and left in place: what stays the same is
        // transparent, which also lets the encoder pack it into long runs.
        const std::vector<std::uint8_t> scene = DrawScene(Scenes[n]);
        for (std::size_t i = 0; i < scene.size(); ++i)
            frame.Data()[i] = !shown.empty() && shown[i] == scene[i] ? TransparentIndex : scene[i];
        shown = scene;
        image.Add(frame);
    }
    image.SaveToFile(args.Positional()[0]);
    return 0;
}

const TToolCommandRegistration gifBannerCommand({
    "gif-banner",
    "gif-banner FILE",
    "Draws the About box's banner, a 320 x 80 GIF89a of four frames (dawn, noon, dusk and\n"
    "night) with a 256-colour global table, transparency, disposal 1, delays of 50, 100,\n"
    "100 and 200 hundredths and a loop count of 0, and writes it to FILE with the\n"
    "program's own GIF encoder.",
    RunGifBanner,
});

} // namespace
} // namespace scenaria::tool
