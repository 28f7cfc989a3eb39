#include "imaging/FittedLoad.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Resample.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace scenaria {
namespace {

using testing::TTempDir;

// Restores the library's thread setting after a test that changes it.
class TThreadSetting {
public:
    explicit TThreadSetting(int threads) { ImagingThreads = threads; }
    ~TThreadSetting() { ImagingThreads = saved_; }
    TThreadSetting(const TThreadSetting&) = delete;
    TThreadSetting& operator=(const TThreadSetting&) = delete;

private:
    int saved_ = ImagingThreads;
};

// Smooth ramps, fine stripes, a hard edge and noise: every kind of detail a resampler can get
// wrong.
void PaintPhoto(TPixelGraphic& image, int width, int height, bool gray, unsigned seed = 7)
{
    image.SetSize(width, height, gray ? bc8Bit : bc24Bit);
    if (gray)
        image.SetPaletteIdent(pGray256);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = image.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const int noise = static_cast<int>(random() % 9) - 4;
            const int stripes = (x / 3 + y / 5) % 2 ? 40 : 0;
            const int edge = x > width / 2 ? 60 : 0;
            const int r = std::clamp(x * 200 / width + stripes + noise, 0, 255);
            const int g = std::clamp(y * 200 / height + edge + noise, 0, 255);
            const int b = std::clamp((x + y) % 256 / 2 + stripes + noise, 0, 255);
            if (gray) {
                row[x] = static_cast<std::uint8_t>((r + g + b) / 3);
            } else {
                row[3 * x] = static_cast<std::uint8_t>(b);
                row[3 * x + 1] = static_cast<std::uint8_t>(g);
                row[3 * x + 2] = static_cast<std::uint8_t>(r);
            }
        }
    }
}

// The same size, depth and pixel bytes (padding aside); the first difference otherwise.
::testing::AssertionResult SamePixels(const TPixelGraphic& a, const TPixelGraphic& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height() || a.BitCount() != b.BitCount())
        return ::testing::AssertionFailure()
               << a.Width() << "x" << a.Height() << "/" << a.BitCountNum() << " against "
               << b.Width() << "x" << b.Height() << "/" << b.BitCountNum();
    const std::size_t bytes = static_cast<std::size_t>(a.Width()) * a.BitCountNum() / 8;
    for (int y = 0; y < a.Height(); ++y)
        for (std::size_t i = 0; i < bytes; ++i)
            if (a.ScanLine(y)[i] != b.ScanLine(y)[i])
                return ::testing::AssertionFailure()
                       << "row " << y << ", byte " << i << ": " << int{a.ScanLine(y)[i]}
                       << " against " << int{b.ScanLine(y)[i]};
    return ::testing::AssertionSuccess();
}

void CopyFromReference(TPixelGraphic& target, const TPixelGraphic& source, int width, int height,
                       TStretchMode mode)
{
    target.SetSize(width, height, bc24Bit);
    target.StretchMode = mode;
    target.CopyFrom(source);
}

struct TSizeRow {
    const char* Name;
    int SourceWidth, SourceHeight, TargetWidth, TargetHeight;
    TStretchMode Mode;
    bool Gray;
};

class RowResampler : public ::testing::TestWithParam<TSizeRow> {};

TEST_P(RowResampler, GivesThePixelsOfCopyFrom)
{
    const TSizeRow& row = GetParam();
    TPixelGraphic source, expected, actual;
    PaintPhoto(source, row.SourceWidth, row.SourceHeight, row.Gray);
    CopyFromReference(expected, source, row.TargetWidth, row.TargetHeight, row.Mode);

    actual.SetSize(row.TargetWidth, row.TargetHeight, bc24Bit);
    actual.StretchMode = row.Mode;
    TRowResampler resampler(actual, row.SourceWidth, row.SourceHeight);
    for (int y = 0; y < row.SourceHeight; ++y)
        resampler.PushRow(source.ScanLine(y), row.Gray);
    EXPECT_EQ(resampler.RowsPushed(), row.SourceHeight);
    EXPECT_TRUE(SamePixels(actual, expected));
}

const TSizeRow SizeRows[] = {
    {"shrink_3_1_by_3_7", 625, 407, 200, 110, smPrecise, false},
    {"shrink_to_exactly_half", 64, 48, 32, 24, smPrecise, false},
    {"enlarge", 37, 23, 100, 70, smPrecise, false},
    {"wider_and_shorter", 50, 80, 120, 20, smPrecise, false},
    {"one_row", 300, 1, 40, 1, smPrecise, false},
    {"to_one_pixel", 90, 70, 1, 1, smPrecise, false},
    {"same_height", 90, 70, 45, 70, smPrecise, false},
    {"medium_shrink", 301, 199, 97, 61, smMedium, false},
    {"medium_enlarge", 31, 19, 97, 61, smMedium, false},
    {"nearest", 301, 199, 97, 61, smFast, false},
    {"gray_shrink", 333, 211, 101, 67, smPrecise, true},
    {"gray_enlarge", 33, 21, 101, 67, smPrecise, true},
};

INSTANTIATE_TEST_SUITE_P(Sizes, RowResampler, ::testing::ValuesIn(SizeRows),
                         [](const auto& row) { return std::string(row.param.Name); });

TEST(RowResampler, RowsBeyondThePictureAreIgnoredAndNoTargetRowIsMissed)
{
    TPixelGraphic source, expected, actual;
    PaintPhoto(source, 40, 30, false);
    CopyFromReference(expected, source, 17, 13, smPrecise);
    actual.SetSize(17, 13, bc24Bit);
    actual.StretchMode = smPrecise;
    TRowResampler resampler(actual, 40, 30);
    for (int y = 0; y < 30; ++y)
        resampler.PushRow(source.ScanLine(y), false);
    resampler.PushRow(source.ScanLine(0), false);
    EXPECT_EQ(resampler.RowsPushed(), 30);
    EXPECT_TRUE(SamePixels(actual, expected));
}

TEST(RowResampler, RefusesAPaletteTargetOrAnEmptySource)
{
    TPixelGraphic palette;
    palette.SetSize(4, 4, bc8Bit);
    EXPECT_THROW(TRowResampler(palette, 8, 8), EPGInvalidSize);
    TPixelGraphic target;
    target.SetSize(4, 4, bc24Bit);
    EXPECT_THROW(TRowResampler(target, 0, 8), EPGInvalidSize);
}

TEST(ResampleWhole, PaletteSourcesGiveThePixelsOfCopyFrom)
{
    TPixelGraphic palette, expected, actual;
    palette.SetSize(97, 61, bc4Bit);
    palette.SetPaletteIdent(pSys16);
    for (int y = 0; y < 61; ++y)
        for (int x = 0; x < 97; ++x)
            palette.SetPixel(x, y, static_cast<std::uint32_t>((x / 2 + y) % 16));
    CopyFromReference(expected, palette, 40, 30, smPrecise);
    actual.SetSize(40, 30, bc24Bit);
    actual.StretchMode = smPrecise;
    ResampleWhole(actual, palette, rrDown);
    EXPECT_TRUE(SamePixels(actual, expected));
}

TEST(ResampleWhole, NearestRoundingRemovesTheDownwardBias)
{
    // Two columns of 0 and 1 averaged: CopyFrom gives 0, the nearest level is 1 (0.5 rounds up).
    TPixelGraphic source, down, nearest;
    source.SetSize(2, 1, bc24Bit);
    source.SetPixel(0, 0, RGB(0, 0, 0));
    source.SetPixel(1, 0, RGB(1, 3, 255));
    for (TPixelGraphic* target : {&down, &nearest}) {
        target->SetSize(1, 1, bc24Bit);
        target->StretchMode = smPrecise;
    }
    ResampleWhole(down, source, rrDown);
    ResampleWhole(nearest, source, rrNearest);
    EXPECT_EQ(down.GetPixel(0, 0), RGB(0, 1, 127));
    EXPECT_EQ(nearest.GetPixel(0, 0), RGB(1, 2, 128));
}

// Bands of rows on several threads must not change a single pixel.
TEST(ResampleThreads, BandsGiveThePixelsOfOneThread)
{
    TPixelGraphic source;
    PaintPhoto(source, 1000, 700, false);
    const struct {
        int Width, Height;
    } sizes[] = {{333, 211}, {1500, 1111}, {999, 3}};
    for (const auto& size : sizes) {
        TPixelGraphic one, two, three;
        {
            const TThreadSetting threads(1);
            CopyFromReference(one, source, size.Width, size.Height, smPrecise);
        }
        {
            const TThreadSetting threads(2);
            CopyFromReference(two, source, size.Width, size.Height, smPrecise);
        }
        {
            const TThreadSetting threads(3);
            CopyFromReference(three, source, size.Width, size.Height, smPrecise);
        }
        EXPECT_TRUE(SamePixels(two, one)) << size.Width << "x" << size.Height;
        EXPECT_TRUE(SamePixels(three, one)) << size.Width << "x" << size.Height;
    }
}

TEST(ReductionFor, LargestDivisorThatKeepsEnoughPixels)
{
    EXPECT_EQ(ReductionFor(6000, 4000, 1920, 1080), 2);
    EXPECT_EQ(ReductionFor(6000, 4000, 1500, 1000), 4) << "exactly a quarter is enough";
    EXPECT_EQ(ReductionFor(6000, 4000, 750, 500), 8);
    EXPECT_EQ(ReductionFor(6000, 4000, 3001, 100), 1) << "not half in one direction";
    EXPECT_EQ(ReductionFor(100, 100, 13, 13), 8) << "divided sizes round up";
    EXPECT_EQ(ReductionFor(100, 100, 200, 50), 1) << "enlarged one way";
}

class FittedLoad : public ::testing::Test {
protected:
    std::string Save(const TPixelGraphic& image, const std::string& name)
    {
        TPixelGraphic copy;
        copy.Assign(&image);
        copy.SaveColorResWarningAction = pgwaIgnore;
        const std::string path = dir / name;
        copy.SaveToFile(path);
        return path;
    }

    static TFittedLoad Load(TPixelGraphic& image, const std::string& path, int width, int height,
                            bool reduced = true, TResampleRounding rounding = rrDown)
    {
        image.ReadWarningAction = pgwaRaise;
        image.StretchMode = smPrecise;
        TFitOptions options;
        options.ReducedDecode = reduced;
        options.Rounding = rounding;
        return LoadFitted(
            image, path,
            [=](int, int) {
                return TFitSize{width, height};
            },
            options);
    }

    // The picture loaded whole and resampled by CopyFrom.
    static void Reference(TPixelGraphic& expected, const std::string& path, int width, int height)
    {
        TPixelGraphic whole;
        whole.ReadWarningAction = pgwaRaise;
        whole.LoadFromFile(path);
        CopyFromReference(expected, whole, width, height, smPrecise);
    }

    TTempDir dir;
};

TEST_F(FittedLoad, JpegWithoutReductionGivesThePixelsOfLoadingWholeOnEitherThreadCount)
{
    TPixelGraphic photo;
    PaintPhoto(photo, 1200, 800, false);
    const std::string path = Save(photo, "photo.jpg");
    TPixelGraphic expected;
    Reference(expected, path, 500, 300);
    for (const int threads : {1, 2}) {
        const TThreadSetting setting(threads);
        TPixelGraphic image;
        const TFittedLoad loaded = Load(image, path, 500, 300, false);
        EXPECT_TRUE(loaded.Fitted);
        EXPECT_EQ(loaded.PictureWidth, 1200);
        EXPECT_EQ(loaded.PictureHeight, 800);
        EXPECT_TRUE(SamePixels(image, expected)) << threads << " thread(s)";
    }
}

TEST_F(FittedLoad, ReducedJpegIsTheSameOnOneThreadOrTwoAndCloseToTheWholePicture)
{
    TPixelGraphic photo;
    PaintPhoto(photo, 1200, 800, false);
    const std::string path = Save(photo, "photo.jpg");
    TPixelGraphic one, two, whole;
    {
        const TThreadSetting setting(1);
        EXPECT_TRUE(Load(one, path, 290, 190, true, rrNearest).Fitted);
    }
    {
        const TThreadSetting setting(2);
        EXPECT_TRUE(Load(two, path, 290, 190, true, rrNearest).Fitted);
    }
    EXPECT_TRUE(SamePixels(two, one));
    {
        TPixelGraphic source;
        source.LoadFromFile(path);
        whole.SetSize(290, 190, bc24Bit);
        whole.StretchMode = smPrecise;
        ResampleWhole(whole, source, rrNearest);
    }
    double total = 0;
    for (int y = 0; y < 190; ++y)
        for (int i = 0; i < 3 * 290; ++i)
            total += std::abs(one.ScanLine(y)[i] - whole.ScanLine(y)[i]);
    // The codec's 1/4 scale is no exact average: stripes three pixels wide, near what the
    // divided picture can still hold, come out a couple of levels off; a picture decoded upside
    // down, shifted or in the wrong colours would be off by tens.
    EXPECT_LT(total / (3.0 * 290 * 190), 3.0);
}

TEST_F(FittedLoad, GrayJpegStaysGray)
{
    TPixelGraphic photo;
    PaintPhoto(photo, 640, 480, true);
    const std::string path = Save(photo, "gray.jpg");
    TPixelGraphic image;
    ASSERT_TRUE(Load(image, path, 100, 70, false).Fitted);
    EXPECT_EQ(image.BitCount(), bc8Bit);
    EXPECT_EQ(image.PaletteIdent(), pGray256);
    TPixelGraphic expected;
    Reference(expected, path, 100, 70);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 100; ++x)
            ASSERT_EQ(image.GetPixelColor(x, y), expected.GetPixelColor(x, y)) << x << "," << y;
}

TEST_F(FittedLoad, TrueColourPngStreamsWithThePixelsOfLoadingWhole)
{
    TPixelGraphic photo;
    PaintPhoto(photo, 700, 500, false);
    const std::string path = Save(photo, "photo.png");
    TPixelGraphic image, expected;
    ASSERT_TRUE(Load(image, path, 333, 222).Fitted);
    Reference(expected, path, 333, 222);
    EXPECT_TRUE(SamePixels(image, expected));
}

// The same colour at every pixel, whatever the depths.
::testing::AssertionResult SameColours(const TPixelGraphic& a, const TPixelGraphic& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return ::testing::AssertionFailure()
               << a.Width() << "x" << a.Height() << " against " << b.Width() << "x" << b.Height();
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.GetPixelColor(x, y) != b.GetPixelColor(x, y))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y;
    return ::testing::AssertionSuccess();
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Stored rows in the other order, the header saying so: a BMP with a negative height.
std::string TopDownBmp(const std::string& bmp, int height)
{
    std::uint32_t offset = 0;
    std::memcpy(&offset, bmp.data() + 10, 4);
    const std::size_t stride = (bmp.size() - offset) / static_cast<std::size_t>(height);
    std::string flipped = bmp.substr(0, offset);
    for (int r = height - 1; r >= 0; --r)
        flipped += bmp.substr(offset + static_cast<std::size_t>(r) * stride, stride);
    const std::int32_t negative = -height;
    std::memcpy(flipped.data() + 22, &negative, 4);
    return flipped;
}

// An uncompressed TGA of the picture's rows (type 2 true colour, type 3 gray).
std::string Tga(const TPixelGraphic& image, bool topFirst)
{
    const bool gray = image.BitCount() == bc8Bit;
    std::string bytes(18, '\0');
    bytes[2] = gray ? 3 : 2;
    bytes[12] = static_cast<char>(image.Width() & 0xFF);
    bytes[13] = static_cast<char>(image.Width() >> 8);
    bytes[14] = static_cast<char>(image.Height() & 0xFF);
    bytes[15] = static_cast<char>(image.Height() >> 8);
    bytes[16] = gray ? 8 : 24;
    bytes[17] = topFirst ? 0x20 : 0;
    const std::size_t rowBytes = static_cast<std::size_t>(image.Width()) * (gray ? 1 : 3);
    for (int r = 0; r < image.Height(); ++r) {
        const int y = topFirst ? r : image.Height() - 1 - r;
        bytes.append(reinterpret_cast<const char*>(image.ScanLine(y)), rowBytes);
    }
    return bytes;
}

// A P3 file: numbers in text.
std::string AsciiPpm(const TPixelGraphic& image)
{
    std::string text =
        "P3\n" + std::to_string(image.Width()) + " " + std::to_string(image.Height()) + "\n255\n";
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x) {
            const TColor c = image.GetPixelColor(x, y);
            text += std::to_string(GetRValue(c)) + " " + std::to_string(GetGValue(c)) + " " +
                    std::to_string(GetBValue(c)) + "\n";
        }
    return text;
}

struct TStreamRow {
    const char* Name;
    bool Gray;
};

class StreamedFormat : public ::testing::TestWithParam<TStreamRow> {
protected:
    // The file of the row's name holding the picture, written by the library or by hand.
    std::string Write(const TPixelGraphic& photo)
    {
        const std::string name = GetParam().Name;
        const std::string path = dir / name;
        if (name == "top-down.bmp") {
            TPixelGraphic copy;
            copy.Assign(&photo);
            copy.SaveToFile(dir / "bottom-up.bmp");
            WriteBytes(path, TopDownBmp(ReadBytes(dir / "bottom-up.bmp"), photo.Height()));
        } else if (name.ends_with(".tga")) {
            WriteBytes(path, Tga(photo, name.starts_with("top")));
        } else if (name == "ascii.ppm") {
            WriteBytes(path, AsciiPpm(photo));
        } else {
            TPixelGraphic copy;
            copy.Assign(&photo);
            copy.SaveToFile(path);
        }
        return path;
    }

    TTempDir dir;
};

// Each stored layout a reader can send on as it reads gives, on one thread or two, the
// colours of loading the whole picture and resampling it.
TEST_P(StreamedFormat, StreamsWithTheColoursOfLoadingWhole)
{
    TPixelGraphic photo;
    PaintPhoto(photo, 301, 203, GetParam().Gray);
    const std::string path = Write(photo);
    TPixelGraphic whole, expected;
    whole.ReadWarningAction = pgwaRaise;
    whole.LoadFromFile(path);
    ASSERT_TRUE(SameColours(whole, photo)) << "the file does not hold the picture";
    CopyFromReference(expected, whole, 97, 61, smPrecise);
    for (const int threads : {1, 2}) {
        const TThreadSetting setting(threads);
        TPixelGraphic image;
        image.ReadWarningAction = pgwaRaise;
        image.StretchMode = smPrecise;
        const TFittedLoad loaded = LoadFitted(image, path, [](int, int) {
            return TFitSize{97, 61};
        });
        ASSERT_TRUE(loaded.Fitted) << threads << " thread(s)";
        EXPECT_EQ(loaded.PictureWidth, 301);
        EXPECT_EQ(loaded.PictureHeight, 203);
        EXPECT_EQ(image.BitCount(), GetParam().Gray ? bc8Bit : bc24Bit);
        EXPECT_TRUE(SameColours(image, expected)) << threads << " thread(s)";
        EXPECT_EQ(image.RowSink, nullptr);
    }
}

const TStreamRow StreamRows[] = {
    {"bottom-up.bmp", false},
    {"top-down.bmp", false},
    {"bottom-first.tga", false},
    {"top-first.tga", false},
    {"bottom-first-gray.tga", true},
    {"photo.ppm", false},
    {"ascii.ppm", false},
    {"gray.pgm", true},
};
INSTANTIATE_TEST_SUITE_P(
    Layouts, StreamedFormat, ::testing::ValuesIn(StreamRows), [](const auto& row) {
        std::string name = row.param.Name;
        std::replace_if(
            name.begin(), name.end(),
            [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

TEST_F(FittedLoad, ACutBitmapStreamsWithTheBlackRowsOfLoadingWhole)
{
    TPixelGraphic photo;
    PaintPhoto(photo, 400, 300, false);
    const std::string path = Save(photo, "cut.bmp");
    // Half the rows and part of one: the top of a bottom-up file is what is missing.
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2 + 100);
    TPixelGraphic whole, expected;
    whole.LoadFromFile(path);
    ASSERT_EQ(whole.GetPixelColor(10, 10), RGB(0, 0, 0));
    CopyFromReference(expected, whole, 150, 100, smPrecise);
    TPixelGraphic image;
    image.StretchMode = smPrecise;
    ASSERT_TRUE(LoadFitted(image, path, [](int, int) { return TFitSize{150, 100}; }).Fitted);
    EXPECT_TRUE(SameColours(image, expected));
}

TEST_F(FittedLoad, PicturesThatCannotStreamAreLoadedWhole)
{
    TPixelGraphic palette;
    palette.SetSize(90, 60, bc8Bit);
    palette.SetPaletteIdent(pSpecial216);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 90; ++x)
            palette.SetPixel(x, y, static_cast<std::uint32_t>((x * 7 + y) % 216));
    for (const char* name : {"palette.png", "palette.bmp"}) {
        const std::string path = Save(palette, name);
        TPixelGraphic image;
        const TFittedLoad loaded = Load(image, path, 30, 20);
        EXPECT_FALSE(loaded.Fitted) << name;
        EXPECT_EQ(image.Width(), 90) << name;
        EXPECT_EQ(loaded.PictureWidth, 90) << name;
        EXPECT_EQ(loaded.PictureHeight, 60) << name;
    }
}

TEST_F(FittedLoad, NoSizeOrTheOwnSizeLoadsTheWholePicture)
{
    TPixelGraphic photo;
    PaintPhoto(photo, 120, 80, false);
    const std::string path = Save(photo, "photo.jpg");
    for (const TFitSize size : {TFitSize{0, 0}, TFitSize{120, 80}, TFitSize{-5, 10}}) {
        TPixelGraphic image;
        const TFittedLoad loaded = Load(image, path, size.Width, size.Height);
        EXPECT_FALSE(loaded.Fitted);
        EXPECT_EQ(image.Width(), 120);
        EXPECT_EQ(image.Height(), 80);
    }
}

TEST_F(FittedLoad, TruncatedFilesFailAsLoadingWholeDoes)
{
    TPixelGraphic photo;
    PaintPhoto(photo, 600, 400, false);
    for (const char* name : {"cut.jpg", "cut.png"}) {
        const std::string path = Save(photo, name);
        std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
        for (const int threads : {1, 2}) {
            const TThreadSetting setting(threads);
            TPixelGraphic image;
            EXPECT_THROW(Load(image, path, 150, 100), EPixelGraphic) << name;
            EXPECT_EQ(image.RowSink, nullptr);
        }
    }
}

} // namespace
} // namespace scenaria
