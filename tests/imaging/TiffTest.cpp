#include "FormatTestSupport.h"
#include "ReaderTestSupport.h"

#include "imaging/FileFormats.h"
#include "imaging/Messages.h"
#include "imaging/Stream.h"
#include "imaging/formats/Tiff.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace scenaria {
namespace {

using testing::DataFile;
using testing::LoadBytes;
using testing::LoadError;
using testing::ReadFile;
using testing::Saved;
using testing::TQuestion;
using testing::TSettingScope;
using testing::TTempDir;

// ---- Hand-made TIFF files ------------------------------------------------------------------

enum : std::uint16_t { tByte = 1, tAscii = 2, tShort = 3, tLong = 4, tRational = 5 };

struct TEntry {
    std::uint16_t Tag;
    std::uint16_t Type;
    std::vector<std::uint32_t> Values; // RATIONAL: numerator, denominator pairs
};

class TByteWriter {
public:
    explicit TByteWriter(bool motorola) : motorola_(motorola) {}
    void Put16(std::string& s, std::uint32_t v) const
    {
        if (motorola_)
            testing::PutBE16(s, v);
        else
            testing::Put16(s, v);
    }
    void Put32(std::string& s, std::uint32_t v) const
    {
        if (motorola_)
            testing::PutBE32(s, v);
        else
            testing::Put32(s, v);
    }

private:
    bool motorola_;
};

// The pixel data starts at offset 8, right after the header; the directory follows it.
constexpr std::uint32_t DataAt = 8;

std::string MakeTiff(const std::vector<TEntry>& entries, const std::string& data,
                     bool motorola = false)
{
    const TByteWriter w(motorola);
    std::string file = motorola ? std::string("MM\0*", 4) : std::string("II*\0", 4);
    std::string body = data;
    if (body.size() % 2)
        body += '\0';
    const std::uint32_t directory = DataAt + static_cast<std::uint32_t>(body.size());
    w.Put32(file, directory);
    file += body;
    std::string table, extra;
    const std::uint32_t extraAt =
        directory + 2 + 12 * static_cast<std::uint32_t>(entries.size()) + 4;
    w.Put16(table, static_cast<std::uint32_t>(entries.size()));
    for (const TEntry& e : entries) {
        std::string values;
        for (const std::uint32_t v : e.Values) {
            if (e.Type == tByte || e.Type == tAscii)
                values += static_cast<char>(v);
            else if (e.Type == tShort)
                w.Put16(values, v);
            else
                w.Put32(values, v);
        }
        const std::uint32_t count = e.Type == tRational
                                        ? static_cast<std::uint32_t>(e.Values.size() / 2)
                                        : static_cast<std::uint32_t>(e.Values.size());
        w.Put16(table, e.Tag);
        w.Put16(table, e.Type);
        w.Put32(table, count);
        if (values.size() <= 4) {
            table += values + std::string(4 - values.size(), '\0');
        } else {
            w.Put32(table, extraAt + static_cast<std::uint32_t>(extra.size()));
            extra += values;
            if (extra.size() % 2)
                extra += '\0';
        }
    }
    w.Put32(table, 0);
    return file + table + extra;
}

// One image of one strip at DataAt.
std::vector<TEntry> Entries(std::uint32_t width, std::uint32_t height, std::uint32_t bits,
                            std::uint32_t photometric, std::uint32_t compression = 1)
{
    return {{256, tLong, {width}},        {257, tLong, {height}},       {258, tShort, {bits}},
            {259, tShort, {compression}}, {262, tShort, {photometric}}, {273, tLong, {DataAt}},
            {277, tShort, {1}},           {278, tLong, {height}}};
}

std::vector<TEntry> With(std::vector<TEntry> entries, const TEntry& entry)
{
    entries.push_back(entry);
    return entries;
}

std::vector<TEntry> Without(std::vector<TEntry> entries, std::uint16_t tag)
{
    std::erase_if(entries, [tag](const TEntry& e) { return e.Tag == tag; });
    return entries;
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (const int v : values)
        s += static_cast<char>(v);
    return s;
}

std::string ReaderError(const std::string& file, int index = 0)
{
    TPixelGraphic image;
    TPGBufferStream stream(file.data(), file.size());
    try {
        TTIFFileFormatReader().Read(stream, image, index);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(loaded)";
}

// ---- Reading the files the writer makes ----------------------------------------------------

struct TParsed {
    bool Motorola = false;
    std::uint32_t Directory = 0;
    std::vector<std::uint16_t> Tags;
    std::map<std::uint16_t, std::pair<std::uint16_t, std::vector<std::uint32_t>>> Fields;
    std::uint32_t Next = 0;
};

TParsed Parse(const std::string& f, std::uint32_t directory = 0)
{
    TParsed p;
    p.Motorola = f[0] == 'M';
    const auto u8 = [&f](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(f.at(at)));
    };
    const auto g16 = [&](std::size_t at) {
        return p.Motorola ? u8(at) << 8 | u8(at + 1) : u8(at) | u8(at + 1) << 8;
    };
    const auto g32 = [&](std::size_t at) {
        return p.Motorola ? g16(at) << 16 | g16(at + 2) : g16(at) | g16(at + 2) << 16;
    };
    p.Directory = directory ? directory : g32(4);
    const std::uint32_t n = g16(p.Directory);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::size_t e = p.Directory + 2 + 12 * i;
        const std::uint16_t tag = static_cast<std::uint16_t>(g16(e));
        const std::uint16_t type = static_cast<std::uint16_t>(g16(e + 2));
        const std::uint32_t count = g32(e + 4);
        const std::size_t size = type == tShort ? 2 : type == tRational ? 8 : type == tByte ? 1 : 4;
        const std::size_t at = count * size <= 4 ? e + 8 : g32(e + 8);
        std::vector<std::uint32_t> values;
        for (std::uint32_t k = 0; k < count; ++k) {
            if (type == tShort)
                values.push_back(g16(at + 2 * k));
            else if (type == tRational) {
                values.push_back(g32(at + 8 * k));
                values.push_back(g32(at + 8 * k + 4));
            } else
                values.push_back(g32(at + 4 * k));
        }
        p.Tags.push_back(tag);
        p.Fields[tag] = {type, values};
    }
    p.Next = g32(p.Directory + 2 + 12 * n);
    return p;
}

// ---- Independent decoders ------------------------------------------------------------------

// Pillow's decodes (through libtiff for compressed files) as RGB, of many files in one run.
// The samples of RGB with an extra sample are taken as stored, and CMYK by the reader's rule
// (red = 255 - C - K, at least 0), where Pillow would un-premultiply the one and multiply the
// other.
std::vector<testing::TRgbPicture> DecodeWithPillow(const std::vector<std::string>& files,
                                                   int frame = 0)
{
    static const char* Script = R"(
import sys
from PIL import Image
frame = int(sys.argv[1])
for name in sys.argv[2:]:
    im = Image.open(name)
    im.seek(frame)
    if im.mode == 'CMYK':
        raw = im.tobytes()
        rgb = bytearray()
        for i in range(0, len(raw), 4):
            c, m, y, k = raw[i:i + 4]
            rgb += bytes((max(0, 255 - c - k), max(0, 255 - m - k), max(0, 255 - y - k)))
        im = Image.frombytes('RGB', im.size, bytes(rgb))
    elif im.mode in ('RGBA', 'RGBa', 'RGBX'):
        # Associated alpha is un-premultiplied by Pillow's unpacker; ask for the samples.
        im.tile = [(d, b, o, ('RGBA',) + a[1:]) if a[0] == 'RGBa' else (d, b, o, a)
                   for d, b, o, a in im.tile]
        im = Image.frombytes('RGBA', im.size, im.tobytes()).convert('RGB')
    else:
        im = im.convert('RGB')
    im.save(name + '.pillow.ppm')
)";
    std::vector<std::string> argv{"/usr/bin/python3", "-c", Script, std::to_string(frame)};
    argv.insert(argv.end(), files.begin(), files.end());
    testing::ToolOutput(argv);
    std::vector<testing::TRgbPicture> pictures;
    for (const std::string& file : files) {
        const std::string ppm = ReadFile(file + ".pillow.ppm");
        pictures.push_back(ppm.empty() ? testing::TRgbPicture{} : testing::ParsePnm(ppm));
        std::filesystem::remove(file + ".pillow.ppm");
    }
    return pictures;
}

testing::TRgbPicture DecodeWithPillow(const std::string& file, int frame = 0)
{
    TTempDir dir;
    const std::string copy = dir / "copy.tif";
    std::filesystem::copy_file(file, copy);
    return DecodeWithPillow(std::vector<std::string>{copy}, frame).at(0);
}

testing::TRgbPicture LoadRgb(const std::string& file, int index = 0)
{
    TPixelGraphic image;
    image.ReadWarningAction = pgwaRaise;
    image.LoadFromFile(file, index);
    return testing::RgbOf(image);
}

// A picture with smooth areas, edges and noise, for the tools to convert.
std::string SourcePicture(const TTempDir& dir, int width, int height)
{
    std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    std::mt19937 random(5);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool noisy = x > width / 2 && y > height / 2;
            ppm += static_cast<char>(noisy ? random() : x * 255 / width);
            ppm += static_cast<char>(noisy ? random() : y * 255 / height);
            ppm += static_cast<char>(x < 10 ? 200 : (x + y) % 256);
        }
    return dir.Write("source.ppm", ppm);
}

// ---- Reading -------------------------------------------------------------------------------

TEST(TiffReaderTest, FilesOfIndependentWritersMatchPillow)
{
    // Pillow reads copies: it leaves its decodes beside them.
    TTempDir dir;
    std::vector<std::string> copies;
    std::vector<testing::TRgbPicture> loaded;
    struct TCase {
        std::string File;
        TBitCount BitCount;
        TPaletteIdent Palette; // pNone: not checked
    };
    for (const TCase& c : std::vector<TCase>{
             {"generated/tiff-packbits-bilevel.tif", bc1Bit, pBlackWhite},
             {"generated/tiff-packbits-grey.tif", bc8Bit, pGray256},
             {"generated/tiff-packbits-palette.tif", bc8Bit, pNone},
             {"generated/tiff-cmyk-packbits-bigendian-7rows.tif", bc24Bit, pTrueColor},
             {"generated/tiff-rgba-packbits.tif", bc24Bit, pTrueColor},
             {"libtiff-images/minisblack-1c-8b.tiff", bc8Bit, pGray256},
             {"libtiff-images/miniswhite-1c-1b.tiff", bc1Bit, pBlackWhite},
             {"libtiff-images/palette-1c-1b.tiff", bc1Bit, pNone},
             {"libtiff-images/palette-1c-4b.tiff", bc4Bit, pNone},
             {"libtiff-images/palette-1c-8b.tiff", bc8Bit, pNone},
             {"libtiff-images/32bpp-None.tiff", bc24Bit, pTrueColor},
             {"pillow-subset/pil136.tiff", bc24Bit, pTrueColor}}) {
        SCOPED_TRACE(c.File);
        TPixelGraphic image;
        image.ReadWarningAction = pgwaRaise;
        ASSERT_NO_THROW(image.LoadFromFile(DataFile(c.File)));
        EXPECT_EQ(image.BitCount(), c.BitCount);
        if (c.Palette != pNone) {
            EXPECT_EQ(image.PaletteIdent(), c.Palette);
        }
        loaded.push_back(testing::RgbOf(image));
        const std::string copy = dir / std::to_string(copies.size()) + ".tif";
        std::filesystem::copy_file(DataFile(c.File), copy);
        copies.push_back(copy);
    }
    const auto expected = DecodeWithPillow(copies);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        ASSERT_GT(expected[i].Width, 0) << i;
        EXPECT_EQ(testing::MaxDifference(loaded[i], expected[i]), 0) << i;
    }
}

TEST(TiffReaderTest, FilesMadeByImageMagickTiffcpAndTiffcropMatchPillow)
{
    TTempDir dir;
    const std::string source = SourcePicture(dir, 97, 61);
    const std::string im = "convert-im6.q16";
    std::vector<std::vector<std::string>> commands = {
        {im, source, "-compress", "None", dir / "rgb.tif"},
        {im, source, "-compress", "RLE", dir / "rgb-packbits.tif"},
        {im, source, "-endian", "MSB", "-compress", "RLE", dir / "rgb-msb.tif"},
        {im, source, "-colorspace", "Gray", "-depth", "8", dir / "gray.tif"},
        {im, source, "-colors", "200", "-type", "Palette", dir / "palette.tif"},
        {im, source, "-colors", "12", "-type", "Palette", "-depth", "4", dir / "palette4.tif"},
        {im, source, "-colorspace", "Gray", "-colors", "16", "-depth", "4", dir / "gray4.tif"},
        {im, source, "-monochrome", "-depth", "1", "-compress", "RLE", dir / "bilevel.tif"},
        {im, source, "-colorspace", "CMYK", "-compress", "RLE", dir / "cmyk.tif"},
        {im, source, "-alpha", "set", dir / "rgba.tif"},
        {im, source, "-monochrome", "-depth", "1", "-define", "quantum:polarity=min-is-white",
         dir / "bilevel-white.tif"},
        {"tiffcp", "-c", "packbits", "-r", "7", "-B", dir / "rgb.tif", dir / "tiffcp-7rows.tif"},
        {"tiffcp", "-c", "none", "-r", "1", "-L", dir / "gray.tif", dir / "tiffcp-1row.tif"},
        {"tiffcp", "-c", "packbits", "-r", "5", dir / "palette4.tif", dir / "tiffcp-pal4.tif"},
        {"tiffcp", "-c", "packbits", "-r", "3", dir / "bilevel.tif", dir / "tiffcp-bilevel.tif"},
        {"tiffcrop", "-c", "packbits", dir / "cmyk.tif", dir / "tiffcrop-cmyk.tif"},
        {"tiffcrop", "-c", "none", dir / "rgb-msb.tif", dir / "tiffcrop-rgb.tif"},
    };
    std::vector<std::string> files;
    for (const auto& command : commands) {
        testing::ToolOutput(command);
        ASSERT_TRUE(std::filesystem::exists(command.back())) << command[0] << " made nothing";
        files.push_back(command.back());
    }
    const auto expected = DecodeWithPillow(files);
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i]);
        testing::TRgbPicture ours;
        ASSERT_NO_THROW(ours = LoadRgb(files[i]));
        EXPECT_EQ(ours.Width, 97);
        EXPECT_EQ(testing::MaxDifference(ours, expected[i]), 0);
    }
}

TEST(TiffReaderTest, CompressionsItCannotDecodeAreNamed)
{
    TTempDir dir;
    const std::string source = SourcePicture(dir, 16, 8);
    testing::ToolOutput({"convert-im6.q16", source, "-compress", "None", dir / "plain.tif"});
    testing::ToolOutput({"tiffcp", "-c", "lzw", dir / "plain.tif", dir / "lzw.tif"});
    testing::ToolOutput({"tiffcp", "-c", "jpeg:r", dir / "plain.tif", dir / "jpeg.tif"});
    testing::ToolOutput({"tiffcp", "-c", "zip", dir / "plain.tif", dir / "zip.tif"});
    const auto error = [](const std::string& file) {
        TPixelGraphic image;
        try {
            image.LoadFromFile(file);
        } catch (const EPGTIFFileFormatReader& e) {
            return std::string(e.what());
        }
        return std::string("(loaded)");
    };
    EXPECT_EQ(error(dir / "lzw.tif"), "TIFF: Unsupported compression LZW");
    EXPECT_EQ(error(dir / "jpeg.tif"), "TIFF: Unsupported compression 7");
    EXPECT_EQ(error(dir / "zip.tif"), "TIFF: Unsupported compression 8");
    EXPECT_EQ(error(DataFile("generated/tiff-g4.tif")),
              "TIFF: Unsupported compression Group 4 Fax");
    EXPECT_EQ(error(DataFile("libtiff-images/testfax3_bug_513.tiff")),
              "TIFF: Unsupported compression Group 3 Fax");
    EXPECT_EQ(error(DataFile("pillow-subset/compression.tif")),
              "TIFF: Unsupported compression CCITT 1D");
    EXPECT_EQ(ReaderError(MakeTiff(Entries(1, 1, 8, 1, 6), "x")),
              "TIFF: Unsupported compression JPEG");
}

TEST(TiffReaderTest, AOneStripFileWithAWrongStripCountDependsOnTheWarningAction)
{
    // Ten rows in one strip, though RowsPerStrip 3 asks for four strips.
    std::string rows;
    for (int y = 0; y < 10; ++y)
        rows += Bytes({y * 10, y * 10 + 1});
    auto entries = Without(Entries(2, 10, 8, 1), 278);
    entries.push_back({278, tShort, {3}});
    const std::string file = MakeTiff(entries, rows);

    std::vector<TQuestion> questions;
    TPGMessageAnswer answer = pgmaOK;
    const testing::THookScope hook([&](const std::string& caption, const std::string& text,
                                       TPGMessageButtons buttons, TPGMessageIcon icon) {
        questions.push_back({caption, text, buttons, icon});
        return answer;
    });
    const std::string message =
        "TIFF: NumStripOffsets<>(ImageLength+RowsPerStrip-1) div RowsPerStrip";
    EXPECT_EQ(LoadError(file, pgwaRaise), message);
    EXPECT_TRUE(questions.empty());

    TPixelGraphic image;
    image.ReadWarningAction = pgwaIgnore;
    LoadBytes(image, file);
    ASSERT_EQ(image.Height(), 10);
    EXPECT_EQ(image.GetPixel(1, 9), 91u);
    EXPECT_TRUE(questions.empty());

    EXPECT_EQ(LoadError(file, pgwaOKBox), message); // told, then refused
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].Caption, "TIFF-Warning");
    EXPECT_EQ(questions[0].Text, message);
    EXPECT_EQ(questions[0].Buttons, pgmbOK);
    EXPECT_EQ(questions[0].Icon, pgmiWarning);
    EXPECT_EQ(LoadError(file, pgwaOKCancelBox), "(loaded)");
    answer = pgmaCancel;
    EXPECT_EQ(LoadError(file, pgwaOKCancelBox), message);
    EXPECT_EQ(questions.back().Buttons, pgmbOKCancel);

    // With several strips the count must agree whatever the setting.
    entries = Without(entries, 273);
    entries.push_back({273, tLong, {DataAt, DataAt + 6}});
    EXPECT_EQ(LoadError(MakeTiff(entries, rows), pgwaIgnore), message);
}

TEST(TiffReaderTest, OnlyTheListedTagsHaveTheirTypesChecked)
{
    // A RATIONAL resolution and an ASCII name are not interpreted: the file loads.
    auto entries = Entries(2, 1, 8, 1);
    entries.push_back({282, tRational, {72, 1}});
    entries.push_back({269, tAscii, {'a', 'b', 'c', 'd', 'e', 'f', 0}});
    EXPECT_EQ(LoadError(MakeTiff(entries, Bytes({1, 2}))), "(loaded)");

    // In a listed tag it is refused, with the type's number.
    entries = Without(Entries(2, 1, 8, 1), 256);
    entries.push_back({256, tRational, {2, 1}});
    EXPECT_EQ(ReaderError(MakeTiff(entries, Bytes({1, 2}))), "TIFF: Unsupported field Type: 5");
    entries = Without(Entries(2, 1, 8, 1), 258);
    entries.push_back({258, 8, {8}}); // SSHORT
    EXPECT_EQ(ReaderError(MakeTiff(entries, Bytes({1, 2}))), "TIFF: Unsupported field Type: 8");

    // BYTE and SHORT serve as well as LONG; when a tag comes twice, the later entry counts.
    entries = Without(Without(Entries(2, 1, 8, 1), 256), 257);
    entries.push_back({256, tByte, {1}});
    entries.push_back({257, tShort, {1}});
    entries.push_back({256, tShort, {2}});
    TPixelGraphic image;
    LoadBytes(image, MakeTiff(entries, Bytes({1, 2})));
    EXPECT_EQ(image.Width(), 2);
    EXPECT_EQ(image.GetPixel(1, 0), 2u);
}

TEST(TiffReaderTest, WhiteIsZeroGrayLoadsInverted)
{
    TPixelGraphic image;
    LoadBytes(image, MakeTiff(Entries(3, 1, 8, 0), Bytes({0, 55, 255})));
    EXPECT_EQ(image.BitCount(), bc8Bit);
    EXPECT_EQ(image.PaletteIdent(), pGray256);
    EXPECT_EQ(image.GetPixel(0, 0), 255u);
    EXPECT_EQ(image.GetPixel(1, 0), 200u);
    EXPECT_EQ(image.GetPixel(2, 0), 0u);

    LoadBytes(image, MakeTiff(Entries(3, 1, 4, 0), Bytes({0x0F, 0x30})));
    EXPECT_EQ(image.PaletteIdent(), pGray16);
    EXPECT_EQ(image.GetPixel(0, 0), 15u);
    EXPECT_EQ(image.GetPixel(1, 0), 0u);
    EXPECT_EQ(image.GetPixel(2, 0), 12u);

    LoadBytes(image, MakeTiff(Entries(10, 1, 1, 0), Bytes({0xF0, 0x40})));
    EXPECT_EQ(image.PaletteIdent(), pBlackWhite);
    EXPECT_EQ(image.GetPixel(0, 0), 0u); // a set bit is black
    EXPECT_EQ(image.GetPixel(4, 0), 1u);
    EXPECT_EQ(image.GetPixel(9, 0), 0u);
}

TEST(TiffReaderTest, PalettesComeFromTheColorMap)
{
    // 4 bits: 16 entries expected; a map of 20 keeps the first 16 (and its green and blue
    // thirds are found by the map's own length).
    std::vector<std::uint32_t> map(60, 0);
    for (int i = 0; i < 20; ++i) {
        map[i] = static_cast<std::uint32_t>(i * 10) << 8;
        map[20 + i] = 0xFFFF;
        map[40 + i] = static_cast<std::uint32_t>(i) << 8 | 0xFF;
    }
    TPixelGraphic image;
    LoadBytes(image, MakeTiff(With(Entries(2, 1, 4, 3), {320, tShort, map}), Bytes({0x0F})));
    EXPECT_EQ(image.BitCount(), bc4Bit);
    ASSERT_EQ(image.PaletteCount(), 16);
    EXPECT_EQ(image.GetPixelColor(0, 0), RGB(0, 255, 0));
    EXPECT_EQ(image.GetPixelColor(1, 0), RGB(150, 255, 15));

    // A bilevel palette file shows its own two colours.
    LoadBytes(image,
              MakeTiff(With(Entries(2, 1, 1, 3), {320, tShort, {0xFFFF, 0, 0, 0, 0, 0xFFFF}}),
                       Bytes({0x40})));
    EXPECT_EQ(image.BitCount(), bc1Bit);
    EXPECT_EQ(image.GetPixelColor(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(image.GetPixelColor(1, 0), RGB(0, 0, 255));
    LoadBytes(image, MakeTiff(Entries(2, 1, 1, 3), Bytes({0x40})));
    EXPECT_EQ(image.PaletteIdent(), pBlackWhite);
}

TEST(TiffReaderTest, TiffDefaultsStandForMissingTags)
{
    // Neither SamplesPerPixel, BitsPerSample nor Compression: one uncompressed bit per pixel.
    TPixelGraphic image;
    const auto entries = Without(Without(Without(Entries(8, 1, 1, 1), 277), 258), 259);
    LoadBytes(image, MakeTiff(entries, Bytes({0x81})));
    EXPECT_EQ(image.BitCount(), bc1Bit);
    EXPECT_EQ(image.GetPixel(0, 0), 1u);
    EXPECT_EQ(image.GetPixel(1, 0), 0u);
    EXPECT_EQ(image.GetPixel(7, 0), 1u);
}

TEST(TiffReaderTest, ShortArraysSitInTheValueField)
{
    // Two strips whose offsets are two SHORTs, stored in the entry itself (TIFF 6.0); the
    // second strip comes first in the file.
    auto entries = Without(Without(Entries(2, 2, 8, 1), 273), 278);
    entries.push_back({273, tShort, {DataAt + 2, DataAt}});
    entries.push_back({278, tShort, {1}});
    entries.push_back({279, tShort, {2, 2}});
    TPixelGraphic image;
    LoadBytes(image, MakeTiff(entries, Bytes({30, 40, 10, 20}), true));
    EXPECT_EQ(image.GetPixel(0, 0), 10u);
    EXPECT_EQ(image.GetPixel(1, 1), 40u);
}

TEST(TiffReaderTest, BadDirectoriesAreRefusedWithTheirMessages)
{
    EXPECT_EQ(ReaderError(std::string("IX*\0\x08\0\0\0", 8)), "TIFF: Not a TIF file");
    EXPECT_EQ(ReaderError(std::string("II+\0\x08\0\0\0", 8)), "TIFF: Not a TIF file");
    EXPECT_EQ(ReaderError(std::string("MM\0*\0\0", 6)), "Stream read error");

    const std::string pixels = Bytes({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(ReaderError(MakeTiff(With(Entries(1, 1, 8, 1), {284, tShort, {2}}), pixels)),
              "TIFF: PlanarConfiguration invalid");
    auto two = Without(Without(Entries(1, 1, 8, 1), 277), 258);
    two.push_back({277, tShort, {2}});
    two.push_back({258, tShort, {8, 8}});
    EXPECT_EQ(ReaderError(MakeTiff(two, pixels)), "TIFF: Invalid SamplesPerPixel");
    auto rgb = Without(Without(Entries(1, 1, 8, 2), 277), 258);
    rgb.push_back({277, tShort, {3}});
    rgb.push_back({258, tShort, {8, 8}});
    EXPECT_EQ(ReaderError(MakeTiff(rgb, pixels)), "TIFF: Invalid count of SamplesPerPixel");
    rgb.back() = {258, tShort, {8, 8, 16}};
    EXPECT_EQ(ReaderError(MakeTiff(rgb, pixels)), "TIFF: Invalid SamplesPerPixel");
    EXPECT_EQ(ReaderError(MakeTiff(Entries(1, 1, 2, 1), pixels)), "TIFF: Invalid SamplesPerPixel");
    EXPECT_EQ(ReaderError(MakeTiff(Entries(1, 1, 8, 4), pixels)), "TIFF: Invalid SamplesPerPixel");
    auto noRows = Without(Without(Entries(1, 2, 8, 1), 278), 273);
    noRows.push_back({273, tLong, {DataAt, DataAt + 1}});
    EXPECT_EQ(ReaderError(MakeTiff(noRows, pixels)), "TIFF: Invalid RowsPerStrip");
    EXPECT_EQ(ReaderError(MakeTiff(Entries(1, 1, 8, 1), pixels), 1), "TIFF: Index invalid");
}

TEST(TiffReaderTest, HostileOffsetsAndSizesNeverReachPastTheData)
{
    const std::string pixels(16, '\x7F');
    // A directory, an array, or strip data beyond the end of the file.
    std::string file = MakeTiff(Entries(4, 4, 8, 1), pixels);
    file[4] = static_cast<char>(0xF0);
    EXPECT_EQ(ReaderError(file), "Stream read error");
    file = MakeTiff(Entries(4, 4, 8, 1), pixels);
    file[24 + 1] = static_cast<char>(0x7F); // the entry count: 0x7F00 + 8 entries
    EXPECT_EQ(ReaderError(file), "Stream read error");
    std::vector<TEntry> huge = Without(Without(Entries(4, 4, 8, 1), 273), 278);
    huge.push_back({278, tLong, {1}});
    huge.push_back({273, tLong, {DataAt, DataAt, DataAt, DataAt}});
    file = MakeTiff(huge, pixels);
    const std::size_t arrayField = 8 + 16 + 2 + 12 * 7 + 8; // the last entry's offset
    file[arrayField + 3] = 0x40;
    EXPECT_EQ(ReaderError(file), "Stream read error");

    // Pixels the file does not hold are refused before anything is reserved for them: a
    // 60000 x 60000 grey picture in a few bytes, plain or PackBits.
    EXPECT_EQ(ReaderError(MakeTiff(Entries(60000, 60000, 8, 1), pixels)), "Stream read error");
    EXPECT_EQ(ReaderError(MakeTiff(Entries(60000, 60000, 8, 1, 32773), pixels)),
              "Stream read error");
    EXPECT_EQ(ReaderError(MakeTiff(Entries(40, 50, 8, 1), pixels)), "Stream read error");

    // No columns: an empty picture at once, not two billion empty rows.
    TPixelGraphic empty;
    LoadBytes(empty, MakeTiff(Entries(0, 2'000'000'000, 8, 1), pixels));
    EXPECT_TRUE(empty.Empty());
    // No rows: nothing reserved for a row a billion pixels wide (its one strip is one too
    // many for no rows).
    empty.ReadWarningAction = pgwaIgnore;
    LoadBytes(empty, MakeTiff(Entries(1'000'000'000, 0, 8, 1), pixels));
    EXPECT_TRUE(empty.Empty());

    // A PackBits run longer than the row.
    EXPECT_EQ(ReaderError(MakeTiff(Entries(4, 1, 8, 1, 32773), Bytes({0xFC, 9}))),
              "TIFF (PackBits): Invalid count of bytes in row 0");
    EXPECT_EQ(ReaderError(MakeTiff(Entries(4, 2, 8, 1, 32773), Bytes({0xFD, 9, 4, 1, 2, 3, 4, 5}))),
              "TIFF (PackBits): Invalid count of bytes in row 1");
    // Runs and no-operation bytes decode as PackBits should.
    TPixelGraphic image;
    LoadBytes(image,
              MakeTiff(Entries(5, 1, 8, 1, 32773), Bytes({0x80, 0xFF, 7, 0x80, 2, 1, 2, 3})));
    EXPECT_EQ(image.GetPixel(0, 0), 7u);
    EXPECT_EQ(image.GetPixel(1, 0), 7u);
    EXPECT_EQ(image.GetPixel(4, 0), 3u);
}

TEST(TiffReaderTest, TheDirectoryChainIsWalkedOnlyWhenCounting)
{
    const auto info = [](const std::string& file, int index = 0) {
        TPGFileStream stream(DataFile(file), TPGFileStream::fmOpenRead);
        TPGImageInfo result;
        TTIFFileFormatReader().GetInfo(stream, index, result);
        return result;
    };
    EXPECT_EQ(info("libtiff-images/test_two_ifds.tif").ImageCount, 1);
    EXPECT_EQ(ReaderError(ReadFile(DataFile("libtiff-images/test_two_ifds.tif")), 1),
              "TIFF: Index invalid");

    const TSettingScope<bool> counting(TIFFCountImages, true);
    EXPECT_EQ(info("libtiff-images/test_two_ifds.tif").ImageCount, 2);
    // Chains that loop end at the limit and count as one picture.
    EXPECT_EQ(info("libtiff-images/test_ifd_loop_to_self.tif").ImageCount, 1);
    EXPECT_EQ(info("libtiff-images/test_ifd_loop_to_first.tif").ImageCount, 1);
    EXPECT_EQ(
        testing::MaxDifference(LoadRgb(DataFile("libtiff-images/test_two_ifds.tif"), 1),
                               DecodeWithPillow(DataFile("libtiff-images/test_two_ifds.tif"), 1)),
        0);
    EXPECT_EQ(ReaderError(ReadFile(DataFile("libtiff-images/test_two_ifds.tif")), 2),
              "TIFF: Index invalid");
    const TSettingScope<int> shortChains(TIFFMaxDirectories, 1);
    EXPECT_EQ(info("libtiff-images/test_two_ifds.tif").ImageCount, 1);
}

TEST(TiffReaderTest, GetInfoDescribesTheDirectory)
{
    const auto info = [](const std::string& file) {
        TPGBufferStream stream(file.data(), file.size());
        TPGImageInfo result;
        TTIFFileFormatReader().GetInfo(stream, 0, result);
        return result;
    };
    TPGImageInfo i = info(ReadFile(DataFile("generated/tiff-cmyk-packbits-bigendian-7rows.tif")));
    EXPECT_EQ(i.Width, 128);
    EXPECT_EQ(i.Height, 128);
    EXPECT_EQ(i.BitsPerPixel, 32);
    EXPECT_EQ(i.Colors, "16.7 M");
    EXPECT_EQ(i.Subformat, "M, PackBits, CMYK");
    EXPECT_EQ(i.Remark, "");
    EXPECT_EQ(i.ImageCount, 1);
    i = info(ReadFile(DataFile("generated/tiff-g4.tif")));
    EXPECT_EQ(i.Colors, "2");
    EXPECT_EQ(i.Subformat, "I, Group 4 F., BlackIsZero");
    EXPECT_EQ(i.Remark, "(Unsupported compression)");
    EXPECT_EQ(info(MakeTiff(Entries(1, 1, 4, 0), "x")).Subformat, "I, Uncompr., WhiteIsZero");
    EXPECT_EQ(info(MakeTiff(Entries(1, 1, 4, 0), "x")).Colors, "16");
    EXPECT_EQ(info(MakeTiff(Entries(1, 1, 8, 3, 2), "x")).Subformat, "I, CCITT 1D, RGB Palette");
    EXPECT_EQ(info(MakeTiff(Entries(1, 1, 8, 1, 3), "x")).Subformat, "I, Group 3 F., BlackIsZero");
    EXPECT_EQ(info(MakeTiff(Entries(1, 1, 8, 1, 5), "x")).Subformat, "I, LZW, BlackIsZero");
    EXPECT_EQ(info(MakeTiff(Entries(1, 1, 8, 1, 6), "x")).Subformat, "I, JPEG, BlackIsZero");
    EXPECT_EQ(info(ReadFile(DataFile("pillow-subset/pil136.tiff"))).Subformat, "M, Uncompr., RGB");
}

TEST(TiffReaderTest, ProgressReportsEveryRowAndCanAbort)
{
    std::string rows;
    for (int i = 0; i < 12; ++i)
        rows += static_cast<char>(i + 1);
    const std::string file = MakeTiff(Entries(2, 6, 8, 1), rows);
    TPixelGraphic image;
    std::vector<std::pair<int, int>> steps;
    int ends = 0;
    image.OnProgressEnd = [&ends](TPixelGraphic&) { ++ends; };
    image.OnProgress = [&steps](TPixelGraphic&, int step, int max, bool& abort) {
        steps.emplace_back(step, max);
        abort = step == 2;
    };
    LoadBytes(image, file);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{0, 6}, {1, 6}, {2, 6}}));
    EXPECT_EQ(image.GetPixel(0, 2), 5u);
    EXPECT_EQ(image.GetPixel(0, 3), 0u); // not read

    // Progress ends on failure too.
    LoadError(file.substr(0, 20));
    const std::string packed = MakeTiff(Entries(4, 2, 8, 1, 32773), Bytes({0xFD, 9, 0xFC, 1}));
    TPGBufferStream stream(packed.data(), packed.size());
    EXPECT_THROW(image.LoadFromStream(stream), EPGTIFFileFormatReader);
    EXPECT_EQ(ends, 2);
}

// ---- Writing -------------------------------------------------------------------------------

void FillRandom(TPixelGraphic& image, std::mt19937& random, int entries)
{
    std::uint8_t* p = image.PixelData();
    for (std::size_t i = 0; i < image.ImageSize(); ++i)
        p[i] = static_cast<std::uint8_t>(random());
    if (entries > 0)
        for (int y = 0; y < image.Height(); ++y)
            for (int x = 0; x < image.Width(); ++x)
                image.SetPixel(x, y, image.GetPixel(x, y) % entries);
}

// A picture the writer can store as it is, with runs for PackBits to find.
TPixelGraphic& Picture(TPixelGraphic& image, TBitCount bitCount, TPaletteIdent palette, int entries,
                       std::mt19937& random)
{
    image.SetSize(37, 23, bitCount);
    if (entries > 0) {
        image.SetPaletteCount(entries);
        for (int i = 0; i < entries; ++i)
            image.SetPaletteEntry(i, random() & 0xFFFFFF);
    } else {
        image.SetPaletteIdent(palette);
    }
    FillRandom(image, random, entries);
    for (int y = 5; y < 12; ++y)
        for (int x = 0; x < 30; ++x)
            image.SetPixel(x, y, image.GetPixel(0, 0));
    return image;
}

TEST(TiffWriterTest, RoundTripsEveryDepthOrderAndCompression)
{
    TTempDir dir;
    std::mt19937 random(3);
    std::vector<std::string> written;
    std::vector<testing::TRgbPicture> originals;
    struct TCase {
        TBitCount BitCount;
        TPaletteIdent Palette;
        int Entries;
    };
    for (const TCase c : {TCase{bc1Bit, pBlackWhite, 0}, TCase{bc4Bit, pGray16, 0},
                          TCase{bc4Bit, pUnknown, 11}, TCase{bc8Bit, pGray256, 0},
                          TCase{bc8Bit, pUnknown, 230}, TCase{bc24Bit, pTrueColor, 0}}) {
        for (const bool motorola : {false, true}) {
            for (const int compression : {1, 32773}) {
                for (const bool option : {false, true}) { // CMYK for 24 bits, else WhiteIsZero
                    SCOPED_TRACE(std::to_string(BitCountToNum(c.BitCount)) + " bits, " +
                                 std::to_string(c.Entries) + " entries, " +
                                 (motorola ? "MM, " : "II, ") + std::to_string(compression) +
                                 (option ? ", option" : ""));
                    const TSettingScope<bool> order(TIFFWriteMotorola, motorola);
                    const TSettingScope<int> packing(TIFFWriteCompression, compression);
                    const TSettingScope<bool> cmyk(TIFFWriteCMYK, option);
                    const TSettingScope<bool> whiteIsZero(TIFFWriteWhiteIsZero, option);
                    TPixelGraphic image;
                    Picture(image, c.BitCount, c.Palette, c.Entries, random);
                    const std::string file = dir / std::to_string(written.size()) + ".tif";
                    image.SaveToFile(file);
                    EXPECT_EQ(ReadFile(file).substr(0, 2), motorola ? "MM" : "II");

                    TPixelGraphic loaded;
                    loaded.LoadFromFile(file);
                    EXPECT_EQ(loaded.BitCount(), c.BitCount);
                    originals.push_back(testing::RgbOf(image));
                    EXPECT_EQ(testing::MaxDifference(testing::RgbOf(loaded), originals.back()), 0);
                    written.push_back(file);
                    // libtiff must take it too: tiffcp unpacks it.
                    testing::ToolOutput({"tiffcp", "-c", "none", file, file + ".unpacked.tif"});
                    written.push_back(file + ".unpacked.tif");
                }
            }
        }
    }
    // Pillow reads both the files and libtiff's copies the same as the library.
    const auto decoded = DecodeWithPillow(written);
    for (std::size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(testing::MaxDifference(decoded[i], originals[i / 2]), 0) << written[i];
}

TEST(TiffWriterTest, TheDirectoryHasTheStatedEntriesAndValues)
{
    TPixelGraphic image;
    image.SetSize(1000, 1000, bc24Bit);
    TParsed p = Parse(Saved(image, "tif"));
    EXPECT_EQ(p.Tags, (std::vector<std::uint16_t>{254, 256, 257, 258, 259, 262, 273, 277, 278, 279,
                                                  282, 283, 296}));
    EXPECT_EQ(p.Directory, 8u);
    EXPECT_EQ(p.Next, 0u);
    EXPECT_EQ(p.Fields[278].second, std::vector<std::uint32_t>{10}); // 32767 div 3000
    EXPECT_EQ(p.Fields[273].second.size(), 100u);
    for (const std::uint32_t offset : p.Fields[273].second)
        EXPECT_EQ(offset % 2, 0u);
    EXPECT_EQ(p.Fields[279].second, std::vector<std::uint32_t>(100, 30000));
    EXPECT_EQ(p.Fields[258].second, (std::vector<std::uint32_t>{8, 8, 8}));
    EXPECT_EQ(p.Fields[262].second, std::vector<std::uint32_t>{2});
    EXPECT_EQ(p.Fields[282].first, tRational);
    EXPECT_EQ(p.Fields[282].second, (std::vector<std::uint32_t>{300, 1}));
    EXPECT_EQ(p.Fields[296].second, std::vector<std::uint32_t>{2});
    EXPECT_EQ(p.Fields[254].first, tLong);
    EXPECT_EQ(p.Fields[259].first, tShort);

    // PackBits halves the rows of a strip; CMYK stores four samples.
    {
        const TSettingScope<int> packing(TIFFWriteCompression, 32773);
        const TSettingScope<bool> cmyk(TIFFWriteCMYK, true);
        p = Parse(Saved(image, "tif"));
        EXPECT_EQ(p.Fields[278].second, std::vector<std::uint32_t>{4}); // 32767 div 8000
        EXPECT_EQ(p.Fields[259].second, std::vector<std::uint32_t>{32773});
        EXPECT_EQ(p.Fields[262].second, std::vector<std::uint32_t>{5});
        EXPECT_EQ(p.Fields[277].second, std::vector<std::uint32_t>{4});
        EXPECT_EQ(p.Fields[258].second, (std::vector<std::uint32_t>{8, 8, 8, 8}));
    }

    // A palette picture adds its colour map, zeros past its own entries; the resolution
    // settings are written as they are set.
    const TSettingScope<int> unit(TIFFWriteResolutionUnit, 2);
    const TSettingScope<TTIFFRational> x(TIFFWriteXResolution, TTIFFRational{150, 2});
    image.SetSize(5, 3, bc4Bit);
    image.SetPaletteCount(3);
    image.SetPaletteEntry(1, RGB(255, 128, 1));
    p = Parse(Saved(image, "tiff"));
    EXPECT_EQ(p.Tags.back(), 320);
    EXPECT_EQ(p.Fields[262].second, std::vector<std::uint32_t>{3});
    const std::vector<std::uint32_t>& map = p.Fields[320].second;
    ASSERT_EQ(map.size(), 48u);
    EXPECT_EQ(map[1], 255u * 256);
    EXPECT_EQ(map[16 + 1], 128u * 256);
    EXPECT_EQ(map[32 + 1], 256u);
    EXPECT_EQ(map[3], 0u);
    EXPECT_EQ(p.Fields[296].second, std::vector<std::uint32_t>{3});
    EXPECT_EQ(p.Fields[282].second, (std::vector<std::uint32_t>{150, 2}));
    EXPECT_EQ(p.Fields[278].second, std::vector<std::uint32_t>{3}); // never more than the height
    EXPECT_EQ(p.Fields[273].second.size(), 1u);
    // Grey pictures have no map, unless their greys do not fill the depth.
    image.SetPaletteIdent(pGray16);
    EXPECT_EQ(Parse(Saved(image, "tif")).Fields.count(320), 0u);
    image.SetSize(5, 3, bc8Bit);
    image.SetPixel(1, 0, 15);
    const std::string file = Saved(image, "tif");
    EXPECT_EQ(Parse(file).Fields[262].second, std::vector<std::uint32_t>{3});
    TPixelGraphic back;
    LoadBytes(back, file);
    EXPECT_EQ(back.GetPixelColor(1, 0), RGB(255, 255, 255));
}

TEST(TiffWriterTest, PackBitsKeepsRunsOfTwoInsideLiterals)
{
    const auto pack = [](std::initializer_list<int> bytes) {
        std::vector<std::uint8_t> row;
        for (const int b : bytes)
            row.push_back(static_cast<std::uint8_t>(b));
        std::vector<int> out;
        for (const std::uint8_t b : PackBitsEncode(row.data(), row.size()))
            out.push_back(static_cast<std::int8_t>(b));
        return out;
    };
    EXPECT_EQ(pack({1, 2, 3}), (std::vector<int>{2, 1, 2, 3}));
    EXPECT_EQ(pack({5, 5, 5, 5}), (std::vector<int>{-3, 5}));
    EXPECT_EQ(pack({1, 2, 2, 3}), (std::vector<int>{3, 1, 2, 2, 3}));
    EXPECT_EQ(pack({2, 2, 1}), (std::vector<int>{2, 2, 2, 1}));
    EXPECT_EQ(pack({2, 2, 3, 3}), (std::vector<int>{-1, 2, -1, 3}));
    EXPECT_EQ(pack({1, 2, 2, 3, 3, 4}), (std::vector<int>{5, 1, 2, 2, 3, 3, 4}));
    EXPECT_EQ(pack({9, 9, 9, 1, 2}), (std::vector<int>{-2, 9, 1, 1, 2}));
    EXPECT_EQ(pack({}), std::vector<int>{});

    std::vector<std::uint8_t> long_(130, 7);
    std::vector<int> out;
    for (const std::uint8_t b : PackBitsEncode(long_.data(), long_.size()))
        out.push_back(static_cast<std::int8_t>(b));
    EXPECT_EQ(out, (std::vector<int>{-127, 7, -1, 7}));
    std::vector<std::uint8_t> distinct(200);
    for (std::size_t i = 0; i < distinct.size(); ++i)
        distinct[i] = static_cast<std::uint8_t>(i);
    const std::vector<std::uint8_t> packed = PackBitsEncode(distinct.data(), distinct.size());
    ASSERT_EQ(packed.size(), 202u);
    EXPECT_EQ(packed[0], 127);
    EXPECT_EQ(packed[129], 71);
}

TEST(TiffWriterTest, SeveralImagesChainTheirDirectories)
{
    TTempDir dir;
    std::mt19937 random(9);
    TPixelGraphic first, second;
    Picture(first, bc8Bit, pGray256, 0, random);
    Picture(second, bc24Bit, pTrueColor, 0, random);
    second.SetSize(11, 3, bc24Bit);
    FillRandom(second, random, 0);
    const std::string file = dir / "two.tif";
    {
        TPGFileStream stream(file, TPGFileStream::fmCreate);
        const TTIFFileFormatWriter writer;
        TTIFFWriteState state;
        writer.StartFile(stream, state);
        writer.WriteImage(stream, first, state);
        writer.WriteImage(stream, second, state);
        writer.FinishFile(stream, state);
        stream.Close();
    }
    const TSettingScope<bool> counting(TIFFCountImages, true);
    EXPECT_EQ(testing::MaxDifference(LoadRgb(file, 0), testing::RgbOf(first)), 0);
    EXPECT_EQ(testing::MaxDifference(LoadRgb(file, 1), testing::RgbOf(second)), 0);
    EXPECT_EQ(testing::MaxDifference(DecodeWithPillow(file, 1), testing::RgbOf(second)), 0);
    const TParsed p = Parse(ReadFile(file));
    EXPECT_NE(p.Next, 0u);
    EXPECT_EQ(p.Next % 2, 0u);
    EXPECT_EQ(Parse(ReadFile(file), p.Next).Next, 0u);
}

TEST(TiffWriterTest, RefusalsProgressAndFailingStreams)
{
    TPixelGraphic image;
    image.SetSize(4, 6, bc8Bit);
    image.SetPaletteIdent(pGray256);
    {
        const TSettingScope<int> lzw(TIFFWriteCompression, 5);
        try {
            Saved(image, "tif");
            ADD_FAILURE() << "compression 5 written";
        } catch (const EPGTIFFileFormatWriter& e) {
            EXPECT_STREQ(e.what(), "TIFF: Internal Error");
        }
    }
    TPixelGraphic empty;
    try {
        Saved(empty, "tif");
        ADD_FAILURE() << "an empty picture written";
    } catch (const EPGTIFFileFormatWriter& e) {
        EXPECT_STREQ(e.what(), "TIFF: Width = 0 or Height = 0");
    }

    std::vector<int> steps;
    int ends = 0;
    image.OnProgress = [&steps](TPixelGraphic&, int step, int max, bool& abort) {
        EXPECT_EQ(max, 5);
        steps.push_back(step);
        abort = true; // not honoured
    };
    image.OnProgressEnd = [&ends](TPixelGraphic&) { ++ends; };
    Saved(image, "tif");
    EXPECT_EQ(steps, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(ends, 1);

    testing::TFailingStream failing("", 200);
    EXPECT_THROW(image.SaveToStreamAs(failing, "tif"), EWriteError);
    EXPECT_EQ(ends, 2);

    // The framework converts what TIFF cannot store (two arbitrary colours) to 16 colours.
    TPixelGraphic twoColors;
    twoColors.SetSize(3, 1, bc1Bit);
    twoColors.SetPaletteCount(2);
    twoColors.SetPaletteEntry(0, RGB(255, 0, 0));
    twoColors.SetPaletteEntry(1, RGB(0, 0, 255));
    twoColors.SetPixel(1, 0, 1);
    twoColors.SaveColorResWarningAction = pgwaIgnore;
    TPixelGraphic back;
    LoadBytes(back, Saved(twoColors, "tif"));
    EXPECT_EQ(back.BitCount(), bc4Bit);
    EXPECT_EQ(back.GetPixelColor(1, 0), RGB(0, 0, 255));
}

} // namespace
} // namespace scenaria
