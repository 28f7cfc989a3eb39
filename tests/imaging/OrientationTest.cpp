// Turning pictures upright (imaging/Orientation.h) and finding the tag in Exif data
// (imaging/formats/Exif.h). The expected pixels are built from two primitive steps, a quarter
// turn clockwise and a left-right mirror, rather than from the table the code uses.

#include "imaging/Orientation.h"
#include "imaging/formats/Exif.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace scenaria {
namespace {

// Raw pixel values of an image, rows top-down.
struct TValues {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint32_t> V;
    std::uint32_t At(int x, int y) const { return V[static_cast<std::size_t>(y) * Width + x]; }
    bool operator==(const TValues&) const = default;
};

TValues ValuesOf(const TPixelGraphic& image)
{
    TValues values{image.Width(), image.Height(), {}};
    for (int y = 0; y < image.Height(); ++y)
        for (int x = 0; x < image.Width(); ++x)
            values.V.push_back(image.GetPixel(x, y));
    return values;
}

TValues TurnClockwise(const TValues& in)
{
    TValues out{in.Height, in.Width, {}};
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x)
            out.V.push_back(in.At(y, in.Height - 1 - x));
    return out;
}

TValues Mirror(const TValues& in)
{
    TValues out{in.Width, in.Height, {}};
    for (int y = 0; y < out.Height; ++y)
        for (int x = 0; x < out.Width; ++x)
            out.V.push_back(in.At(in.Width - 1 - x, y));
    return out;
}

// What a viewer shows for a stored picture with Exif orientation k.
TValues Upright(const TValues& stored, int orientation)
{
    const auto turn = [](TValues v, int quarters) {
        while (quarters-- > 0)
            v = TurnClockwise(v);
        return v;
    };
    switch (orientation) {
    case 2:
        return Mirror(stored);
    case 3:
        return turn(stored, 2);
    case 4:
        return Mirror(turn(stored, 2));
    case 5:
        return Mirror(turn(stored, 1));
    case 6:
        return turn(stored, 1);
    case 7:
        return turn(Mirror(stored), 1);
    case 8:
        return turn(stored, 3);
    default:
        return stored;
    }
}

// A 7 x 3 picture (odd sizes, so that packing and the middle column both count) with distinct
// values where the bit count allows.
void Paint(TPixelGraphic& image, TBitCount bitCount)
{
    image.SetSize(7, 3, bitCount);
    if (bitCount == bc8Bit)
        image.SetPaletteIdent(pGray256);
    else if (bitCount == bc4Bit)
        image.SetPaletteIdent(pGray16);
    else if (bitCount == bc1Bit)
        image.SetPaletteIdent(pBlackWhite);
    const std::uint32_t modulus = bitCount == bc1Bit ? 2 : bitCount == bc4Bit ? 16 : 256;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) {
            const std::uint32_t i = static_cast<std::uint32_t>(y * 7 + x);
            const std::uint32_t value = bitCount == bc1Bit ? (i * i + y) % 3 % 2 : i % modulus;
            image.SetPixel(x, y, bitCount == bc24Bit ? RGB(i * 9, 255 - i, i * 37 % 256) : value);
        }
}

class ApplyOrientationTest : public ::testing::TestWithParam<TBitCount> {};

TEST_P(ApplyOrientationTest, EveryOrientationGivesWhatAViewerShows)
{
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        TPixelGraphic image;
        Paint(image, GetParam());
        const TValues stored = ValuesOf(image);
        const int paletteCount = image.PaletteCount();
        image.Orientation = orientation;
        ApplyOrientation(image);
        EXPECT_EQ(image.Orientation, 1);
        EXPECT_EQ(image.BitCount(), GetParam());
        EXPECT_EQ(image.PaletteCount(), paletteCount);
        int width = 7, height = 3;
        OrientedSize(orientation, width, height);
        EXPECT_EQ(image.Width(), width);
        EXPECT_EQ(image.Height(), height);
        EXPECT_TRUE(ValuesOf(image) == Upright(stored, orientation));
        ApplyOrientation(image);
        EXPECT_TRUE(ValuesOf(image) == Upright(stored, orientation)) << "never turned twice";
    }
}

INSTANTIATE_TEST_SUITE_P(BitCounts, ApplyOrientationTest,
                         ::testing::Values(bc1Bit, bc4Bit, bc8Bit, bc24Bit),
                         [](const auto& row) { return std::to_string(BitCountToNum(row.param)); });

TEST(ApplyOrientation, UnknownValuesAndEmptyImagesAreLeftAlone)
{
    for (const int orientation : {0, 9, -3, 1000}) {
        TPixelGraphic image;
        Paint(image, bc24Bit);
        const TValues stored = ValuesOf(image);
        image.Orientation = orientation;
        ApplyOrientation(image);
        EXPECT_EQ(image.Orientation, 1);
        EXPECT_TRUE(ValuesOf(image) == stored) << orientation;
    }
    TPixelGraphic empty;
    empty.Orientation = 6;
    ApplyOrientation(empty);
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.Orientation, 1);
}

TEST(ApplyOrientation, TheTagTravelsWithAssignAndTheImageKeepsItsSettings)
{
    TPixelGraphic image;
    Paint(image, bc8Bit);
    image.Orientation = 8;
    image.Gamma = 2.2;
    image.Dither = false;
    TPixelGraphic copy;
    copy.Assign(&image);
    EXPECT_EQ(copy.Orientation, 8);
    ApplyOrientation(copy);
    EXPECT_EQ(copy.PaletteIdent(), pGray256);
    EXPECT_DOUBLE_EQ(copy.Gamma, 2.2);
    EXPECT_FALSE(copy.Dither);
    EXPECT_EQ(image.Orientation, 8) << "the source is not touched";
}

TEST(OrientedSize, SwapsForTheQuarterTurnsOnly)
{
    for (int orientation = 0; orientation <= 9; ++orientation) {
        int width = 40, height = 30;
        OrientedSize(orientation, width, height);
        const bool swapped = orientation >= 5 && orientation <= 8;
        EXPECT_EQ(width, swapped ? 30 : 40) << orientation;
        EXPECT_EQ(height, swapped ? 40 : 30) << orientation;
    }
}

// A TIFF-structured Exif block: header, one directory with the given entries.
struct TEntry {
    std::uint16_t Tag;
    std::uint16_t Type;
    std::uint32_t Count;
    std::uint32_t Value; // left-justified SHORT for type 3
};

std::string ExifBlock(bool motorola, const std::vector<TEntry>& entries)
{
    std::string s;
    const auto put = [&s, motorola](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = motorola ? 8 * (bytes - 1 - i) : 8 * i;
            s += static_cast<char>(v >> shift & 0xFF);
        }
    };
    s += motorola ? "MM" : "II";
    put(42, 2);
    put(8, 4);
    put(static_cast<std::uint32_t>(entries.size()), 2);
    for (const TEntry& e : entries) {
        put(e.Tag, 2);
        put(e.Type, 2);
        put(e.Count, 4);
        if (e.Type == 3) {
            put(e.Value, 2);
            put(0, 2);
        } else {
            put(e.Value, 4);
        }
    }
    put(0, 4);
    return s;
}

int OrientationIn(const std::string& block)
{
    return ExifOrientation(reinterpret_cast<const std::uint8_t*>(block.data()), block.size());
}

TEST(ExifOrientation, FoundInBothByteOrdersAmongOtherEntries)
{
    for (const bool motorola : {false, true})
        for (std::uint32_t value = 1; value <= 8; ++value)
            EXPECT_EQ(OrientationIn(ExifBlock(
                          motorola, {{271, 2, 4, 0}, {274, 3, 1, value}, {282, 5, 1, 0}})),
                      static_cast<int>(value));
}

TEST(ExifOrientation, MalformedOrOutOfRangeBlocksGiveUpright)
{
    EXPECT_EQ(OrientationIn(ExifBlock(false, {{274, 3, 1, 9}})), 1);
    EXPECT_EQ(OrientationIn(ExifBlock(false, {{274, 3, 1, 0}})), 1);
    EXPECT_EQ(OrientationIn(ExifBlock(false, {{274, 4, 1, 6}})), 1) << "LONG is not the type";
    EXPECT_EQ(OrientationIn(ExifBlock(false, {{274, 3, 2, 6}})), 1) << "two values";
    EXPECT_EQ(OrientationIn(ExifBlock(false, {})), 1);
    std::string block = ExifBlock(true, {{274, 3, 1, 6}});
    EXPECT_EQ(OrientationIn(block.substr(0, 7)), 1);
    EXPECT_EQ(OrientationIn(block.substr(0, 10)), 1) << "cut in the first entry";
    EXPECT_EQ(OrientationIn(block.substr(0, 22)), 6) << "the entry whole, the rest cut off";
    std::string wrongMagic = block;
    wrongMagic[3] = 43;
    EXPECT_EQ(OrientationIn(wrongMagic), 1);
    std::string farDirectory = block;
    farDirectory[4] = farDirectory[5] = farDirectory[6] = farDirectory[7] = '\xFF';
    EXPECT_EQ(OrientationIn(farDirectory), 1);
    std::string manyEntries = block;
    manyEntries[8] = manyEntries[9] = '\xFF'; // 65535 entries declared, one present
    EXPECT_EQ(OrientationIn(manyEntries), 6);
    EXPECT_EQ(ExifOrientation(nullptr, 100), 1);
}

TEST(ExifOrientation, JpegSegmentsNeedTheExifSignature)
{
    const std::string tiff = ExifBlock(false, {{274, 3, 1, 3}});
    const std::string app1 = std::string("Exif\0\0", 6) + tiff;
    const auto of = [](const std::string& s) {
        return JpegApp1Orientation(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    };
    EXPECT_EQ(of(app1), 3);
    EXPECT_EQ(of("http://ns.adobe.com/xap/1.0/" + tiff), 1);
    EXPECT_EQ(of(std::string("Exif\0", 5)), 1);
}

} // namespace
} // namespace scenaria
