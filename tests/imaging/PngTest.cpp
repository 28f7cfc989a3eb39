#include "FormatTestSupport.h"
#include "ReaderTestSupport.h"

#include "imaging/FileFormats.h"
#include "imaging/Messages.h"
#include "imaging/Stream.h"
#include "imaging/formats/Png.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <optional>
#include <random>

namespace scenaria {
namespace {

using testing::DataFile;
using testing::LoadBytes;
using testing::LoadError;
using testing::PutBE16;
using testing::PutBE32;
using testing::Saved;
using testing::TQuestion;
using testing::TSettingScope;
using testing::TTempDir;

// ---- Hand-made PNG files -------------------------------------------------------------------

std::string Chunk(const std::string& type, const std::string& data)
{
    std::string chunk;
    PutBE32(chunk, static_cast<std::uint32_t>(data.size()));
    const std::string body = type + data;
    chunk += body;
    PutBE32(chunk, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                    static_cast<uInt>(body.size()))));
    return chunk;
}

int ChannelsOf(int colorType)
{
    switch (colorType) {
    case 2:
        return 3;
    case 4:
        return 2;
    case 6:
        return 4;
    default:
        return 1;
    }
}

struct TPngLayout {
    std::uint32_t Width = 1;
    std::uint32_t Height = 1;
    int Depth = 8;
    int ColorType = 0;
    std::string Chunks; // between IHDR and IDAT
    std::string Rows;   // unfiltered, rows one after another, each without its filter byte
};

std::string MakePng(const TPngLayout& layout)
{
    std::string ihdr;
    PutBE32(ihdr, layout.Width);
    PutBE32(ihdr, layout.Height);
    ihdr += static_cast<char>(layout.Depth);
    ihdr += static_cast<char>(layout.ColorType);
    ihdr += std::string(3, '\0');
    const std::size_t rowBytes =
        (std::size_t{layout.Width} * layout.Depth * ChannelsOf(layout.ColorType) + 7) / 8;
    std::string raw;
    for (std::size_t at = 0; at < layout.Rows.size(); at += rowBytes)
        raw += '\0' + layout.Rows.substr(at, rowBytes);
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(size);
    return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", ihdr) + layout.Chunks +
           Chunk("IDAT", packed) + Chunk("IEND", "");
}

std::string Bytes(std::initializer_list<int> values)
{
    std::string s;
    for (const int v : values)
        s += static_cast<char>(v);
    return s;
}

std::string GammaChunk(std::uint32_t gamma100000)
{
    std::string data;
    PutBE32(data, gamma100000);
    return Chunk("gAMA", data);
}

// ---- Reading chunks of a file --------------------------------------------------------------

std::map<std::string, std::string> ChunksOf(const std::string& file)
{
    std::map<std::string, std::string> chunks;
    for (std::size_t at = 8; at + 12 <= file.size();) {
        const std::uint32_t length = static_cast<std::uint8_t>(file[at]) << 24 |
                                     static_cast<std::uint8_t>(file[at + 1]) << 16 |
                                     static_cast<std::uint8_t>(file[at + 2]) << 8 |
                                     static_cast<std::uint8_t>(file[at + 3]);
        const std::string type = file.substr(at + 4, 4);
        if (!chunks.count(type))
            chunks[type] = file.substr(at + 8, length);
        at += 12 + std::size_t{length};
    }
    return chunks;
}

unsigned BE16(const std::string& s, std::size_t at)
{
    return static_cast<std::uint8_t>(s.at(at)) << 8 | static_cast<std::uint8_t>(s.at(at + 1));
}

std::uint32_t BE32(const std::string& s, std::size_t at)
{
    return BE16(s, at) << 16 | BE16(s, at + 2);
}

// ---- The PngSuite and its reference decodes ------------------------------------------------

// The suite's own decodes (json/ of the suite, packed by tests/data/pngsuite/make-reference.py):
// straight RGBA samples at the file's depth, without gamma and without compositing.
struct TReference {
    int Width = 0;
    int Height = 0;
    int SampleBytes = 1;
    std::vector<unsigned> Samples;
};

std::map<std::string, TReference> LoadReferences()
{
    std::map<std::string, TReference> references;
    gzFile file = gzopen(DataFile("pngsuite/reference.bin.gz").c_str(), "rb");
    if (!file)
        return references;
    std::string data;
    char buffer[65536];
    for (int n; (n = gzread(file, buffer, sizeof buffer)) > 0;)
        data.append(buffer, static_cast<std::size_t>(n));
    gzclose(file);
    const auto le32 = [&data](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<std::uint8_t>(data.at(at + i));
        return v;
    };
    for (std::size_t at = 0; at < data.size();) {
        const std::string name = data.substr(at, 16).c_str();
        TReference ref;
        ref.Width = static_cast<int>(le32(at + 16));
        ref.Height = static_cast<int>(le32(at + 20));
        ref.SampleBytes = static_cast<std::uint8_t>(data.at(at + 24));
        at += 25;
        const std::size_t count = std::size_t{4} * ref.Width * ref.Height;
        ref.Samples.resize(count);
        for (std::size_t i = 0; i < count; ++i, at += ref.SampleBytes)
            ref.Samples[i] = ref.SampleBytes == 2
                                 ? static_cast<std::uint8_t>(data.at(at)) |
                                       static_cast<std::uint8_t>(data.at(at + 1)) << 8
                                 : static_cast<std::uint8_t>(data.at(at));
        references[name] = std::move(ref);
    }
    return references;
}

// The gamma table of loading (Part of the pixel image model): ratio = image gamma / display.
std::array<int, 256> GammaTable(double ratio)
{
    std::array<int, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<int>(std::nearbyint(255 * std::pow(i / 255.0, ratio)));
    return table;
}

// What a suite picture must look like after loading, built from the reference decode by the
// reader's rules, independently of its code: transparent pixels composited over the bKGD
// colour (or black, the default fill colour), 16-bit samples cut to their high byte, then the
// loader's gamma correction with the file's gamma (gAMA) against the display gamma of 1.8.
// Composited pixels may differ by one step before the gamma table (libpng rounds its
// composition its own way); everything else must match exactly.
void ExpectSuitePicture(const std::string& name, const std::string& file, const TReference& ref,
                        const TPixelGraphic& image)
{
    const auto chunks = ChunksOf(file);
    const std::string& ihdr = chunks.at("IHDR");
    const int depth = static_cast<std::uint8_t>(ihdr[8]);
    const int colorType = static_cast<std::uint8_t>(ihdr[9]);
    const bool transparency = chunks.count("tRNS") || (colorType & 4);

    const int top = depth == 16 ? 65535 : 255;
    int background[3] = {0, 0, 0}; // at the depth of the samples
    if (transparency && chunks.count("bKGD")) {
        const std::string& b = chunks.at("bKGD");
        if (colorType == 3) {
            const std::string& plte = chunks.at("PLTE");
            for (int c = 0; c < 3; ++c)
                background[c] =
                    static_cast<std::uint8_t>(plte.at(3 * static_cast<std::uint8_t>(b[0]) + c));
        } else {
            for (int c = 0; c < 3; ++c) {
                const unsigned v = (colorType & 2) ? BE16(b, 2 * c) : BE16(b, 0);
                // The reader hands libpng the high byte; libpng widens it again.
                background[c] = depth == 16 ? static_cast<int>(v >> 8) * 257
                                : depth < 8 ? static_cast<int>(v * 255 / ((1u << depth) - 1))
                                            : static_cast<int>(v);
            }
        }
    }
    std::array<int, 256> gamma = GammaTable(1.0);
    if (chunks.count("gAMA")) {
        const double ratio = (100000.0 / BE32(chunks.at("gAMA"), 0)) / DisplayGamma;
        if (std::fabs(ratio - 1) > 0.05)
            gamma = GammaTable(ratio);
    }

    ASSERT_EQ(image.Width(), ref.Width) << name;
    ASSERT_EQ(image.Height(), ref.Height) << name;
    const testing::TRgbPicture rgb = testing::RgbOf(image);
    int mismatches = 0;
    for (int y = 0; y < ref.Height; ++y) {
        for (int x = 0; x < ref.Width; ++x) {
            const unsigned* s = &ref.Samples[(static_cast<std::size_t>(y) * ref.Width + x) * 4];
            const unsigned alpha = s[3];
            for (int c = 0; c < 3; ++c) {
                int value = static_cast<int>(s[c]);
                int slack = 0;
                if (transparency && alpha < static_cast<unsigned>(top)) {
                    value = static_cast<int>(
                        (s[c] * alpha + background[c] * (top - alpha) + top / 2) / top);
                    slack = alpha > 0 ? 1 : 0;
                }
                if (depth == 16)
                    value >>= 8;
                const int low = gamma[std::max(0, value - slack)];
                const int high = gamma[std::min(255, value + slack)];
                const int got = rgb.At(x, y)[c];
                if ((got < low || got > high) && ++mismatches <= 3)
                    ADD_FAILURE() << name << " pixel " << x << "," << y << " channel " << c << ": "
                                  << got << " not in " << low << ".." << high;
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << name;
}

TEST(PngSuiteTest, EveryFileLoadsOrFailsAsItsNameSays)
{
    const auto references = LoadReferences();
    ASSERT_EQ(references.size(), 161u) << "tests/data/pngsuite/reference.bin.gz is missing";
    int loaded = 0, refused = 0;
    for (const auto& entry : std::filesystem::directory_iterator(DataFile("pngsuite"))) {
        if (entry.path().extension() != ".png")
            continue;
        const std::string name = entry.path().stem().string();
        const std::string file = testing::ReadFile(entry.path().string());
        TPixelGraphic image;
        image.ReadWarningAction = pgwaRaise; // as the program loads
        if (name[0] == 'x') {
            ++refused;
            // Damaged signatures are not PNG at all; every other damage is libpng's to report.
            const bool signature =
                name.starts_with("xs") || name.starts_with("xcr") || name.starts_with("xlf");
            try {
                LoadBytes(image, file);
                ADD_FAILURE() << name << " loaded";
            } catch (const EPGUnknownFileFormat&) {
                EXPECT_TRUE(signature) << name;
            } catch (const EPGPNGFileFormatReaderWriter& e) {
                EXPECT_FALSE(signature) << name;
                EXPECT_THAT(e.what(), ::testing::StartsWith("PNG: ")) << name;
            }
            continue;
        }
        ++loaded;
        ASSERT_NO_THROW(LoadBytes(image, file)) << name;
        const auto chunks = ChunksOf(file);
        const int depth = static_cast<std::uint8_t>(chunks.at("IHDR")[8]);
        const int colorType = static_cast<std::uint8_t>(chunks.at("IHDR")[9]);
        const int expectedBits = ChannelsOf(colorType) > 2 ? 24
                                 : depth == 1              ? 1
                                 : depth <= 4              ? 4
                                                           : 8;
        EXPECT_EQ(image.BitCountNum(), expectedBits) << name;
        if (colorType == 3) {
            EXPECT_EQ(image.PaletteCount(),
                      std::min<int>(static_cast<int>(chunks.at("PLTE").size() / 3),
                                    image.PaletteCapacity()))
                << name;
        }
        ASSERT_TRUE(references.count(name)) << name;
        ExpectSuitePicture(name, file, references.at(name), image);
    }
    EXPECT_EQ(loaded, 161);
    EXPECT_EQ(refused, 14);
}

// ---- The reader's mapping ------------------------------------------------------------------

TEST(PngReaderTest, TwoBitGrayBecomesFourBitsWithTheFourGrays)
{
    // 6 x 2 pixels: 0 1 2 3 0 1 / 3 2 1 0 3 2, no gamma chunk.
    const std::string file =
        MakePng({6, 2, 2, 0, "", Bytes({0b00011011, 0b00010000, 0b11100100, 0b11100000})});
    TPixelGraphic image;
    LoadBytes(image, file);
    EXPECT_EQ(image.BitCount(), bc4Bit);
    EXPECT_EQ(image.PaletteIdent(), pGray4);
    ASSERT_EQ(image.PaletteCount(), 4);
    EXPECT_EQ(image.PaletteEntry(1), RGB(85, 85, 85));
    const int expected[2][6] = {{0, 1, 2, 3, 0, 1}, {3, 2, 1, 0, 3, 2}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(image.GetPixel(x, y), static_cast<std::uint32_t>(expected[y][x]))
                << x << "," << y;

    // Other depths of grey take their standard palettes.
    LoadBytes(image, MakePng({9, 1, 1, 0, "", Bytes({0xA5, 0x80})}));
    EXPECT_EQ(image.BitCount(), bc1Bit);
    EXPECT_EQ(image.PaletteIdent(), pBlackWhite);
    EXPECT_EQ(image.GetPixel(0, 0), 1u);
    EXPECT_EQ(image.GetPixel(1, 0), 0u);
    EXPECT_EQ(image.GetPixel(8, 0), 1u);
    LoadBytes(image, MakePng({2, 1, 4, 0, "", Bytes({0x5F})}));
    EXPECT_EQ(image.PaletteIdent(), pGray16);
    EXPECT_EQ(image.GetPixel(0, 0), 5u);
    LoadBytes(image, MakePng({1, 1, 16, 0, "", Bytes({0xAB, 0xCD})}));
    EXPECT_EQ(image.PaletteIdent(), pGray256);
    EXPECT_EQ(image.GetPixel(0, 0), 0xABu);
}

TEST(PngReaderTest, SixteenBitRgbKeepsEachChannelsHighByte)
{
    TPixelGraphic image;
    LoadBytes(
        image,
        MakePng({2, 1, 16, 2, "",
                 Bytes({0x12, 0xAB, 0x34, 0xCD, 0x56, 0xEF, 0xFF, 0xFF, 0x00, 0xFF, 0x80, 0x7F})}));
    EXPECT_EQ(image.BitCount(), bc24Bit);
    EXPECT_EQ(image.PaletteIdent(), pTrueColor);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(0xFF, 0x00, 0x80));
}

TEST(PngReaderTest, TransparencyGoesOverTheFillColorWithoutABackgroundChunk)
{
    // RGBA: opaque red, half-transparent (200, 100, 50), fully transparent white.
    const std::string rgba =
        MakePng({3, 1, 8, 6, "", Bytes({255, 0, 0, 255, 200, 100, 50, 128, 255, 255, 255, 0})});
    TPixelGraphic image;
    LoadBytes(image, rgba);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(100, 50, 25));
    EXPECT_EQ(image.GetPixel(2, 0), RGB(0, 0, 0));

    // The image's own fill colour is the background when it is not black.
    image.SetSize(0, 0, bc24Bit);
    image.SetFillColor(RGB(0, 0, 255));
    LoadBytes(image, rgba);
    EXPECT_EQ(image.GetPixel(1, 0), RGB(100, 50, 152));
    EXPECT_EQ(image.GetPixel(2, 0), RGB(0, 0, 255));

    // Grey with a transparent grey level, below 8 bits: the fill colour's grey at that depth.
    const std::string gray2 = MakePng({4, 1, 2, 0, Chunk("tRNS", Bytes({0, 1})), Bytes({0x1B})});
    image.SetSize(0, 0, bc24Bit);
    image.SetFillColor(RGB(170, 170, 170));
    LoadBytes(image, gray2);
    EXPECT_EQ(image.GetPixel(0, 0), 0u);
    EXPECT_EQ(image.GetPixel(1, 0), 2u); // level 1 is transparent: the fill's grey, 170
    EXPECT_EQ(image.GetPixel(2, 0), 2u);
    EXPECT_EQ(image.GetPixel(3, 0), 3u);
}

TEST(PngReaderTest, TheFilesBackgroundWinsAndBecomesTheFillColor)
{
    TPixelGraphic image;
    // RGB 16-bit with a transparent colour and a yellow background.
    std::string trns, bkgd;
    for (const unsigned v : {0x1000u, 0x2000u, 0x3000u})
        PutBE16(trns, v);
    for (const unsigned v : {0xFFFFu, 0xFF00u, 0x0000u})
        PutBE16(bkgd, v);
    const std::string rgb16 =
        MakePng({2, 1, 16, 2, Chunk("tRNS", trns) + Chunk("bKGD", bkgd),
                 Bytes({0x10, 0x00, 0x20, 0x00, 0x30, 0x00, 0x40, 0x00, 0x50, 0x00, 0x60, 0x00})});
    LoadBytes(image, rgb16);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(255, 255, 0));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(0x40, 0x50, 0x60));
    EXPECT_EQ(image.FillColor(), RGB(255, 255, 0));

    // A palette file names its background by index; entry 1 is transparent, entry 2 blue.
    const std::string palette =
        MakePng({3, 1, 8, 3,
                 Chunk("PLTE", Bytes({10, 20, 30, 40, 50, 60, 0, 0, 255})) +
                     Chunk("tRNS", Bytes({255, 0})) + Chunk("bKGD", Bytes({2})),
                 Bytes({0, 1, 2})});
    LoadBytes(image, palette);
    EXPECT_EQ(image.BitCount(), bc8Bit);
    EXPECT_EQ(image.PaletteEntry(0), RGB(10, 20, 30));
    EXPECT_EQ(image.PaletteEntry(1), RGB(0, 0, 255));
    EXPECT_EQ(image.FillValue(), 2u);

    // With the file background setting off, the fill colour is used instead.
    const TSettingScope<bool> off(PNGUseFileBackground, false);
    image.SetSize(0, 0, bc24Bit);
    image.SetFillColor(RGB(1, 2, 3));
    LoadBytes(image, rgb16);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(1, 2, 3));
    EXPECT_EQ(image.FillColor(), RGB(1, 2, 3));
}

TEST(PngReaderTest, TheGammaChunkSetsTheImagesGamma)
{
    const std::string file = MakePng({1, 1, 8, 2, GammaChunk(45455), Bytes({128, 64, 0})});
    TPixelGraphic image;
    TPGBufferStream stream(file.data(), file.size());
    TPNGFileFormatReader().Read(stream, image, 0);
    EXPECT_NEAR(image.Gamma, 2.2, 0.001);

    // Loading then corrects from 2.2 to the display's 1.8.
    LoadBytes(image, file);
    const auto table = GammaTable(1 / 0.45455 / DisplayGamma);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(table[128], table[64], 0));
    EXPECT_DOUBLE_EQ(image.Gamma, DisplayGamma);

    // Without the chunk the pixels are taken as they are.
    LoadBytes(image, MakePng({1, 1, 8, 2, "", Bytes({128, 64, 0})}));
    EXPECT_EQ(image.GetPixel(0, 0), RGB(128, 64, 0));
}

TEST(PngReaderTest, APaletteLongerThanTheDepthKeepsTheEntriesPixelsCanUse)
{
    const std::string file =
        MakePng({8, 1, 1, 3, Chunk("PLTE", Bytes({255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9})),
                 Bytes({0x0F})});
    TPixelGraphic image;
    LoadBytes(image, file);
    EXPECT_EQ(image.BitCount(), bc1Bit);
    ASSERT_EQ(image.PaletteCount(), 2);
    EXPECT_EQ(image.GetPixelColor(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(image.GetPixelColor(7, 0), RGB(0, 255, 0));
}

TEST(PngReaderTest, InterlacedFilesReportEveryPassAndCanBeAborted)
{
    const std::string file = testing::ReadFile(DataFile("pngsuite/basi0g08.png"));
    TPixelGraphic image;
    std::vector<std::pair<int, int>> steps;
    int starts = 0, ends = 0;
    image.OnProgressStart = [&starts](TPixelGraphic&) { ++starts; };
    image.OnProgressEnd = [&ends](TPixelGraphic&) { ++ends; };
    image.OnProgress = [&steps](TPixelGraphic&, int step, int max, bool&) {
        steps.emplace_back(step, max);
    };
    LoadBytes(image, file);
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(ends, 1);
    ASSERT_EQ(steps.size(), 32u * 7);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].first, static_cast<int>(i));
        EXPECT_EQ(steps[i].second, 32 * 7);
    }

    // Aborting after the first pass leaves only that pass's pixels (every 8th in every 8th row).
    const TSettingScope<bool> plain(GammaCorrection, false);
    TPixelGraphic full;
    LoadBytes(full, file);
    image.OnProgress = [](TPixelGraphic&, int step, int, bool& abort) { abort = step == 31; };
    LoadBytes(image, file);
    EXPECT_EQ(ends, 2);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (x % 8 == 0 && y % 8 == 0)
                EXPECT_EQ(image.GetPixel(x, y), full.GetPixel(x, y));
            else
                EXPECT_EQ(image.GetPixel(x, y), 0u) << x << "," << y;
}

// A file whose gAMA chunk has a wrong checksum: libpng warns and drops the chunk.
std::string FileWithAWarning()
{
    std::string file = MakePng({1, 1, 8, 0, GammaChunk(45455), Bytes({77})});
    file[33 + 12 + 3] ^= 1; // the last byte of gAMA's checksum
    return file;
}

TEST(PngReaderTest, WarningsFollowTheReadWarningAction)
{
    const std::string file = FileWithAWarning();
    std::vector<TQuestion> questions;
    TPGMessageAnswer answer = pgmaOK;
    const testing::THookScope hook([&](const std::string& caption, const std::string& text,
                                       TPGMessageButtons buttons, TPGMessageIcon icon) {
        questions.push_back({caption, text, buttons, icon});
        return answer;
    });

    EXPECT_EQ(LoadError(file, pgwaRaise), "PNG: gAMA: CRC error");
    EXPECT_EQ(LoadError(file, pgwaIgnore), "(loaded)");
    EXPECT_TRUE(questions.empty());

    EXPECT_EQ(LoadError(file, pgwaOKBox), "(loaded)");
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].Caption, "PNG Warning");
    EXPECT_EQ(questions[0].Text, "gAMA: CRC error");
    EXPECT_EQ(questions[0].Buttons, pgmbOK);
    EXPECT_EQ(questions[0].Icon, pgmiWarning);

    EXPECT_EQ(LoadError(file, pgwaOKCancelBox), "(loaded)");
    answer = pgmaCancel;
    EXPECT_EQ(LoadError(file, pgwaOKCancelBox), "PNG: Operation aborted on user request");
    ASSERT_EQ(questions.size(), 3u);
    EXPECT_EQ(questions[2].Buttons, pgmbOKCancel);

    // The file loads without the dropped chunk's gamma.
    TPixelGraphic image;
    image.ReadWarningAction = pgwaIgnore;
    LoadBytes(image, file);
    EXPECT_EQ(image.GetPixel(0, 0), 77u);

    // A hook that fails reaches the caller as it is, through libpng.
    const testing::THookScope failing(
        [](const std::string&, const std::string&, TPGMessageButtons,
           TPGMessageIcon) -> TPGMessageAnswer { throw std::logic_error("no user here"); });
    EXPECT_EQ(LoadError(file, pgwaOKBox), "no user here");

    // GetInfo always raises warnings.
    TPGImageInfo info;
    TPGBufferStream stream(file.data(), file.size());
    EXPECT_THROW(TPNGFileFormatReader().GetInfo(stream, 0, info), EPGPNGFileFormatReaderWriter);
}

TEST(PngReaderTest, BrokenFilesFailWithAClearMessage)
{
    const std::string good = MakePng({4, 4, 8, 2, "", std::string(48, '\x40')});
    EXPECT_EQ(LoadError(good), "(loaded)");
    EXPECT_EQ(LoadError(good.substr(0, good.size() - 20)), "PNG: Unexpected end of file");
    EXPECT_EQ(LoadError(good.substr(0, 20)), "PNG: Unexpected end of file");

    std::string badHeader = good;
    badHeader[29] ^= 1; // IHDR checksum
    EXPECT_EQ(LoadError(badHeader), "PNG: IHDR: CRC error");

    // A header that claims far more pixels than the data could ever expand to is refused
    // before anything is reserved for them.
    TPngLayout bomb{30000, 30000, 8, 2, "", std::string(300, '\0')};
    std::string huge = MakePng(bomb);
    EXPECT_EQ(LoadError(huge), "PNG: Unexpected end of file");

    TPixelGraphic image;
    TPGBufferStream stream(good.data(), good.size());
    try {
        TPNGFileFormatReader().Read(stream, image, 1);
        ADD_FAILURE() << "index 1 accepted";
    } catch (const EPGPNGFileFormatReaderWriter& e) {
        EXPECT_STREQ(e.what(), "PNG: Index invalid");
    }
    TPGImageInfo info;
    try {
        TPNGFileFormatReader().GetInfo(stream, 2, info);
        ADD_FAILURE() << "index 2 accepted";
    } catch (const EPGPNGFileFormatReaderWriter& e) {
        EXPECT_STREQ(e.what(), "PNG: Invalid value for Index");
    }

    // A stream that fails half-way passes its own error on, through libpng.
    testing::TFailingStream failing(good, 60);
    EXPECT_THROW(image.LoadFromStream(failing), EReadError);
}

// Bytes in memory that remember the largest single read asked of them.
class TMeasuredStream : public TPGBufferStream {
public:
    using TPGBufferStream::TPGBufferStream;
    std::size_t Read(void* buffer, std::size_t count) override
    {
        Largest = std::max(Largest, count);
        return TPGBufferStream::Read(buffer, count);
    }
    std::size_t Largest = 0;
};

TEST(PngReaderTest, AChunkLongerThanTheRestOfTheFileIsNeverReserved)
{
    // libpng reserves an ancillary chunk whole and reads it in one go, even after calling its
    // length too large in a warning that pgwaIgnore lets through: a hundred bytes could make
    // it reserve two gigabytes (found by fuzzing).
    const std::string good = MakePng({4, 4, 8, 2, "", std::string(48, '\x40')});
    std::string file = good.substr(0, 8 + 25); // signature and header chunk
    PutBE32(file, 0x7900051A);
    file += "sPLT" + std::string(60, 'x');
    for (const TPGWarningAction action : {pgwaIgnore, pgwaRaise}) {
        TPixelGraphic image;
        image.ReadWarningAction = action;
        TMeasuredStream stream(file.data(), file.size());
        try {
            image.LoadFromStream(stream);
            ADD_FAILURE() << "loaded";
        } catch (const EPGPNGFileFormatReaderWriter& e) {
            EXPECT_STREQ(e.what(), "PNG: Unexpected end of file");
        }
        EXPECT_LT(stream.Largest, file.size()) << "warning action " << action;
    }
}

TEST(PngReaderTest, GetInfoDescribesTheHeader)
{
    const auto info = [](const std::string& name) {
        const std::string file = testing::ReadFile(DataFile("pngsuite/" + name + ".png"));
        TPGBufferStream stream(file.data(), file.size());
        TPGImageInfo result;
        TPNGFileFormatReader().GetInfo(stream, 0, result);
        return result;
    };
    TPGImageInfo i = info("tbbn3p08");
    EXPECT_EQ(i.Width, 32);
    EXPECT_EQ(i.Height, 32);
    EXPECT_EQ(i.BitsPerPixel, 8);
    EXPECT_EQ(i.Colors, "256");
    EXPECT_EQ(i.Subformat, "palette");
    EXPECT_EQ(i.Remark, "(gama, plte, trns, bkgd)");
    EXPECT_EQ(i.ImageCount, 1);
    i = info("basi6a16");
    EXPECT_EQ(i.BitsPerPixel, 64);
    EXPECT_EQ(i.Colors, "?");
    EXPECT_EQ(i.Subformat, "RGB, alpha, interlaced");
    i = info("basn4a08");
    EXPECT_EQ(i.Colors, "64K?");
    EXPECT_EQ(i.Subformat, "GrayScale, alpha");
    EXPECT_EQ(info("basn0g02").Colors, "4");
    EXPECT_EQ(info("basn2c08").Colors, "16.7M");
    EXPECT_EQ(info("basn6a08").Colors, "16.7M?");
    EXPECT_EQ(info("cm0n0g04").Remark, "(gama, time)");
    EXPECT_EQ(info("s01i3p01").Remark, "(gama, sbit, plte)");
    EXPECT_EQ(info("f00n2c08").Remark, "");
    i = info("s01i3p01");
    EXPECT_EQ(i.Width, 1);
    EXPECT_EQ(i.Colors, "2");
}

TEST(PngLibraryTest, TheLinkedLibrariesMustMatchTheBuild)
{
    EXPECT_NO_THROW(CheckPNGStructureSizes(10639, 10601));
    try {
        CheckPNGStructureSizes(10500, 10639);
        ADD_FAILURE() << "a libpng 1.5 was accepted";
    } catch (const EPGPNGFileFormatReaderWriter&) {
        ADD_FAILURE() << "the size check is not a PNG reader error";
    } catch (const EPixelGraphic& e) {
        EXPECT_THAT(e.what(), ::testing::HasSubstr("png_info"));
        EXPECT_THAT(e.what(), ::testing::HasSubstr("different"));
    }

    EXPECT_NO_THROW(CheckPNGLibraryVersions(PNG_LIBPNG_VER_STRING, ZLIB_VERSION));
    for (const auto& [libpng, zlib] :
         std::vector<std::pair<std::string, std::string>>{{"0.90", ZLIB_VERSION},
                                                          {"1.7.0", ZLIB_VERSION},
                                                          {"", ZLIB_VERSION},
                                                          {PNG_LIBPNG_VER_STRING, "9.0.0"},
                                                          {PNG_LIBPNG_VER_STRING, ""}}) {
        try {
            CheckPNGLibraryVersions(libpng, zlib);
            ADD_FAILURE() << libpng << " with zlib " << zlib << " accepted";
        } catch (const EPGPNGFileFormatReaderWriter& e) {
            EXPECT_STREQ(e.what(), "PNG: Invalid library version");
        }
    }
}

// ---- The writer ----------------------------------------------------------------------------

void FillRandom(TPixelGraphic& image, std::mt19937& random)
{
    std::uint8_t* p = image.PixelData();
    for (std::size_t i = 0; i < image.ImageSize(); ++i)
        p[i] = static_cast<std::uint8_t>(random());
}

// Decodes with Pillow, which takes samples as they are stored (no gamma).
testing::TRgbPicture DecodeWithPillow(const std::string& file)
{
    const std::string ppm = testing::ToolOutput(
        {"/usr/bin/python3", "-c",
         "import sys; from PIL import Image; "
         "Image.open(sys.argv[1]).convert('RGB').save(sys.stdout.buffer, 'PPM')",
         file});
    return ppm.empty() ? testing::TRgbPicture{} : testing::ParsePnm(ppm);
}

TEST(PngWriterTest, TheColorTypeFollowsTheImage)
{
    struct TCase {
        TBitCount BitCount;
        TPaletteIdent Palette;
        int Depth;
        int ColorType;
        int PaletteEntries;
    };
    for (const TCase c :
         {TCase{bc8Bit, pGray256, 8, 0, 0}, TCase{bc4Bit, pGray16, 4, 3, 16},
          TCase{bc1Bit, pBlackWhite, 1, 3, 2}, TCase{bc4Bit, pSys16, 4, 3, 16},
          TCase{bc8Bit, pSpecial216, 8, 3, 216}, TCase{bc24Bit, pTrueColor, 8, 2, 0}}) {
        SCOPED_TRACE(BitCountToNum(c.BitCount));
        TPixelGraphic image;
        image.SetSize(5, 3, c.BitCount);
        image.SetPaletteIdent(c.Palette);
        const auto chunks = ChunksOf(Saved(image, "png"));
        EXPECT_EQ(static_cast<int>(chunks.at("IHDR")[8]), c.Depth);
        EXPECT_EQ(static_cast<int>(chunks.at("IHDR")[9]), c.ColorType);
        EXPECT_EQ(static_cast<int>(chunks.at("IHDR")[12]), 0); // never interlaced
        EXPECT_EQ(chunks.count("PLTE") ? chunks.at("PLTE").size() / 3 : 0u,
                  static_cast<std::size_t>(c.PaletteEntries));
    }
}

TEST(PngWriterTest, RoundTripsEveryDepthAndPillowSeesTheSamePixels)
{
    TTempDir dir;
    std::mt19937 random(11);
    struct TCase {
        TBitCount BitCount;
        int Entries; // 0: a standard palette
        TPaletteIdent Palette;
    };
    for (const TCase c : {TCase{bc1Bit, 0, pBlackWhite}, TCase{bc4Bit, 0, pGray16},
                          TCase{bc4Bit, 11, pUnknown}, TCase{bc8Bit, 0, pGray256},
                          TCase{bc8Bit, 200, pUnknown}, TCase{bc24Bit, 0, pTrueColor}}) {
        SCOPED_TRACE(std::to_string(BitCountToNum(c.BitCount)) + " bits, " +
                     std::to_string(c.Entries) + " entries");
        TPixelGraphic image;
        image.SetSize(13, 7, c.BitCount);
        if (c.Entries > 0) {
            image.SetPaletteCount(c.Entries);
            for (int i = 0; i < c.Entries; ++i)
                image.SetPaletteEntry(i, random() & 0xFFFFFF);
        } else {
            image.SetPaletteIdent(c.Palette);
        }
        FillRandom(image, random);
        if (c.Entries > 0) // pixels that name entries the palette has
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < 13; ++x)
                    image.SetPixel(x, y, image.GetPixel(x, y) % c.Entries);
        const std::string file = dir / "round.png";
        image.SaveToFile(file);

        TPixelGraphic loaded;
        loaded.LoadFromFile(file);
        EXPECT_EQ(loaded.BitCount(), c.BitCount);
        EXPECT_EQ(loaded.PaletteCount(), image.PaletteCount());
        EXPECT_EQ(testing::MaxDifference(testing::RgbOf(loaded), testing::RgbOf(image)), 0);
        EXPECT_EQ(testing::MaxDifference(DecodeWithPillow(file), testing::RgbOf(image)), 0);
    }
}

TEST(PngWriterTest, SavedFilesCarryTheImagesGamma)
{
    TPixelGraphic image;
    image.SetSize(2, 2, bc24Bit);
    EXPECT_EQ(BE32(ChunksOf(Saved(image, "png")).at("gAMA"), 0), 55556u);
    image.Gamma = 2.2;
    EXPECT_EQ(BE32(ChunksOf(Saved(image, "png")).at("gAMA"), 0), 45455u);
    image.Gamma = 0;
    EXPECT_EQ(ChunksOf(Saved(image, "png")).count("gAMA"), 0u);
    image.Gamma = 1.8;
    const TSettingScope<bool> off(PNGWriteGamma, false);
    EXPECT_EQ(ChunksOf(Saved(image, "png")).count("gAMA"), 0u);
}

TEST(PngWriterTest, ProgressAndFailures)
{
    TPixelGraphic image;
    image.SetSize(40, 30, bc24Bit);
    std::vector<int> steps;
    int ends = 0;
    image.OnProgress = [&steps](TPixelGraphic&, int step, int max, bool& abort) {
        EXPECT_EQ(max, 29);
        steps.push_back(step);
        abort = true; // not honoured: a half-written file would be broken
    };
    image.OnProgressEnd = [&ends](TPixelGraphic&) { ++ends; };
    const std::string file = Saved(image, "png");
    EXPECT_EQ(steps.size(), 30u);
    EXPECT_EQ(steps.back(), 29);
    EXPECT_EQ(ends, 1);
    TPixelGraphic loaded;
    LoadBytes(loaded, file);
    EXPECT_EQ(loaded.Height(), 30);

    // A failing stream's error comes through libpng unchanged, and progress still ends.
    testing::TFailingStream failing("", 60);
    EXPECT_THROW(image.SaveToStreamAs(failing, "png"), EWriteError);
    EXPECT_EQ(ends, 2);

    // An image without pixels is libpng's to refuse.
    TPixelGraphic empty;
    empty.ReadWarningAction = pgwaRaise;
    try {
        Saved(empty, "png");
        ADD_FAILURE() << "an empty image was written";
    } catch (const EPGPNGFileFormatReaderWriter& e) {
        EXPECT_THAT(e.what(), ::testing::StartsWith("PNG: Image width is zero"));
    }
}

} // namespace
} // namespace scenaria
