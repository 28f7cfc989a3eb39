#include "FormatTestSupport.h"

#include "imaging/FileFormats.h"
#include "imaging/Messages.h"
#include "imaging/Stream.h"
#include "imaging/formats/Bmp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

namespace scenaria {
namespace {

using testing::DataFile;
using testing::MakeBmp;
using testing::ReadFile;
using testing::TBmpFields;
using testing::TTempDir;

void LoadBytes(TPixelGraphic& image, const std::string& bytes)
{
    TPGBufferStream stream(bytes.data(), bytes.size());
    image.LoadFromStream(stream);
}

std::string ErrorOf(const std::string& bytes)
{
    TPixelGraphic image;
    try {
        LoadBytes(image, bytes);
    } catch (const EPixelGraphic& e) {
        return e.what();
    }
    return "(loaded)";
}

std::uint32_t Field32(const std::string& s, std::size_t at)
{
    return static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8 |
           static_cast<std::uint8_t>(s[at + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 3])) << 24;
}

void FillRandom(TPixelGraphic& image, std::mt19937& random)
{
    std::uint8_t* p = image.PixelData();
    for (std::size_t i = 0; i < image.ImageSize(); ++i)
        p[i] = static_cast<std::uint8_t>(random());
}

// Pixel bytes that a row actually uses (padding is not part of the picture).
std::vector<std::uint8_t> UsedPixelBytes(const TPixelGraphic& image)
{
    std::vector<std::uint8_t> bytes;
    const std::size_t used =
        (static_cast<std::size_t>(image.BitCountNum()) * image.Width() + 7) / 8;
    for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* row = image.ScanLine(y);
        bytes.insert(bytes.end(), row, row + used);
    }
    return bytes;
}

TEST(BmpWriterTest, RoundTripsEveryDepthBitExact)
{
    TTempDir dir;
    std::mt19937 random(7);
    struct TCase {
        TBitCount BitCount;
        int Entries;
        int Width;
    };
    for (const TCase c : {TCase{bc1Bit, 2, 13}, TCase{bc4Bit, 16, 7}, TCase{bc4Bit, 11, 9},
                          TCase{bc8Bit, 256, 5}, TCase{bc8Bit, 232, 3}, TCase{bc24Bit, 0, 6}}) {
        SCOPED_TRACE(BitCountToNum(c.BitCount));
        TPixelGraphic image;
        image.SetSize(c.Width, 4, c.BitCount);
        if (c.Entries > 0) {
            image.SetPaletteCount(c.Entries);
            for (int i = 0; i < c.Entries; ++i)
                image.SetPaletteEntry(i, random() & 0xFFFFFF);
        }
        FillRandom(image, random);
        const std::string file = dir / "round.bmp";
        image.SaveToFile(file);

        TPixelGraphic loaded;
        loaded.LoadFromFile(file);
        EXPECT_EQ(loaded.Width(), image.Width());
        EXPECT_EQ(loaded.Height(), image.Height());
        EXPECT_EQ(loaded.BitCount(), image.BitCount());
        ASSERT_EQ(loaded.PaletteCount(), c.Entries);
        for (int i = 0; i < c.Entries; ++i)
            EXPECT_EQ(loaded.PaletteEntry(i), image.PaletteEntry(i)) << "entry " << i;
        EXPECT_EQ(UsedPixelBytes(loaded), UsedPixelBytes(image));

        // The same through a memory stream, and the DIB writer writes the same bytes.
        TPGMemoryStream memory;
        image.SaveToStreamAs(memory, "dib");
        EXPECT_EQ(std::string(memory.Data().begin(), memory.Data().end()), ReadFile(file));
    }
}

TEST(BmpWriterTest, OnePixelTrueColorFileIs58Bytes)
{
    TPixelGraphic image;
    image.SetSize(1, 1, bc24Bit);
    image.SetPixel(0, 0, RGB(10, 20, 30));
    TPGMemoryStream stream;
    image.SaveToStreamAs(stream, "bmp");
    const std::string s(stream.Data().begin(), stream.Data().end());
    ASSERT_EQ(s.size(), 58u);
    EXPECT_EQ(s.substr(0, 2), "BM");
    EXPECT_EQ(Field32(s, 2), 58u);             // file size
    EXPECT_EQ(Field32(s, 6), 0u);              // reserved
    EXPECT_EQ(Field32(s, 10), 54u);            // pixel offset
    EXPECT_EQ(Field32(s, 14), 40u);            // header size
    EXPECT_EQ(Field32(s, 18), 1u);             // width
    EXPECT_EQ(Field32(s, 22), 1u);             // height, positive: bottom-up
    EXPECT_EQ(Field32(s, 26), 1u | 24u << 16); // planes, bits
    EXPECT_EQ(Field32(s, 30), 0u);             // uncompressed
    EXPECT_EQ(Field32(s, 34), 4u);             // image size: one padded row
    EXPECT_EQ(Field32(s, 46), 0u);             // colours used
    EXPECT_EQ(s.substr(54), std::string("\x1e\x14\x0a\x00", 4));
}

TEST(BmpWriterTest, PartialPaletteSetsColorsUsedAndPixelOffset)
{
    TPixelGraphic image;
    image.SetSize(3, 2, bc8Bit);
    image.SetPaletteCount(232);
    for (int i = 0; i < 232; ++i)
        image.SetPaletteEntry(i, RGB(i, 255 - i, i / 2));
    TPGMemoryStream stream;
    image.SaveToStream(stream);
    const std::string s(stream.Data().begin(), stream.Data().end());
    EXPECT_EQ(Field32(s, 10), 982u);
    EXPECT_EQ(Field32(s, 46), 232u);
    EXPECT_EQ(s.size(), 982u + 8u);
    EXPECT_EQ(Field32(s, 2), s.size());
    // Entry 231 is stored blue, green, red, 0 just before the pixels.
    EXPECT_EQ(s.substr(978, 4), std::string("\x73\x18\xe7\x00", 4));
}

TEST(BmpReaderTest, ReadsUncompressedPaletteDepths)
{
    // 1 bit, 3 pixels wide: one byte of pixels padded to four.
    TBmpFields one;
    one.Bits = 1;
    one.Width = 3;
    one.Height = 2;
    one.Palette = std::string("\x00\x00\xff\x00\x00\xff\x00\x00", 8); // red, green
    one.Pixels = std::string("\xa0\0\0\0\x40\0\0\0", 8);              // bottom row first
    TPixelGraphic image;
    LoadBytes(image, MakeBmp(one));
    ASSERT_EQ(image.BitCount(), bc1Bit);
    EXPECT_EQ(image.GetPixel(0, 1), 1u);
    EXPECT_EQ(image.GetPixel(1, 1), 0u);
    EXPECT_EQ(image.GetPixel(2, 1), 1u);
    EXPECT_EQ(image.GetPixel(1, 0), 1u);
    EXPECT_EQ(image.GetPixelColor(0, 1), RGB(0, 255, 0));
    EXPECT_EQ(image.GetPixelColor(1, 1), RGB(255, 0, 0));

    // Colours used = 20 keeps 20 entries, which match no standard palette.
    TBmpFields eight;
    eight.Bits = 8;
    eight.Width = 2;
    eight.ColorsUsed = 20;
    eight.Palette = testing::GrayPalette(20);
    eight.Pixels = std::string("\x13\x05\0\0", 4);
    LoadBytes(image, MakeBmp(eight));
    EXPECT_EQ(image.PaletteCount(), 20);
    EXPECT_EQ(image.PaletteIdent(), pUnknown);
    EXPECT_EQ(image.GetPixelColor(0, 0), RGB(255, 255, 255));

    // Without a count a full 256-grey table is recognised as such.
    eight.ColorsUsed = 0;
    eight.Palette = testing::GrayPalette(256);
    LoadBytes(image, MakeBmp(eight));
    EXPECT_EQ(image.PaletteIdent(), pGray256);
    EXPECT_EQ(image.GetPixel(0, 0), 0x13u);
}

TEST(BmpReaderTest, ColorsUsedBeyondCapacityIsClampedAndTheWholeTableSkipped)
{
    TBmpFields fields;
    fields.Bits = 4;
    fields.Width = 2;
    fields.ColorsUsed = 18; // two entries more than 4 bits can address
    fields.Palette = testing::GrayPalette(18);
    fields.Pixels = std::string("\x1f\0\0\0", 4);
    TPixelGraphic image;
    LoadBytes(image, MakeBmp(fields));
    EXPECT_EQ(image.PaletteCount(), 16);
    EXPECT_EQ(image.GetPixel(0, 0), 1u);
    EXPECT_EQ(image.GetPixel(1, 0), 15u);

    // A count that the file cannot hold is a file that ended inside its table.
    fields.ColorsUsed = 0x40000000;
    EXPECT_EQ(ErrorOf(MakeBmp(fields)), "BMP: Unexpected end of file");
}

TEST(BmpReaderTest, TopDownRowsLoadUpright)
{
    TBmpFields fields;
    fields.Bits = 24;
    fields.Width = 1;
    fields.Height = -3;
    fields.Pixels = std::string("\x00\x00\xff\x00"  // top: red
                                "\x00\xff\x00\x00"  // green
                                "\xff\x00\x00\x00", // bottom: blue
                                12);
    TPixelGraphic image;
    LoadBytes(image, MakeBmp(fields));
    ASSERT_EQ(image.Height(), 3);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(image.GetPixel(0, 1), RGB(0, 255, 0));
    EXPECT_EQ(image.GetPixel(0, 2), RGB(0, 0, 255));

    // The same for 16-bit pixels, which are converted row by row.
    fields.Bits = 16;
    fields.Pixels = std::string("\x00\x7c\0\0\xe0\x03\0\0\x1f\x00\0\0", 12);
    LoadBytes(image, MakeBmp(fields));
    EXPECT_EQ(image.GetPixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(image.GetPixel(0, 1), RGB(0, 255, 0));
    EXPECT_EQ(image.GetPixel(0, 2), RGB(0, 0, 255));
}

TEST(BmpReaderTest, SixteenBitChannelsWidenToFullRange)
{
    TBmpFields fields;
    fields.Bits = 16;
    fields.Width = 3;
    fields.Pixels = std::string("\xff\x7f\x00\x00\x21\x04\x00\x00", 8);
    TPixelGraphic image;
    LoadBytes(image, MakeBmp(fields));
    EXPECT_EQ(image.GetPixel(0, 0), RGB(255, 255, 255));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(0, 0, 0));
    EXPECT_EQ(image.GetPixel(2, 0), RGB(16, 16, 16));

    BMP16BitChannelWidening = false;
    LoadBytes(image, MakeBmp(fields));
    BMP16BitChannelWidening = true;
    EXPECT_EQ(image.GetPixel(0, 0), RGB(248, 248, 248));
    EXPECT_EQ(image.GetPixel(2, 0), RGB(8, 8, 8));

    // 5-6-5 bit fields: a 6-bit green v becomes 4v + 4.
    fields.Compression = 3;
    fields.Width = 2;
    fields.Masks.clear();
    testing::Put32(fields.Masks, 0xF800);
    testing::Put32(fields.Masks, 0x07E0);
    testing::Put32(fields.Masks, 0x001F);
    fields.Pixels = std::string("\x20\x00\x1f\xf8", 4); // green 1; red 31, blue 31
    LoadBytes(image, MakeBmp(fields));
    EXPECT_EQ(image.GetPixel(0, 0), RGB(0, 8, 0));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(255, 0, 255));
}

TEST(BmpReaderTest, ThirtyTwoBitMasksAreNotWidened)
{
    TBmpFields fields;
    fields.Bits = 32;
    fields.Width = 2;
    // Default masks: the fourth byte is ignored.
    fields.Pixels = std::string("\x01\x02\x03\xff\x10\x20\x30\x00", 8);
    TPixelGraphic image;
    LoadBytes(image, MakeBmp(fields));
    EXPECT_EQ(image.GetPixel(0, 0), RGB(3, 2, 1));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(0x30, 0x20, 0x10));

    // Ten-bit channels are shifted down (their top bits land on bit 7), never widened.
    fields.Compression = 3;
    fields.Masks.clear();
    testing::Put32(fields.Masks, 0x3FF00000);
    testing::Put32(fields.Masks, 0x000FFC00);
    testing::Put32(fields.Masks, 0x000003FF);
    std::string pixels;
    testing::Put32(pixels, 0x3FF00000u | 0x200u << 10 | 0x004u);
    testing::Put32(pixels, 0);
    fields.Pixels = pixels;
    LoadBytes(image, MakeBmp(fields));
    EXPECT_EQ(image.GetPixel(0, 0), RGB(255, 128, 1));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(0, 0, 0));
}

TEST(BmpReaderTest, Os2BitmapsReadThreeByteTables)
{
    std::string body;
    testing::Put32(body, 12);
    testing::Put16(body, 2); // width
    testing::Put16(body, 1); // height
    testing::Put16(body, 1); // planes
    testing::Put16(body, 4);
    for (int i = 0; i < 16; ++i)
        body += {static_cast<char>(i), static_cast<char>(16 * i), static_cast<char>(255 - i)};
    body += std::string("\x2e\0\0\0", 4);
    std::string file = "BM";
    testing::Put32(file, static_cast<std::uint32_t>(14 + body.size()));
    testing::Put32(file, 0);
    testing::Put32(file, 14 + 12 + 48);
    file += body;
    TPixelGraphic image;
    LoadBytes(image, file);
    ASSERT_EQ(image.BitCount(), bc4Bit);
    EXPECT_EQ(image.PaletteCount(), 16);
    EXPECT_EQ(image.GetPixelColor(0, 0), RGB(255 - 2, 32, 2));
    EXPECT_EQ(image.GetPixelColor(1, 0), RGB(255 - 14, 224, 14));

    // Planes and bit count are checked as in Windows headers.
    std::string badPlanes = file;
    badPlanes[14 + 8] = 2;
    EXPECT_EQ(ErrorOf(badPlanes), "BMP: BitmapCoreHeader.bcPlanes invalid");
    std::string badBits = file;
    badBits[14 + 10] = 16;
    EXPECT_EQ(ErrorOf(badBits), "BMP: BitmapCoreHeader.bcBitCount invalid");
}

TEST(BmpReaderTest, Os2FilesMatchAnIndependentDecoder)
{
    for (const char* name : {"bmp-os2v1-1.bmp", "bmp-os2v1-4.bmp", "bmp-os2v1-8.bmp",
                             "bmp-os2v1-24.bmp", "bmp-rle8.bmp"}) {
        SCOPED_TRACE(name);
        const std::string path = DataFile(std::string("generated/") + name);
        TPixelGraphic image;
        image.LoadFromFile(path);
        const std::string ppm = testing::ToolOutput({"bmptopnm", path});
        if (ppm.empty())
            return;
        EXPECT_EQ(testing::MaxDifference(testing::RgbOf(image), testing::ParsePnm(ppm)), 0);
    }
}

TEST(BmpReaderTest, HeaderErrorsNameTheField)
{
    TBmpFields fields;
    fields.HeaderSize = 108;
    EXPECT_EQ(ErrorOf(MakeBmp(fields)), "BMP: Invalid size of BitmapInfoHeader/BitmapCoreHeader");
    fields.HeaderSize = 124;
    EXPECT_EQ(ErrorOf(MakeBmp(fields)), "BMP: Invalid size of BitmapInfoHeader/BitmapCoreHeader");
    fields = {};
    fields.Planes = 3;
    EXPECT_EQ(ErrorOf(MakeBmp(fields)), "BMP: BitmapInfoHeader.biPlanes invalid");
    fields = {};
    fields.Bits = 2;
    EXPECT_EQ(ErrorOf(MakeBmp(fields)), "BMP: BitmapInfoHeader.biBitCount invalid");
    for (const auto& [bits, compression] : std::vector<std::pair<unsigned, std::uint32_t>>{
             {24, 1}, {8, 2}, {4, 1}, {24, 3}, {8, 4}}) {
        fields = {};
        fields.Bits = bits;
        fields.Compression = compression;
        EXPECT_EQ(ErrorOf(MakeBmp(fields)), "BMP: BitmapInfoHeader.biCompression invalid")
            << bits << " bits, compression " << compression;
    }
    // RLE cannot be stored top-down.
    fields = {};
    fields.Bits = 8;
    fields.Compression = 1;
    fields.Height = -1;
    EXPECT_EQ(ErrorOf(MakeBmp(fields)), "BMP: BitmapInfoHeader.biCompression invalid");

    TPixelGraphic image;
    const std::string good = MakeBmp(TBmpFields{});
    TPGBufferStream stream(good.data(), good.size());
    try {
        TBMPFileFormatReader().Read(stream, image, 1);
        ADD_FAILURE() << "index 1 was accepted";
    } catch (const EPGBMPFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "BMP: Index invalid");
    }
}

TEST(BmpReaderTest, FilesEndingInsideTheirHeadersFail)
{
    TBmpFields fields;
    fields.Bits = 8;
    fields.Palette = testing::GrayPalette(256);
    fields.Pixels = std::string(4, '\x7f');
    const std::string file = MakeBmp(fields);
    // Inside the file header, the bitmap header and the colour table.
    for (const std::size_t length : {std::size_t{2}, std::size_t{13}, std::size_t{16},
                                     std::size_t{30}, std::size_t{53}, std::size_t{54 + 500}}) {
        EXPECT_EQ(ErrorOf(file.substr(0, length)), "BMP: Unexpected end of file") << length;
    }
    // Cut right after the table: the pixels are simply missing.
    TPixelGraphic image;
    LoadBytes(image, file.substr(0, 54 + 1024));
    EXPECT_EQ(image.GetPixel(0, 0), 0u);
}

TEST(BmpReaderTest, FileCutInsideItsRowsKeepsTheMissingTopRowsAtZero)
{
    TBmpFields fields;
    fields.Bits = 24;
    fields.Width = 2;
    fields.Height = 4;
    for (int row = 0; row < 4; ++row)
        fields.Pixels += std::string("\x11\x22\x33\x44\x55\x66\0\0", 8);
    const std::string file = MakeBmp(fields);
    TPixelGraphic image;
    LoadBytes(image, file.substr(0, file.size() - 13)); // the top row and most of the next
    EXPECT_EQ(image.GetPixel(0, 3), RGB(0x33, 0x22, 0x11));
    EXPECT_EQ(image.GetPixel(1, 2), RGB(0x66, 0x55, 0x44));
    EXPECT_EQ(image.GetPixel(0, 1), RGB(0x33, 0x22, 0x11));
    EXPECT_EQ(image.GetPixel(1, 1), 0u);
    EXPECT_EQ(image.GetPixel(0, 0), 0u);
    EXPECT_EQ(image.GetPixel(1, 0), 0u);
}

TEST(BmpReaderTest, AFewBytesCannotClaimAHugePicture)
{
    // 6000 x 4000 at 24 bits is 72 MB of rows: a cut copy that still holds more than a
    // sixteenth of them loads, a header with next to nothing behind it is refused at once.
    TBmpFields fields;
    fields.Bits = 24;
    fields.Width = 6000;
    fields.Height = 4000;
    fields.Pixels = std::string(100, '\x40');
    EXPECT_EQ(ErrorOf(MakeBmp(fields)), "BMP: Unexpected end of file");
    fields.Pixels = std::string(72'000'000 / 15, '\x40');
    TPixelGraphic image;
    LoadBytes(image, MakeBmp(fields));
    EXPECT_EQ(image.Width(), 6000);
    EXPECT_EQ(image.GetPixel(0, 3999), RGB(0x40, 0x40, 0x40));
    EXPECT_EQ(image.GetPixel(0, 0), 0u);

    // Run-length data packs far more, yet not a whole screen into a few bytes.
    TBmpFields rle;
    rle.Bits = 8;
    rle.Compression = 1;
    rle.Width = 20000;
    rle.Height = 20000;
    rle.Palette = testing::GrayPalette(256);
    rle.Pixels = std::string("\0\1", 2);
    EXPECT_EQ(ErrorOf(MakeBmp(rle)), "BMP: Unexpected end of file");
}

TEST(BmpReaderTest, PixelsAreReadRightAfterTheTableWhateverTheStoredOffset)
{
    TBmpFields fields;
    fields.Bits = 8;
    fields.Width = 4;
    fields.ColorsUsed = 2;
    fields.Palette = testing::GrayPalette(2);
    fields.Pixels = std::string("\x00\x00\x01\x01\x01\x00\x00\x00", 8); // two gap bytes first
    std::string file = MakeBmp(fields);
    const std::uint32_t offset = Field32(file, 10) + 2;
    for (int i = 0; i < 4; ++i)
        file[10 + i] = static_cast<char>(offset >> (8 * i));
    TPixelGraphic image;
    LoadBytes(image, file);
    EXPECT_EQ(image.GetPixel(0, 0), 0u);
    EXPECT_EQ(image.GetPixel(2, 0), 1u);
}

TEST(BmpReaderTest, ChunkedReadReportsTenStepsAndStopsOnAbort)
{
    TBmpFields fields;
    fields.Bits = 8;
    fields.Width = 100;
    fields.Height = 10;
    fields.Palette = testing::GrayPalette(256);
    fields.Pixels = std::string(1000, '\x09');
    const std::string file = MakeBmp(fields);

    TPixelGraphic image;
    std::vector<int> steps;
    int starts = 0, ends = 0;
    image.OnProgressStart = [&](TPixelGraphic&) { ++starts; };
    image.OnProgressEnd = [&](TPixelGraphic&) { ++ends; };
    image.OnProgress = [&](TPixelGraphic&, int step, int max, bool&) {
        EXPECT_EQ(max, 10);
        steps.push_back(step);
    };
    LoadBytes(image, file);
    EXPECT_EQ(steps, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(ends, 1);

    // An abort after the first tenth keeps what was read; the rest stays 0.
    image.OnProgress = [](TPixelGraphic&, int, int, bool& abort) { abort = true; };
    LoadBytes(image, file);
    EXPECT_EQ(image.GetPixel(0, 9), 9u); // bottom row: read first
    EXPECT_EQ(image.GetPixel(0, 0), 0u); // top row: never read
    EXPECT_EQ(ends, 2);

    // OnProgressEnd also fires when the body fails.
    LoadBytes(image, MakeBmp(TBmpFields{}));
    EXPECT_EQ(ends, 3);
    fields.Planes = 0;
    EXPECT_THROW(LoadBytes(image, MakeBmp(fields)), EPGBMPFileFormatReader);
    EXPECT_EQ(ends, 4);
}

// RLE streams are decoded bottom row first.
void LoadRle(TPixelGraphic& image, unsigned bits, int width, int height, const std::string& data)
{
    TBmpFields fields;
    fields.Bits = bits;
    fields.Compression = bits == 8 ? 1 : 2;
    fields.Width = width;
    fields.Height = height;
    fields.ColorsUsed = bits == 8 ? 16 : 0;
    fields.Palette = testing::GrayPalette(16);
    fields.SizeImage = static_cast<std::uint32_t>(data.size());
    fields.Pixels = data;
    LoadBytes(image, MakeBmp(fields));
}

std::string Row(const TPixelGraphic& image, int y)
{
    std::string s;
    for (int x = 0; x < image.Width(); ++x)
        s += static_cast<char>('0' + image.GetPixel(x, y));
    return s;
}

TEST(BmpRleTest, Rle8RunsDeltasAndAbsoluteRuns)
{
    const std::string data("\x03\x05"                 // run of three 5s
                           "\x00\x03\x01\x02\x03\x00" // absolute run 1 2 3 with a padding byte
                           "\x00\x00"                 // end of line
                           "\x00\x02\x02\x01"         // delta: two right, one up
                           "\x02\x07"                 // run of two 7s
                           "\x00\x04\x09\x08\x07\x06" // absolute run, even: no padding
                           "\x00\x01"                 // end of bitmap
                           "\x04\x04",                // never reached
                           26);
    TPixelGraphic image;
    LoadRle(image, 8, 8, 3, data);
    EXPECT_EQ(Row(image, 2), "55512300");
    EXPECT_EQ(Row(image, 1), "00000000");
    EXPECT_EQ(Row(image, 0), "00779876");
}

TEST(BmpRleTest, Rle4RunsAlternateNibbles)
{
    const std::string data("\x05\x12"                 // 1 2 1 2 1
                           "\x00\x03\x34\x50"         // absolute 3 4 5: two bytes, even
                           "\x00\x00"                 // end of line
                           "\x00\x05\x67\x89\xa0\x00" // absolute 6 7 8 9 a: three bytes + pad
                           "\x05\xbc"                 // b c b c b, cut at the right edge
                           "\x00\x01",
                           18);
    TPixelGraphic image;
    LoadRle(image, 4, 9, 2, data);
    auto row = [&](int y) {
        std::string s;
        for (int x = 0; x < image.Width(); ++x)
            s += "0123456789abcdef"[image.GetPixel(x, y)];
        return s;
    };
    EXPECT_EQ(row(1), "121213450");
    EXPECT_EQ(row(0), "6789abcbc");
}

TEST(BmpRleTest, DamagedStreamsStayInsideTheImage)
{
    // A run past the right edge, then an absolute run longer than the data left.
    const std::string cut("\xff\x01\x00\x00\x00\xff\x02\x03", 8);
    TPixelGraphic image;
    LoadRle(image, 8, 3, 2, cut);
    EXPECT_EQ(Row(image, 1), "111");
    EXPECT_EQ(Row(image, 0), "230");
    LoadRle(image, 4, 3, 2, cut);
    EXPECT_EQ(Row(image, 1), "010");
    EXPECT_EQ(Row(image, 0), "020");
    // A delta past the top leaves everything after it outside the image.
    const std::string up("\x00\x02\x01\xff\x03\x05\x00\x00\x03\x05", 10);
    for (const unsigned bits : {4u, 8u}) {
        LoadRle(image, bits, 3, 2, up);
        EXPECT_EQ(Row(image, 0) + Row(image, 1), "000000");
    }
    // An image size of 0 means: the rest of the file.
    TBmpFields fields;
    fields.Bits = 8;
    fields.Compression = 1;
    fields.Width = 2;
    fields.ColorsUsed = 4;
    fields.Palette = testing::GrayPalette(4);
    fields.Pixels = std::string("\x02\x03\x00\x01", 4);
    LoadBytes(image, MakeBmp(fields));
    EXPECT_EQ(Row(image, 0), "33");
}

TEST(BmpInfoTest, DescribesHeadersWithoutDecoding)
{
    TBMPFileFormatReader reader;
    auto info = [&reader](const std::string& bytes) {
        TPGBufferStream stream(bytes.data(), bytes.size());
        TPGImageInfo result;
        reader.GetInfo(stream, 0, result);
        return result;
    };
    TBmpFields fields;
    fields.Width = 640;
    fields.Height = -480;
    TPGImageInfo i = info(MakeBmp(fields));
    EXPECT_EQ(i.Width, 640);
    EXPECT_EQ(i.Height, 480);
    EXPECT_EQ(i.BitsPerPixel, 24);
    EXPECT_EQ(i.Colors, "16.7M");
    EXPECT_EQ(i.Subformat, "Windows, RGB, Top-Down");
    EXPECT_EQ(i.ImageCount, 1);

    fields = {};
    fields.Bits = 8;
    fields.Compression = 1;
    i = info(MakeBmp(fields));
    EXPECT_EQ(i.Colors, "256");
    EXPECT_EQ(i.Subformat, "Windows, RLE8");
    fields.Bits = 16;
    fields.Compression = 3;
    fields.Masks = std::string(12, '\0');
    i = info(MakeBmp(fields));
    EXPECT_EQ(i.Colors, "64K");
    EXPECT_EQ(i.Subformat, "Windows");

    const std::string os2 = ReadFile(DataFile("generated/bmp-os2v1-4.bmp"));
    i = info(os2);
    EXPECT_EQ(i.Subformat, "OS/2");
    EXPECT_EQ(i.Colors, "16");
    EXPECT_EQ(i.BitsPerPixel, 4);

    TPGBufferStream stream(os2.data(), os2.size());
    TPGImageInfo unused;
    try {
        reader.GetInfo(stream, 2, unused);
        ADD_FAILURE() << "index 2 was accepted";
    } catch (const EPGBMPFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "BMP: Invalid value for Index");
    }
    fields = {};
    fields.HeaderSize = 108;
    EXPECT_THROW(info(MakeBmp(fields)), EPGBMPFileFormatReader);
}

// The BMP suite: each file with the reference rendering it must match (or how it must fail).
struct TSuiteCase {
    const char* File;
    const char* Reference; // null: must fail with Error
    int Tolerance = 0;
    const char* Error = nullptr;
};

const TSuiteCase SuiteCases[] = {
    {"g/pal1.bmp", "pal1.png"},
    {"g/pal1wb.bmp", "pal1.png"},
    {"g/pal1bg.bmp", "pal1bg.png"},
    {"g/pal4.bmp", "pal4.png"},
    {"g/pal4gs.bmp", "pal4gs.png"},
    {"g/pal4rle.bmp", "pal4.png"},
    {"g/pal8.bmp", "pal8.png"},
    {"g/pal8-0.bmp", "pal8.png"},
    {"g/pal8gs.bmp", "pal8gs.png"},
    {"g/pal8rle.bmp", "pal8.png"},
    {"g/pal8w126.bmp", "pal8w126.png"},
    {"g/pal8w125.bmp", "pal8w125.png"},
    {"g/pal8w124.bmp", "pal8w124.png"},
    {"g/pal8topdown.bmp", "pal8.png"},
    {"g/pal8nonsquare.bmp", "pal8nonsquare-e.png"},
    {"g/pal8os2.bmp", "pal8.png"},
    {"g/rgb16.bmp", "rgb16.png", 8},
    {"g/rgb16bfdef.bmp", "rgb16.png", 8},
    {"g/rgb16-565.bmp", "rgb16-565.png", 8},
    {"g/rgb16-565pal.bmp", "rgb16-565.png", 8},
    {"g/rgb24.bmp", "rgb24.png"},
    {"g/rgb24pal.bmp", "rgb24.png"},
    {"g/rgb32.bmp", "rgb24.png"},
    {"g/rgb32bfdef.bmp", "rgb24.png"},
    {"g/rgb32bf.bmp", "rgb24.png"},
    {"q/pal8oversizepal.bmp", "pal8.png"},
    {"q/rgb24largepal.bmp", "rgb24.png"},
    {"q/pal8os2-sz.bmp", "pal8.png"},
    {"q/pal8os2-hs.bmp", "pal8.png"},
    {"q/rgb32-111110.bmp", "rgb24.png", 1},
    // Pixels an RLE stream skips keep palette index 0.
    {"q/pal8rletrns.bmp", "pal8rletrns-0.png"},
    {"q/pal4rletrns.bmp", "pal4rletrns-0.png"},
    {"q/pal8rlecut.bmp", "pal8rlecut-0.png"},
    {"q/pal4rlecut.bmp", "pal4rlecut-0.png"},
    // Later header versions are not read.
    {"g/pal8v4.bmp", nullptr, 0, "BMP: Invalid size of BitmapInfoHeader/BitmapCoreHeader"},
    {"g/pal8v5.bmp", nullptr, 0, "BMP: Invalid size of BitmapInfoHeader/BitmapCoreHeader"},
    {"q/pal8os2v2.bmp", nullptr, 0, "BMP: Invalid size of BitmapInfoHeader/BitmapCoreHeader"},
    {"q/rgb32h52.bmp", nullptr, 0, "BMP: Invalid size of BitmapInfoHeader/BitmapCoreHeader"},
    {"b/badheadersize.bmp", nullptr, 0, "BMP: Invalid size of BitmapInfoHeader/BitmapCoreHeader"},
    {"b/badbitcount.bmp", nullptr, 0, "BMP: BitmapInfoHeader.biBitCount invalid"},
    {"b/badplanes.bmp", nullptr, 0, "BMP: BitmapInfoHeader.biPlanes invalid"},
    {"b/rletopdown.bmp", nullptr, 0, "BMP: BitmapInfoHeader.biCompression invalid"},
    {"b/badpalettesize.bmp", nullptr, 0, "BMP: Unexpected end of file"},
    {"b/badwidth.bmp", nullptr, 0, "Negative width"},
    {"b/reallybig.bmp", nullptr, 0, "Invalid size of image"},
};

TEST(BmpSuiteTest, DecodesLikeTheReferenceRenderings)
{
    for (const TSuiteCase& c : SuiteCases) {
        SCOPED_TRACE(c.File);
        TPixelGraphic image;
        image.ReadWarningAction = pgwaRaise;
        const std::string path = DataFile(std::string("bmpsuite/") + c.File);
        if (!c.Reference) {
            try {
                image.LoadFromFile(path);
                ADD_FAILURE() << "loaded";
            } catch (const EPixelGraphic& e) {
                EXPECT_STREQ(e.what(), c.Error);
            }
            continue;
        }
        image.LoadFromFile(path);
        const auto reference =
            testing::ReadPng(DataFile(std::string("bmpsuite/html/") + c.Reference));
        EXPECT_LE(testing::MaxDifference(testing::RgbOf(image), reference), c.Tolerance);
    }
}

TEST(BmpSuiteTest, BadFilesFailCleanlyOrLoad)
{
    // The rest of the bad files either load (their damage is in fields the reader ignores, or
    // in pixel data, which is taken as far as it goes) or fail with a library error.
    for (const char* name :
         {"badbitssize", "baddens1", "baddens2", "badfilesize", "badrle", "badrle4", "badrle4bis",
          "badrle4ter", "badrlebis", "badrleter", "pal8badindex", "rgb16-880", "shortfile"}) {
        SCOPED_TRACE(name);
        TPixelGraphic image;
        image.LoadFromFile(DataFile(std::string("bmpsuite/b/") + name + ".bmp"));
        EXPECT_FALSE(image.Empty());
    }
}

} // namespace
} // namespace scenaria
