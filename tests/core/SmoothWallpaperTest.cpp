// The wallpaper resampled smoothly: how close it comes to an exact area average, that fine
// patterns do not alias, that one thread or two make the same bitmap, and that "Smooth" 0 keeps
// the nearest-pixel stretch.

#include "core/Settings.h"
#include "core/Wallpaper.h"
#include "imaging/Canvas.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Resample.h"
#include "imaging/formats/Jpeg.h"

#include "OrientedPictures.h"
#include "TempDir.h"
#include "fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

namespace scenaria {
namespace {

using testing::TFakePlatform;
using testing::TTempDir;

// Colour fields, fine texture, grain and hard edges: the statistics of a photograph.
void PaintPhoto(TPixelGraphic& g, int width, int height)
{
    g.SetSize(width, height, bc24Bit);
    std::mt19937 random(2024);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = g.ScanLine(y);
        const double fy = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width;
            const int noise = static_cast<int>(random() % 13) - 6;
            const int r = int(120 + 90 * std::sin(fx * 7 + fy * 3) + 30 * std::sin(x * 0.05));
            const int gr = int(110 + 80 * std::cos(fy * 9 - fx * 2) + 25 * std::sin(y * 0.07));
            const int b = int(90 + 100 * fx * fy + ((x / 200 + y / 160) % 3 == 0 ? 50 : 0));
            row[3 * x] = static_cast<std::uint8_t>(std::clamp(b + noise, 0, 255));
            row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(gr + noise, 0, 255));
            row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(r + noise, 0, 255));
        }
    }
}

void PaintCheckerboard(TPixelGraphic& g, int width, int height)
{
    g.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            g.SetPixelColor(x, y, (x + y) % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0));
}

// The exact average of the source area under each target pixel, in floating point: blue,
// green, red per pixel, rows top first.
std::vector<double> AreaAverage(const TPixelGraphic& source, int width, int height)
{
    const int w = source.Width(), h = source.Height();
    // Target pixel i of to covers source positions first..last of from.
    const auto cover = [](int from, int to, int i, double& first, double& last) {
        first = double(i) * from / to;
        last = double(i + 1) * from / to;
    };
    std::vector<double> rows(static_cast<std::size_t>(width) * h * 3, 0.0);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* line = source.ScanLine(y);
        for (int X = 0; X < width; ++X) {
            double a, b;
            cover(w, width, X, a, b);
            double* out = &rows[(static_cast<std::size_t>(y) * width + X) * 3];
            for (int x = static_cast<int>(a); x < std::min(w, static_cast<int>(std::ceil(b)));
                 ++x) {
                const double weight = std::min(b, x + 1.0) - std::max(a, double(x));
                for (int c = 0; c < 3; ++c)
                    out[c] += weight * line[3 * x + c];
            }
            for (int c = 0; c < 3; ++c)
                out[c] /= b - a;
        }
    }
    std::vector<double> result(static_cast<std::size_t>(width) * height * 3, 0.0);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int Y = 0; Y < height; ++Y) {
        double a, b;
        cover(h, height, Y, a, b);
        double* out = &result[Y * stride];
        for (int y = static_cast<int>(a); y < std::min(h, static_cast<int>(std::ceil(b))); ++y) {
            const double weight = std::min(b, y + 1.0) - std::max(a, double(y));
            for (std::size_t i = 0; i < stride; ++i)
                out[i] += weight * rows[y * stride + i];
        }
        for (std::size_t i = 0; i < stride; ++i)
            out[i] /= b - a;
    }
    return result;
}

struct TCloseness {
    double MeanError = 0;
    double Psnr = 0;
};

TCloseness Compare(const TPixelGraphic& image, const std::vector<double>& reference)
{
    double total = 0, squares = 0;
    const std::size_t stride = static_cast<std::size_t>(image.Width()) * 3;
    for (int y = 0; y < image.Height(); ++y)
        for (std::size_t i = 0; i < stride; ++i) {
            const double d = image.ScanLine(y)[i] - reference[y * stride + i];
            total += std::fabs(d);
            squares += d * d;
        }
    const double n = double(stride) * image.Height();
    return {total / n, squares > 0 ? 10 * std::log10(255.0 * 255.0 * n / squares) : 99.0};
}

class SmoothWallpaper : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings = TSettings{};
        Settings.SaveFolder = dir / "save";
        std::filesystem::create_directory(Settings.SaveFolder);
        Settings.Tile = 1;
        Settings.Stretch = true;
        ComReady = false;
        platform.Screen = {768, 432, 24};
    }
    void TearDown() override
    {
        JPEGQuality = savedQuality;
        ImagingThreads = savedThreads;
    }

    std::string Save(TPixelGraphic& picture, const std::string& name)
    {
        const std::string path = dir / name;
        picture.SaveToFile(path);
        return path;
    }

    // Composes the picture and reads the temporary bitmap back.
    void Compose(const std::string& picture, TPixelGraphic& written)
    {
        ASSERT_TRUE(SetWallpaper(platform, picture));
        ASSERT_EQ(platform.Installs.back().File, TemporaryBitmapPath());
        written.LoadFromFile(TemporaryBitmapPath());
    }

    TTempDir dir;
    TFakePlatform platform;
    int savedQuality = JPEGQuality;
    int savedThreads = ImagingThreads;
};

struct TQualityRow {
    const char* Name;
    const char* File;
    bool Proportional;
    double MaxMeanError;
};

class SmoothQuality : public SmoothWallpaper, public ::testing::WithParamInterface<TQualityRow> {};

// Within a level on average, and 40 dB, of the exact average of the whole decoded picture,
// even where the JPEG decoder has divided the picture before averaging.
TEST_P(SmoothQuality, CloseToTheExactAreaAverageOfTheWholePicture)
{
    const TQualityRow& row = GetParam();
    Settings.Proportional = row.Proportional;
    JPEGQuality = 90;
    TPixelGraphic photo;
    PaintPhoto(photo, 2400, 1600);
    const std::string path = Save(photo, row.File);
    TPixelGraphic whole;
    whole.LoadFromFile(path);

    TPixelGraphic written;
    Compose(path, written);
    const long double scale = row.Proportional ? ProportionalScale(768, 432, 2400, 1600) : 1;
    ASSERT_EQ(written.Width(), row.Proportional ? static_cast<int>(2400 * scale) : 768);
    ASSERT_EQ(written.Height(), row.Proportional ? static_cast<int>(1600 * scale) : 432);
    const TCloseness closeness =
        Compare(written, AreaAverage(whole, written.Width(), written.Height()));
    EXPECT_LE(closeness.MeanError, row.MaxMeanError);
    EXPECT_GE(closeness.Psnr, 40.0);
}

const TQualityRow QualityRows[] = {
    {"jpeg_stretched", "photo.jpg", false, 1.0},
    {"jpeg_proportional", "photo.jpg", true, 1.0},
    {"png_stretched", "photo.png", false, 0.5},
    {"bmp_proportional", "photo.bmp", true, 0.5},
};

INSTANTIATE_TEST_SUITE_P(Formats, SmoothQuality, ::testing::ValuesIn(QualityRows),
                         [](const auto& row) { return std::string(row.param.Name); });

// A one-pixel checkerboard averages to an even grey; the nearest pixel turns it into whatever
// pattern the sampling grid beats out of it.
TEST_F(SmoothWallpaper, FineCheckerboardDoesNotAlias)
{
    platform.Screen = {1024, 768, 24};
    TPixelGraphic board;
    PaintCheckerboard(board, 1600, 1200);
    for (const char* name : {"board.png", "board.bmp"}) {
        const std::string path = Save(board, name);
        TPixelGraphic smooth;
        Compose(path, smooth);
        int lowest = 255, highest = 0;
        for (int y = 0; y < smooth.Height(); ++y)
            for (int x = 0; x < smooth.Width(); ++x) {
                const int v = GetGValue(smooth.GetPixelColor(x, y));
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
            }
        EXPECT_GE(lowest, 96) << name;
        EXPECT_LE(highest, 160) << name;

        Settings.Smooth = false;
        TPixelGraphic nearest;
        Compose(path, nearest);
        Settings.Smooth = true;
        int extremes = 0;
        for (int y = 0; y < nearest.Height(); ++y)
            for (int x = 0; x < nearest.Width(); ++x) {
                const int v = GetGValue(nearest.GetPixelColor(x, y));
                extremes += v == 0 || v == 255;
            }
        EXPECT_EQ(extremes, 1024 * 768) << name << ": the nearest pixel is black or white";
    }
}

TEST_F(SmoothWallpaper, OneThreadOrTwoMakeTheSameBitmap)
{
    TPixelGraphic photo;
    PaintPhoto(photo, 1800, 1000);
    for (const char* name : {"photo.jpg", "photo.bmp", "photo.png"}) {
        const std::string path = Save(photo, name);
        TPixelGraphic one, two;
        ImagingThreads = 1;
        Compose(path, one);
        ImagingThreads = 2;
        Compose(path, two);
        ASSERT_EQ(one.ImageSize(), two.ImageSize()) << name;
        EXPECT_EQ(std::memcmp(one.PixelData(), two.PixelData(), one.ImageSize()), 0) << name;
    }
}

// "Smooth" 0: the bitmap of the nearest-pixel stretch, to the pixel, for every way in.
TEST_F(SmoothWallpaper, SmoothOffKeepsTheNearestPixelStretch)
{
    Settings.Smooth = false;
    TPixelGraphic photo;
    PaintPhoto(photo, 1000, 700);
    for (const bool proportional : {false, true}) {
        Settings.Proportional = proportional;
        for (const char* name : {"photo.jpg", "photo.png", "photo.bmp"}) {
            const std::string path = Save(photo, name);
            TPixelGraphic written;
            Compose(path, written);
            TPixelGraphic loaded, expected;
            loaded.LoadFromFile(path);
            expected.SetSize(written.Width(), written.Height(), bc24Bit);
            expected.Canvas().StretchDraw(TRect{0, 0, written.Width(), written.Height()}, loaded);
            ASSERT_EQ(written.ImageSize(), expected.ImageSize()) << name;
            EXPECT_EQ(std::memcmp(written.PixelData(), expected.PixelData(), written.ImageSize()),
                      0)
                << name << (proportional ? ", proportional" : ", stretched");
        }
    }
}

// A sideways photo is turned before it is resampled, so every orientation of one picture gives
// the bitmap of the upright one; with "AutoRotate" 0 the stored pixels are resampled.
TEST_F(SmoothWallpaper, EveryOrientationComposesToTheUprightBitmap)
{
    TPixelGraphic upright;
    testing::PaintUpright(upright, 300, 200);
    TPixelGraphic expected;
    Compose(Save(upright, "upright.png"), expected);
    for (int k = 1; k <= 8; ++k) {
        TPixelGraphic stored;
        testing::StoredFor(upright, k, stored);
        const std::string photo = dir.Write("photo.png", testing::PngWithOrientation(stored, k));
        TPixelGraphic written;
        Compose(photo, written);
        ASSERT_EQ(written.ImageSize(), expected.ImageSize()) << k;
        EXPECT_EQ(std::memcmp(written.PixelData(), expected.PixelData(), written.ImageSize()), 0)
            << "orientation " << k;
    }
    Settings.AutoRotate = false;
    TPixelGraphic stored, asStored, written;
    testing::StoredFor(upright, 6, stored);
    Compose(Save(stored, "plain.png"), asStored);
    Compose(dir.Write("photo.png", testing::PngWithOrientation(stored, 6)), written);
    ASSERT_EQ(written.ImageSize(), asStored.ImageSize());
    EXPECT_EQ(std::memcmp(written.PixelData(), asStored.PixelData(), written.ImageSize()), 0);
}

TEST(SmoothSetting, DefaultsToOnAndReadsTheKey)
{
    TTempDir dir;
    const std::string ini = dir / "s.INI";
    for (const auto& [text, expected] : std::vector<std::pair<std::string, bool>>{
             {"", true}, {"Smooth=0\n", false}, {"Smooth=1\n", true}, {"Smooth=x\n", true}}) {
        dir.Write("s.INI", "[Diduzavizo]\n" + text);
        TSettingsPlace place;
        place.FileName = ini;
        LoadSettings(place, 1);
        EXPECT_EQ(Settings.Smooth, expected) << text;
    }
}

} // namespace
} // namespace scenaria
