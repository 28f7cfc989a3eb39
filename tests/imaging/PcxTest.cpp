#include "FormatOracles.h"

#include "imaging/FileFormats.h"
#include "imaging/Messages.h"
#include "imaging/Stream.h"
#include "imaging/formats/Pcx.h"

#include <gtest/gtest.h>

namespace scenaria {
namespace {

using testing::DataFile;
using testing::LoadAs;
using testing::LoadError;
using testing::Put16;
using testing::ReadFile;
using testing::TTempDir;

// A Paintbrush file put together field by field; Data holds the encoded scanlines.
struct TPcxLayout {
    int Version = 5;
    int Bits = 8;
    int Planes = 1;
    int Width = 1;
    int Height = 1;
    int BytesPerLine = 2;
    int PaletteInfo = 1;
    int Reserved = 0;
    std::string HeaderPalette; // up to 48 bytes
    std::string Data;
    std::string Tail; // after the data, e.g. the end palette
};

std::string MakePcx(const TPcxLayout& s)
{
    std::string file(128, '\0');
    file[0] = 10;
    file[1] = static_cast<char>(s.Version);
    file[2] = 1;
    file[3] = static_cast<char>(s.Bits);
    std::string field;
    Put16(field, 3); // Xmin, Ymin: only the differences count
    Put16(field, 7);
    Put16(field, static_cast<unsigned>(3 + s.Width - 1));
    Put16(field, static_cast<unsigned>(7 + s.Height - 1));
    file.replace(4, 8, field);
    file.replace(16, s.HeaderPalette.size(), s.HeaderPalette);
    file[64] = static_cast<char>(s.Reserved);
    file[65] = static_cast<char>(s.Planes);
    field.clear();
    Put16(field, static_cast<unsigned>(s.BytesPerLine));
    Put16(field, static_cast<unsigned>(s.PaletteInfo));
    file.replace(66, 4, field);
    return file + s.Data + s.Tail;
}

// Scanline bytes as the format stores them: literals, and one-byte runs for the values that a
// literal cannot carry.
std::string Encode(const std::string& raw)
{
    std::string out;
    for (const char c : raw) {
        if (static_cast<std::uint8_t>(c) >= 0xC0)
            out += '\xC1';
        out += c;
    }
    return out;
}

// The 256-colour end palette: the marker and entry i = (i, 255 - i, 7).
std::string EndPalette(char marker = 12)
{
    std::string p(1, marker);
    for (int i = 0; i < 256; ++i)
        p += {static_cast<char>(i), static_cast<char>(255 - i), 7};
    return p;
}

TEST(PcxReaderTest, ReadsTheFourLayouts)
{
    TPixelGraphic image;

    // 1 bit: the header palette is not used, and stored bits beyond the width are dropped.
    TPcxLayout one;
    one.Bits = 1;
    one.Width = 10;
    one.Height = 2;
    one.HeaderPalette = std::string("\xff\x00\x00\x00\xff\x00", 6);
    one.Data = Encode(std::string("\xb2\xff\x01\x3f", 4));
    LoadAs(image, MakePcx(one), "");
    ASSERT_EQ(image.BitCount(), bc1Bit);
    EXPECT_EQ(image.PaletteIdent(), pBlackWhite);
    const int top[10] = {1, 0, 1, 1, 0, 0, 1, 0, 1, 1};
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(image.GetPixel(x, 0), static_cast<std::uint32_t>(top[x])) << x;
    EXPECT_EQ(image.ScanLine(0)[1], 0xC0);
    EXPECT_EQ(image.GetPixel(7, 1), 1u);
    EXPECT_EQ(image.GetPixel(8, 1), 0u);

    // 4 bits in four planes, each pixel one bit of each plane; version 5 takes the header
    // palette.
    TPcxLayout four;
    four.Bits = 1;
    four.Planes = 4;
    four.Width = 3;
    std::string palette;
    for (int i = 0; i < 16; ++i)
        palette +=
            {static_cast<char>(i * 16), static_cast<char>(255 - i * 16), static_cast<char>(i)};
    four.HeaderPalette = palette;
    // Planes 0..3: 101, 011, 000, 100 -> pixels 1+8, 2, 1+2.
    four.Data = Encode(std::string("\xa0\x00\x60\x00\x00\x00\x80\x00", 8));
    LoadAs(image, MakePcx(four), "");
    ASSERT_EQ(image.BitCount(), bc4Bit);
    EXPECT_EQ(image.GetPixel(0, 0), 9u);
    EXPECT_EQ(image.GetPixel(1, 0), 2u);
    EXPECT_EQ(image.GetPixel(2, 0), 3u);
    EXPECT_EQ(image.GetPixelColor(0, 0), RGB(144, 111, 9));

    // 8 bits with the palette at the end of the file.
    TPcxLayout eight;
    eight.Width = 3;
    eight.Height = 2;
    eight.BytesPerLine = 4;
    eight.Data = Encode(std::string("\x00\xc8\x05\x00\x10\x11\x12\x00", 8));
    eight.Tail = EndPalette();
    LoadAs(image, MakePcx(eight), "");
    ASSERT_EQ(image.BitCount(), bc8Bit);
    EXPECT_EQ(image.PaletteCount(), 256);
    EXPECT_EQ(image.GetPixel(1, 0), 0xC8u);
    EXPECT_EQ(image.GetPixel(2, 1), 0x12u);
    EXPECT_EQ(image.GetPixelColor(1, 0), RGB(0xC8, 255 - 0xC8, 7));

    // 24 bits as a red, a green and a blue plane.
    TPcxLayout rgb;
    rgb.Planes = 3;
    rgb.Width = 2;
    rgb.Data = Encode(std::string("\x10\x20\x30\x40\xff\x01", 6));
    LoadAs(image, MakePcx(rgb), "");
    ASSERT_EQ(image.BitCount(), bc24Bit);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(0x10, 0x30, 0xFF));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(0x20, 0x40, 0x01));
}

TEST(PcxReaderTest, VersionThreeFourBitFilesShowTheSystemColours)
{
    TPcxLayout layout;
    layout.Bits = 1;
    layout.Planes = 4;
    layout.Width = 1;
    layout.HeaderPalette = std::string(48, '\x05');
    layout.Data = Encode(std::string("\x80\x00\x00\x00\x00\x00\x80\x00", 8)); // pixel 9
    TPixelGraphic image;
    layout.Version = 3;
    LoadAs(image, MakePcx(layout), "");
    EXPECT_EQ(image.PaletteIdent(), pSys16);
    EXPECT_EQ(image.GetPixelColor(0, 0), RGB(255, 0, 0));
    layout.Version = 5;
    LoadAs(image, MakePcx(layout), "");
    EXPECT_EQ(image.PaletteIdent(), pUnknown);
    EXPECT_EQ(image.GetPixelColor(0, 0), RGB(5, 5, 5));
}

TEST(PcxReaderTest, UnknownLayoutsAndHeadersAreRejected)
{
    const std::string unknown = "PCX: Unknown subformat";
    TPcxLayout layout;
    layout.Planes = 3;
    layout.Data = Encode(std::string(6, '\x01'));
    ASSERT_EQ(LoadError(MakePcx(layout), ""), "(loaded)");
    for (const int info : {0, 2, 3}) {
        TPcxLayout grey = layout;
        grey.PaletteInfo = info;
        EXPECT_EQ(LoadError(MakePcx(grey), ""), unknown) << "palette information " << info;
    }
    TPcxLayout reserved = layout;
    reserved.Reserved = 1;
    EXPECT_EQ(LoadError(MakePcx(reserved), ""), unknown);
    for (const auto& [bits, planes] : std::vector<std::pair<int, int>>{
             {1, 2}, {1, 3}, {2, 1}, {4, 1}, {8, 2}, {8, 4}, {24, 1}}) {
        TPcxLayout odd = layout;
        odd.Bits = bits;
        odd.Planes = planes;
        EXPECT_EQ(LoadError(MakePcx(odd), ""), unknown) << bits << " bits, " << planes;
    }

    // 8 bits: the end palette must start with its marker 12, 769 bytes from the end.
    TPcxLayout eight;
    eight.Data = Encode("\x01\x02");
    eight.Tail = EndPalette();
    ASSERT_EQ(LoadError(MakePcx(eight), ""), "(loaded)");
    eight.Tail = EndPalette(11);
    EXPECT_EQ(LoadError(MakePcx(eight), ""), unknown);
    eight.Tail.clear(); // shorter than a palette
    EXPECT_EQ(LoadError(MakePcx(eight), ""), unknown);

    // Scanlines too short for the width leave pixels no stored byte describes.
    TPcxLayout narrow;
    narrow.Width = 10;
    narrow.BytesPerLine = 9;
    narrow.Data = Encode(std::string(9, '\x01'));
    narrow.Tail = EndPalette();
    EXPECT_EQ(LoadError(MakePcx(narrow), ""), unknown);
    narrow.BytesPerLine = 10;
    narrow.Data = Encode(std::string(10, '\x01'));
    EXPECT_EQ(LoadError(MakePcx(narrow), ""), "(loaded)");
    TPcxLayout narrowBits;
    narrowBits.Bits = 1;
    narrowBits.Width = 17;
    narrowBits.BytesPerLine = 2;
    narrowBits.Data = Encode(std::string(2, '\x01'));
    EXPECT_EQ(LoadError(MakePcx(narrowBits), ""), unknown);

    // The third-party reproducer of a decoder crash is one of these headers.
    EXPECT_EQ(LoadError(ReadFile(DataFile("pillow-subset/ossfuzz-4836216264589312.pcx")), ""),
              unknown);
}

TEST(PcxReaderTest, RunsStopAtTheEndOfTheirScanline)
{
    TPcxLayout layout;
    layout.Width = 4;
    layout.Height = 2;
    layout.BytesPerLine = 4;
    // A run of six 5s fills the first scanline and loses two; an empty run adds nothing; the
    // second scanline starts with the next stored byte.
    layout.Data = std::string("\xc6\x05\xc0\x09\x01\x02\x03\x04", 8);
    layout.Tail = EndPalette();
    TPixelGraphic image;
    LoadAs(image, MakePcx(layout), "");
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(image.GetPixel(x, 0), 5u);
        EXPECT_EQ(image.GetPixel(x, 1), static_cast<std::uint32_t>(x + 1));
    }
}

TEST(PcxReaderTest, DataEndingEarlyFailsAfterTheRowsBefore)
{
    TPcxLayout layout;
    layout.Planes = 3;
    layout.Width = 4;
    layout.Height = 3;
    layout.BytesPerLine = 4;
    const std::string rows = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c";
    layout.Data = rows + rows + rows.substr(0, 5);
    TPixelGraphic image;
    try {
        LoadAs(image, MakePcx(layout), "");
        ADD_FAILURE() << "loaded";
    } catch (const EPGPCXFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "PCX: Unexpected end of file");
    }
    ASSERT_EQ(image.Width(), 4);
    ASSERT_EQ(image.Height(), 3);
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(image.GetPixel(3, y), RGB(4, 8, 12)) << y;
    EXPECT_EQ(image.GetPixel(0, 2), RGB(0, 0, 0));

    // A run whose value is missing is a file that ended too.
    layout.Height = 1;
    layout.Data = rows.substr(0, 11) + "\xc1";
    EXPECT_EQ(LoadError(MakePcx(layout), ""), "PCX: Unexpected end of file");
    // So is a header cut short.
    EXPECT_EQ(LoadError(MakePcx(layout).substr(0, 100), ""), "PCX: Unexpected end of file");

    // A size that even runs of 63 could not fill from the bytes there fails before anything
    // is allocated for it.
    TPcxLayout huge;
    huge.Bits = 1;
    huge.Width = 8000;
    huge.Height = 8000;
    huge.BytesPerLine = 1000;
    huge.Data = std::string(200, '\xff');
    int started = 0;
    image.OnProgressStart = [&](TPixelGraphic&) { ++started; };
    try {
        LoadAs(image, MakePcx(huge), "");
        ADD_FAILURE() << "loaded";
    } catch (const EPGPCXFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "PCX: Unexpected end of file");
    }
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(started, 0);
}

TEST(PcxReaderTest, ProgressBracketsTheRowsAndMayStopThem)
{
    TPcxLayout layout;
    layout.Planes = 3;
    layout.Width = 2;
    layout.Height = 3;
    layout.Data = Encode(std::string(18, '\x21'));
    TPixelGraphic image;
    std::vector<int> steps;
    int started = 0, ended = 0;
    image.OnProgressStart = [&](TPixelGraphic&) { ++started; };
    image.OnProgressEnd = [&](TPixelGraphic&) { ++ended; };
    image.OnProgress = [&](TPixelGraphic&, int step, int max, bool& abort) {
        steps.push_back(step);
        EXPECT_EQ(max, 3);
        abort = step == 1;
    };
    LoadAs(image, MakePcx(layout), "");
    EXPECT_EQ(steps, (std::vector<int>{0, 1}));
    EXPECT_EQ(image.GetPixel(0, 1), RGB(0x21, 0x21, 0x21));
    EXPECT_EQ(image.GetPixel(0, 2), RGB(0, 0, 0));
    EXPECT_EQ(started, 1);
    EXPECT_EQ(ended, 1);

    layout.Data.resize(10);
    EXPECT_THROW(LoadAs(image, MakePcx(layout), ""), EPGPCXFileFormatReader);
    EXPECT_EQ(ended, 2);
}

TEST(PcxReaderTest, OnlyTheFirstImageExists)
{
    TPcxLayout layout;
    layout.Planes = 3;
    layout.Data = Encode("\x01\x02\x03");
    const std::string file = MakePcx(layout);
    TPGBufferStream stream(file.data(), file.size());
    TPixelGraphic image;
    try {
        TPCXFileFormatReader().Read(stream, image, 1);
        ADD_FAILURE() << "read image 1";
    } catch (const EPGPCXFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "PCX: Index invalid");
    }
}

TEST(PcxInfoTest, DescribesVersionsAndDepthsFromTheHeader)
{
    const auto info = [](const TPcxLayout& layout, int index = 0) {
        const std::string file = MakePcx(layout);
        TPGBufferStream stream(file.data(), file.size());
        TPGImageInfo result;
        TPCXFileFormatReader().GetInfo(stream, index, result);
        return result;
    };
    TPcxLayout layout;
    layout.Width = 640;
    layout.Height = 480;
    const std::pair<int, const char*> versions[] = {{0, "Version 2.5 (0)"},
                                                    {2, "Version 2.8 (2) with Palette"},
                                                    {3, "Version 2.8 (3) without Palette"},
                                                    {5, "Version 3.0 (5)"},
                                                    {4, ""}};
    for (const auto& [version, text] : versions) {
        layout.Version = version;
        EXPECT_EQ(info(layout).Subformat, text);
    }
    TPGImageInfo i = info(layout);
    EXPECT_EQ(i.Width, 640);
    EXPECT_EQ(i.Height, 480);
    EXPECT_EQ(i.BitsPerPixel, 8);
    EXPECT_EQ(i.Colors, "256");
    EXPECT_EQ(i.ImageCount, 1);
    layout.Planes = 3;
    EXPECT_EQ(info(layout).Colors, "16.7M");
    layout.Bits = 1;
    layout.Planes = 4;
    EXPECT_EQ(info(layout).Colors, "16");
    EXPECT_EQ(info(layout).BitsPerPixel, 4);
    layout.Planes = 1;
    EXPECT_EQ(info(layout).Colors, "2");

    layout.PaletteInfo = 2;
    EXPECT_THROW(info(layout), EPGPCXFileFormatReader);
    layout.PaletteInfo = 1;
    try {
        info(layout, 1);
        ADD_FAILURE() << "index 1 was accepted";
    } catch (const EPGPCXFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "PCX: Invalid value for Index");
    }
}

TEST(PcxReaderTest, ATargaFileWhoseFirstByteIsTenIsTakenForPcx)
{
    // An uncompressed 2 x 1 Targa whose identification field is 10 bytes long.
    std::string tga(18, '\0');
    tga[0] = 10;
    tga[2] = 2;
    tga[12] = 2;
    tga[14] = 1;
    tga[16] = 24;
    tga += std::string(10, 'i') + std::string(6, '\x40');
    TTempDir dir;
    const std::string file = dir.Write("picture.tga", tga);
    TPGFileStream stream(file, TPGFileStream::fmOpenRead);
    const TFileFormatReader* reader = FileFormats().FindReader(stream, "tga");
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->Extension(), "pcx");
    TPixelGraphic image;
    try {
        image.LoadFromFile(file);
        ADD_FAILURE() << "loaded";
    } catch (const EPGPCXFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "PCX: Unexpected end of file");
    }
}

// The header fields that tell a file's layout.
std::pair<int, int> BitsAndPlanes(const std::string& file)
{
    return {static_cast<std::uint8_t>(file.at(3)), static_cast<std::uint8_t>(file.at(65))};
}

TEST(PcxOracleTest, ImageMagickFilesDecodeLikeImageMagick)
{
    TTempDir dir;
    // An odd width gives scanlines of odd length, which ImageMagick writes as they are.
    const std::string source = dir.Write("source.ppm", testing::TestPatternPpm(37, 11));
    struct TCase {
        const char* Options;
        std::pair<int, int> Layout;
    };
    for (const TCase& c :
         {TCase{"-type TrueColor", {8, 3}}, TCase{"-colors 100 -type Palette", {8, 1}},
          TCase{"+dither -remap pattern:gray50", {1, 1}}}) {
        SCOPED_TRACE(c.Options);
        const std::string pcx = dir / "written.pcx";
        testing::Shell("convert-im6.q16 '" + source + "' " + c.Options + " '" + pcx + "'");
        ASSERT_EQ(BitsAndPlanes(ReadFile(pcx)), c.Layout);
        TPixelGraphic image;
        image.LoadFromFile(pcx);
        if (c.Layout.first == 1) {
            // ImageMagick stores black as 1 in monochrome files and reads them back the same
            // way; netpbm, Pillow and this reader take 0 for black, so its 1-bit files come
            // out inverted everywhere but in ImageMagick. netpbm is the judge here.
            EXPECT_EQ(
                testing::MaxDifference(testing::RgbOf(image), testing::NetpbmRgb("pcxtoppm", pcx)),
                0);
            const testing::TRgbPicture magick = testing::ImageMagickRgb(pcx);
            const testing::TRgbPicture ours = testing::RgbOf(image);
            ASSERT_EQ(magick.Pixels.size(), ours.Pixels.size());
            for (std::size_t i = 0; i < ours.Pixels.size(); ++i)
                ASSERT_EQ(ours.Pixels[i], 255 - magick.Pixels[i]) << i;
            continue;
        }
        EXPECT_EQ(testing::MaxDifference(testing::RgbOf(image), testing::ImageMagickRgb(pcx)), 0);
    }
}

TEST(PcxOracleTest, PlanarAndThirdPartyFilesDecodeLikeNetpbm)
{
    TTempDir dir;
    const std::string source = dir.Write("source.ppm", testing::TestPatternPpm(29, 9));
    const std::string planar = dir / "planar.pcx";
    const std::string bits = dir / "bits.pcx";
    testing::Shell("pnmquant 16 '" + source + "' | ppmtopcx -planes 4 > '" + planar + "'");
    testing::Shell("ppmtopgm '" + source + "' | pgmtopbm | ppmtopcx > '" + bits + "'");
    ASSERT_EQ(BitsAndPlanes(ReadFile(planar)), std::make_pair(1, 4));
    ASSERT_EQ(BitsAndPlanes(ReadFile(bits)), std::make_pair(1, 1));
    for (const std::string& file : {planar, bits, DataFile("pillow-subset/odd_stride.pcx"),
                                    DataFile("pillow-subset/p_4_planes.pcx")}) {
        SCOPED_TRACE(file);
        TPixelGraphic image;
        image.LoadFromFile(file);
        EXPECT_EQ(
            testing::MaxDifference(testing::RgbOf(image), testing::NetpbmRgb("pcxtoppm", file)), 0);
    }
}

} // namespace
} // namespace scenaria
