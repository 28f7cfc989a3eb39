#include "FormatOracles.h"

#include "imaging/FileFormats.h"
#include "imaging/Messages.h"
#include "imaging/Stream.h"
#include "imaging/formats/Tga.h"

#include <gtest/gtest.h>

#include <random>

namespace scenaria {
namespace {

using testing::DataFile;
using testing::LoadAs;
using testing::LoadError;
using testing::Put16;
using testing::ReadFile;
using testing::TTempDir;

// A Targa file put together field by field.
struct TTgaLayout {
    std::string Id;
    int MapType = 0;
    int ImageType = 2;
    int FirstEntry = 0;
    int MapLength = 0;
    int EntrySize = 0;
    int Width = 1;
    int Height = 1;
    int Depth = 24;
    int Descriptor = 0;
    std::string Map;
    std::string Pixels;
};

std::string MakeTga(const TTgaLayout& s)
{
    std::string file;
    file += static_cast<char>(s.Id.size());
    file += static_cast<char>(s.MapType);
    file += static_cast<char>(s.ImageType);
    Put16(file, static_cast<unsigned>(s.FirstEntry));
    Put16(file, static_cast<unsigned>(s.MapLength));
    file += static_cast<char>(s.EntrySize);
    Put16(file, 0);
    Put16(file, 0);
    Put16(file, static_cast<unsigned>(s.Width));
    Put16(file, static_cast<unsigned>(s.Height));
    file += static_cast<char>(s.Depth);
    file += static_cast<char>(s.Descriptor);
    return file + s.Id + s.Map + s.Pixels;
}

// The usual header fields; the rest keep their defaults.
TTgaLayout Layout(int imageType, int width = 1, int height = 1, int depth = 24)
{
    TTgaLayout layout;
    layout.ImageType = imageType;
    layout.Width = width;
    layout.Height = height;
    layout.Depth = depth;
    return layout;
}

std::string Word(unsigned v)
{
    std::string s;
    Put16(s, v);
    return s;
}

TEST(TgaReaderTest, PixelDepthsAndMapEntriesItDoesNotReadAreRejected)
{
    const std::string unsupported = "TGA: Not supported subformat";
    for (const int depth : {0, 1, 4, 15, 31, 48}) {
        TTgaLayout layout;
        layout.Depth = depth;
        layout.Pixels = std::string(8, '\0');
        EXPECT_EQ(LoadError(MakeTga(layout), "tga"), unsupported) << depth;
    }
    TTgaLayout mapped;
    mapped.MapType = 1;
    mapped.ImageType = 1;
    mapped.MapLength = 2;
    mapped.Depth = 8;
    mapped.Pixels = "\x01";
    for (const int entrySize : {8, 15, 17}) {
        mapped.EntrySize = entrySize;
        mapped.Map = std::string(8, '\0');
        EXPECT_EQ(LoadError(MakeTga(mapped), "tga"), unsupported) << entrySize;
    }
    // A first entry beyond the map's own length.
    mapped.EntrySize = 24;
    mapped.Map = std::string(6, '\0');
    mapped.FirstEntry = 3;
    EXPECT_EQ(LoadError(MakeTga(mapped), "tga"), unsupported);
    mapped.FirstEntry = 2;
    EXPECT_EQ(LoadError(MakeTga(mapped), "tga"), "(loaded)");

    // A header cut short is a stream that cannot give what was asked of it.
    EXPECT_EQ(LoadError(MakeTga(TTgaLayout{}).substr(0, 17), "tga"), "Stream read error");
    try {
        TPixelGraphic image;
        LoadAs(image, MakeTga(TTgaLayout{}).substr(0, 10), "tga");
        ADD_FAILURE() << "loaded";
    } catch (const EReadError&) {
    }
}

TEST(TgaReaderTest, EightBitsWithoutAMapAreGray)
{
    TTgaLayout layout;
    layout.ImageType = 3;
    layout.Depth = 8;
    layout.Width = 3;
    layout.Pixels = std::string("\x00\x80\xff", 3);
    TPixelGraphic image;
    LoadAs(image, MakeTga(layout), "tga");
    ASSERT_EQ(image.BitCount(), bc8Bit);
    EXPECT_EQ(image.PaletteIdent(), pGray256);
    EXPECT_EQ(image.GetPixel(1, 0), 0x80u);
    EXPECT_EQ(image.GetPixel(2, 0), 0xFFu);
}

TEST(TgaReaderTest, FiveBitChannelsAreNotWidened)
{
    TTgaLayout layout;
    layout.Depth = 16;
    layout.Width = 4;
    layout.Pixels = Word(0x7FFF) + Word(0x7C00) + Word(0x03E0) + Word(0x801F);
    TPixelGraphic image;
    LoadAs(image, MakeTga(layout), "tga");
    ASSERT_EQ(image.BitCount(), bc24Bit);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(248, 248, 248));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(248, 0, 0));
    EXPECT_EQ(image.GetPixel(2, 0), RGB(0, 248, 0));
    EXPECT_EQ(image.GetPixel(3, 0), RGB(0, 0, 248)); // the top bit is not a colour

    // Map entries of 16 bits the same way; 32-bit entries drop their fourth byte.
    TTgaLayout mapped;
    mapped.MapType = 1;
    mapped.ImageType = 1;
    mapped.MapLength = 2;
    mapped.EntrySize = 16;
    mapped.Depth = 8;
    mapped.Width = 2;
    mapped.Map = Word(0x7FFF) + Word(0x03E0);
    mapped.Pixels = std::string("\x01\x00", 2);
    LoadAs(image, MakeTga(mapped), "tga");
    ASSERT_EQ(image.PaletteCount(), 2);
    EXPECT_EQ(image.GetPixelColor(0, 0), RGB(0, 248, 0));
    EXPECT_EQ(image.GetPixelColor(1, 0), RGB(248, 248, 248));
    mapped.EntrySize = 32;
    mapped.Map = std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
    LoadAs(image, MakeTga(mapped), "tga");
    EXPECT_EQ(image.GetPixelColor(0, 0), RGB(7, 6, 5));
}

TEST(TgaReaderTest, ThirtyTwoBitPixelsLoadAsTwentyFourBit)
{
    TTgaLayout layout;
    layout.Depth = 32;
    layout.Width = 2;
    layout.Descriptor = 8;
    layout.Pixels = std::string("\x10\x20\x30\x00\x40\x50\x60\xff", 8);
    TPixelGraphic image;
    LoadAs(image, MakeTga(layout), "tga");
    ASSERT_EQ(image.BitCount(), bc24Bit);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(0x30, 0x20, 0x10));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(0x60, 0x50, 0x40));
}

// The same 3 x 2 picture in every depth, compression and orientation: the rows stored bottom
// first unless the descriptor says top first, the columns right to left when it says so.
std::string StoredPixels(int depth, int descriptor, bool encoded)
{
    // Indices of the picture as seen, top row first.
    const int seen[2][3] = {{1, 2, 3}, {4, 5, 6}};
    std::string out;
    for (int r = 0; r < 2; ++r) {
        const int y = descriptor & 0x20 ? r : 1 - r;
        std::string row;
        for (int i = 0; i < 3; ++i) {
            const int v = seen[y][descriptor & 0x10 ? 2 - i : i];
            if (depth == 8)
                row += static_cast<char>(v);
            else if (depth == 16)
                row += Word(static_cast<unsigned>(v << 10 | v << 5 | v));
            else
                row += std::string{static_cast<char>(v * 30), static_cast<char>(v * 20),
                                   static_cast<char>(v * 10)} +
                       (depth == 32 ? std::string(1, '\x7f') : "");
        }
        out += row;
    }
    if (!encoded)
        return out;
    // One raw packet of all six pixels: a packet runs on across rows.
    return std::string(1, '\x05') + out;
}

TEST(TgaReaderTest, EveryOrientationLandsTheSameWayRound)
{
    for (const int depth : {8, 16, 24, 32}) {
        for (const bool encoded : {false, true}) {
            TPixelGraphic reference;
            for (const int descriptor : {0x00, 0x10, 0x20, 0x30}) {
                SCOPED_TRACE(std::to_string(depth) + " bits, descriptor " +
                             std::to_string(descriptor) + (encoded ? ", RLE" : ""));
                TTgaLayout layout;
                layout.ImageType = (depth == 8 ? 3 : 2) | (encoded ? 8 : 0);
                layout.Depth = depth;
                layout.Width = 3;
                layout.Height = 2;
                layout.Descriptor = descriptor;
                layout.Pixels = StoredPixels(depth, descriptor, encoded);
                TPixelGraphic image;
                LoadAs(image, MakeTga(layout), "tga");
                if (depth == 8) {
                    EXPECT_EQ(image.GetPixel(0, 0), 1u);
                    EXPECT_EQ(image.GetPixel(2, 1), 6u);
                } else if (depth == 16) {
                    EXPECT_EQ(image.GetPixel(0, 0), RGB(8, 8, 8));
                    EXPECT_EQ(image.GetPixel(2, 1), RGB(48, 48, 48));
                } else {
                    EXPECT_EQ(image.GetPixel(0, 0), RGB(10, 20, 30));
                    EXPECT_EQ(image.GetPixel(2, 1), RGB(60, 120, 180));
                }
                if (descriptor == 0)
                    reference.Assign(&image);
                else
                    EXPECT_EQ(
                        testing::MaxDifference(testing::RgbOf(image), testing::RgbOf(reference)),
                        0);
            }
        }
    }
}

TEST(TgaReaderTest, RunLengthPacketsContinueIntoTheNextRow)
{
    // 3 x 2, 24 bits: a run of four red pixels covers row one and the start of row two, then
    // two raw pixels finish it.
    TTgaLayout layout;
    layout.ImageType = 10;
    layout.Width = 3;
    layout.Height = 2;
    layout.Descriptor = 0x20;
    layout.Pixels = std::string("\x83\x00\x00\xff\x01\x00\xff\x00\xff\x00\x00", 11);
    TPixelGraphic image;
    LoadAs(image, MakeTga(layout), "tga");
    EXPECT_EQ(image.GetPixel(2, 0), RGB(255, 0, 0));
    EXPECT_EQ(image.GetPixel(0, 1), RGB(255, 0, 0));
    EXPECT_EQ(image.GetPixel(1, 1), RGB(0, 255, 0));
    EXPECT_EQ(image.GetPixel(2, 1), RGB(0, 0, 255));

    // Pillow's sample of a packet across a scanline.
    const std::string cross = DataFile("pillow-subset/cross_scan_line.tga");
    image.LoadFromFile(cross);
    EXPECT_EQ(testing::MaxDifference(testing::RgbOf(image), testing::ImageMagickRgb(cross)), 0);
}

TEST(TgaReaderTest, DataEndingEarlyFailsAfterTheRowsBefore)
{
    // Run-length data that stops in the last row: the rows before it stay.
    TTgaLayout grey = Layout(11, 2, 3, 8);
    grey.Descriptor = 0x20;
    grey.Pixels = std::string("\x81\x10\x01\x20\x30\x80", 6);
    TPixelGraphic image;
    try {
        LoadAs(image, MakeTga(grey), "tga");
        ADD_FAILURE() << "loaded";
    } catch (const EPGTGAFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "TGA: Unexpected end of file");
    }
    ASSERT_EQ(image.Height(), 3);
    EXPECT_EQ(image.GetPixel(1, 0), 0x10u);
    EXPECT_EQ(image.GetPixel(0, 1), 0x20u);
    EXPECT_EQ(image.GetPixel(1, 1), 0x30u);
    // Pillow's sample of the same.
    EXPECT_EQ(LoadError(ReadFile(DataFile("pillow-subset/cross_scan_line_truncated.tga")), "tga"),
              "TGA: Unexpected end of file");

    // Plain pixels, identification field and colour map are all checked against the data.
    TTgaLayout layout;
    layout.Width = 2;
    layout.Height = 2;
    layout.Pixels = std::string(11, '\x01');
    EXPECT_EQ(LoadError(MakeTga(layout), "tga"), "TGA: Unexpected end of file");
    layout.Pixels += '\x01';
    EXPECT_EQ(LoadError(MakeTga(layout), "tga"), "(loaded)");
    std::string cut = MakeTga(layout);
    cut[0] = 100;
    EXPECT_EQ(LoadError(cut, "tga"), "TGA: Unexpected end of file");
    TTgaLayout mapped;
    mapped.MapType = 1;
    mapped.ImageType = 1;
    mapped.MapLength = 256;
    mapped.EntrySize = 24;
    mapped.Depth = 8;
    mapped.Map = std::string(700, '\0');
    EXPECT_EQ(LoadError(MakeTga(mapped), "tga"), "TGA: Unexpected end of file");

    // The largest picture the header can declare, with almost nothing after it, fails before
    // anything is allocated, plain or run-length encoded.
    for (const int type : {2, 10}) {
        TTgaLayout huge;
        huge.ImageType = type;
        huge.Width = 0xFFFF;
        huge.Height = 0x4000;
        huge.Pixels = std::string(64, '\xff');
        int started = 0;
        image.OnProgressStart = [&](TPixelGraphic&) { ++started; };
        EXPECT_THROW(LoadAs(image, MakeTga(huge), "tga"), EPGTGAFileFormatReader);
        EXPECT_TRUE(image.Empty());
        EXPECT_EQ(started, 0);
    }
}

TEST(TgaReaderTest, MapsStartingPastEntryZeroColourTheIndicesFromThere)
{
    // Two stored entries for indices 2 and 3, as the format defines the first entry index;
    // ImageMagick reads them the same way.
    TTgaLayout layout;
    layout.MapType = 1;
    layout.ImageType = 1;
    layout.FirstEntry = 2;
    layout.MapLength = 2;
    layout.EntrySize = 24;
    layout.Depth = 8;
    layout.Width = 2;
    layout.Descriptor = 0x20;
    layout.Map = std::string("\x00\x00\xff\x00\xff\x00", 6);
    layout.Pixels = "\x02\x03";
    TTempDir dir;
    const std::string file = dir.Write("first.tga", MakeTga(layout));
    TPixelGraphic image;
    image.LoadFromFile(file);
    EXPECT_EQ(image.PaletteCount(), 4);
    EXPECT_EQ(image.GetPixelColor(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(image.GetPixelColor(1, 0), RGB(0, 255, 0));
    EXPECT_EQ(testing::MaxDifference(testing::RgbOf(image), testing::ImageMagickRgb(file)), 0);
}

TEST(TgaReaderTest, GrayWithAlphaKeepsTheGray)
{
    // GIMP's grey-and-alpha samples match the grey reference in both orientations.
    const auto reference = testing::ReadPng(DataFile("pillow-subset/tga/common/200x32_l.png"));
    for (const char* name : {"200x32_la_tl_raw.tga", "200x32_la_bl_rle.tga"}) {
        SCOPED_TRACE(name);
        TPixelGraphic image;
        image.LoadFromFile(DataFile(std::string("pillow-subset/tga/common/") + name));
        EXPECT_EQ(testing::MaxDifference(testing::RgbOf(image), reference), 0);
    }
}

TEST(TgaReaderTest, ThirdPartySamplesMatchTheirReferences)
{
    struct TCase {
        const char* File;
        const char* Reference;
    };
    for (const TCase c : {TCase{"200x32_l_bl_raw.tga", "200x32_l.png"},
                          TCase{"200x32_l_tl_raw.tga", "200x32_l.png"},
                          TCase{"200x32_l_bl_rle.tga", "200x32_l.png"},
                          TCase{"200x32_l_tl_rle.tga", "200x32_l.png"},
                          TCase{"200x32_p_bl_raw.tga", "200x32_p.png"},
                          TCase{"200x32_p_tl_rle.tga", "200x32_p.png"}}) {
        SCOPED_TRACE(c.File);
        TPixelGraphic image;
        image.LoadFromFile(DataFile(std::string("pillow-subset/tga/common/") + c.File));
        const auto reference =
            testing::ReadPng(DataFile(std::string("pillow-subset/tga/common/") + c.Reference));
        EXPECT_EQ(testing::MaxDifference(testing::RgbOf(image), reference), 0);
    }
}

// The image type byte of a Targa file.
int ImageType(const std::string& path)
{
    return static_cast<std::uint8_t>(ReadFile(path).at(2));
}

TEST(TgaOracleTest, ImageMagickRunLengthFilesDecodeLikeImageMagick)
{
    TTempDir dir;
    const std::string source = dir.Write("source.ppm", testing::TestPatternPpm(150, 7));
    struct TCase {
        const char* Options;
        int Type;
        int Tolerance; // ImageMagick widens 5-bit channels, this reader does not
    };
    for (const TCase& c : {TCase{"-type TrueColor", 10, 0}, TCase{"-alpha set", 10, 0},
                           TCase{"-colors 77 -type Palette", 9, 0}, TCase{"-type Grayscale", 11, 0},
                           TCase{"-depth 5", 10, 7}}) {
        SCOPED_TRACE(c.Options);
        const std::string tga = dir / "written.tga";
        testing::Shell("convert-im6.q16 '" + source + "' " + c.Options + " -compress RLE '" + tga +
                       "'");
        ASSERT_EQ(ImageType(tga), c.Type);
        TPixelGraphic image;
        image.LoadFromFile(tga);
        EXPECT_LE(testing::MaxDifference(testing::RgbOf(image), testing::ImageMagickRgb(tga)),
                  c.Tolerance);
    }
}

TEST(TgaWriterTest, WritesColourMappedAndTrueColourFiles)
{
    std::mt19937 random(11);
    TPixelGraphic rgb;
    rgb.SetSize(5, 3, bc24Bit);
    for (std::size_t i = 0; i < rgb.ImageSize(); ++i)
        rgb.PixelData()[i] = static_cast<std::uint8_t>(random());
    TPGMemoryStream stream;
    rgb.SaveToStreamAs(stream, "tga");
    const std::string file = testing::Bytes(stream.Data());
    ASSERT_EQ(file.size(), 18u + 5 * 3 * 3);
    EXPECT_EQ(file.substr(0, 18), MakeTga(Layout(2, 5, 3)));
    // The bottom row comes first, blue, green, red.
    EXPECT_EQ(file.substr(18, 15), std::string(reinterpret_cast<const char*>(rgb.ScanLine(2)), 15));

    TPixelGraphic palette;
    palette.SetSize(4, 2, bc8Bit);
    palette.SetPaletteCount(3);
    palette.SetPaletteEntry(0, RGB(1, 2, 3));
    palette.SetPaletteEntry(1, RGB(200, 100, 50));
    palette.SetPaletteEntry(2, RGB(9, 9, 250));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            palette.SetPixel(x, y, (x + y) % 3);
    TPGMemoryStream mapped;
    palette.SaveToStreamAs(mapped, "tga");
    const std::string bytes = testing::Bytes(mapped.Data());
    TTgaLayout header = Layout(1, 4, 2, 8);
    header.MapType = 1;
    header.MapLength = 3;
    header.EntrySize = 24;
    EXPECT_EQ(bytes.substr(0, 18), MakeTga(header));
    EXPECT_EQ(bytes.substr(18, 9), std::string("\x03\x02\x01\x32\x64\xc8\xfa\x09\x09", 9));
    EXPECT_EQ(bytes.size(), 18u + 9 + 8);

    // Both read back exactly, here and in ImageMagick.
    TTempDir dir;
    for (TPixelGraphic* original : {&rgb, &palette}) {
        const std::string path = dir / "written.tga";
        original->SaveToFile(path);
        TPixelGraphic loaded;
        loaded.LoadFromFile(path);
        EXPECT_EQ(loaded.BitCount(), original->BitCount());
        EXPECT_EQ(testing::MaxDifference(testing::RgbOf(loaded), testing::RgbOf(*original)), 0);
        EXPECT_EQ(testing::MaxDifference(testing::RgbOf(*original), testing::ImageMagickRgb(path)),
                  0);
    }
}

TEST(TgaWriterTest, OtherResolutionsAreConvertedToAColourMapFirst)
{
    // 256 greys are not stored as such: a copy gets an optimised palette (5 -> 6).
    TPixelGraphic gray;
    gray.SetSize(16, 16, bc8Bit);
    gray.SetPaletteIdent(pGray256);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            gray.SetPixel(x, y, static_cast<std::uint32_t>(y * 16 + x));
    gray.SaveColorResWarningAction = pgwaRaise;
    TPGMemoryStream refused;
    EXPECT_THROW(gray.SaveToStreamAs(refused, "tga"), EPGCannotWriteColorRes);
    gray.SaveColorResWarningAction = pgwaIgnore;
    TPGMemoryStream stream;
    gray.SaveToStreamAs(stream, "tga");
    EXPECT_EQ(gray.PaletteIdent(), pGray256);
    stream.Seek(0);
    TPixelGraphic loaded;
    loaded.LoadFromStreamAs(stream, "tga");
    EXPECT_EQ(loaded.BitCount(), bc8Bit);
    EXPECT_LE(loaded.PaletteCount(), 252);
    EXPECT_NE(loaded.PaletteIdent(), pGray256);

    // A 1-bit image written directly has its indices spread to bytes.
    TPixelGraphic bits;
    bits.SetSize(9, 2, bc1Bit);
    bits.SetPaletteIdent(pBlackWhite);
    bits.SetPixel(8, 0, 1);
    bits.SetPixel(0, 1, 1);
    TPGMemoryStream direct;
    TTGAFileFormatWriter().Write(direct, bits);
    direct.Seek(0);
    loaded.LoadFromStreamAs(direct, "tga");
    EXPECT_EQ(testing::MaxDifference(testing::RgbOf(loaded), testing::RgbOf(bits)), 0);

    // Sizes beyond the header's 16 bits are refused rather than cut.
    TPixelGraphic wide;
    wide.SetSize(70000, 1, bc24Bit);
    TPGMemoryStream unused;
    EXPECT_THROW(TTGAFileFormatWriter().Write(unused, wide), EPGTGAFileFormatReader);
}

TEST(TgaInfoTest, DescribesTheImageType)
{
    const auto info = [](const TTgaLayout& layout, int index = 0) {
        const std::string file = MakeTga(layout);
        TPGBufferStream stream(file.data(), file.size());
        TPGImageInfo result;
        TTGAFileFormatReader().GetInfo(stream, index, result);
        return result;
    };
    struct TCase {
        int Type;
        const char* Subformat;
        const char* Remark;
    };
    for (const TCase c :
         {TCase{1, "Uncompressed", "Color-mapped"}, TCase{2, "Uncompressed", "True-color"},
          TCase{3, "Uncompressed", "\"Black-and-white\""},
          TCase{9, "Run-length encoded", "Color-mapped"},
          TCase{10, "Run-length encoded", "True-color"},
          TCase{11, "Run-length encoded", "\"Black-and-white\""}}) {
        const TPGImageInfo i = info(Layout(c.Type, 320, 200));
        EXPECT_EQ(i.Subformat, c.Subformat);
        EXPECT_EQ(i.Remark, c.Remark);
        EXPECT_EQ(i.Width, 320);
        EXPECT_EQ(i.Height, 200);
        EXPECT_EQ(i.ImageCount, 1);
    }
    for (const auto& [depth, colors] : std::vector<std::pair<int, const char*>>{
             {8, "256"}, {16, "65536"}, {24, "16.7M"}, {32, "16.7M ?"}}) {
        const TPGImageInfo i = info(Layout(2, 1, 1, depth));
        EXPECT_EQ(i.BitsPerPixel, depth);
        EXPECT_EQ(i.Colors, colors);
    }
    for (const int type : {0, 4, 32}) {
        try {
            info(Layout(type));
            ADD_FAILURE() << "type " << type << " was accepted";
        } catch (const EPGTGAFileFormatReader& e) {
            EXPECT_STREQ(e.what(), "TGA: Invalid value for ImageType");
        }
    }
    try {
        info(Layout(2), 1);
        ADD_FAILURE() << "index 1 was accepted";
    } catch (const EPGTGAFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "TGA: Invalid value for Index");
    }
    const std::string file = MakeTga(Layout(2)) + "abc";
    TPGBufferStream stream(file.data(), file.size());
    TPixelGraphic image;
    try {
        TTGAFileFormatReader().Read(stream, image, 1);
        ADD_FAILURE() << "read image 1";
    } catch (const EPGTGAFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "TGA: Index invalid");
    }
}

} // namespace
} // namespace scenaria
