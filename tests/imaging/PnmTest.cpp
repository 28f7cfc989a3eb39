#include "FormatOracles.h"

#include "imaging/FileFormats.h"
#include "imaging/Messages.h"
#include "imaging/Stream.h"
#include "imaging/formats/Pnm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

namespace scenaria {
namespace {

using testing::LoadAs;
using testing::LoadError;
using testing::ReadFile;
using testing::TTempDir;

void Load(TPixelGraphic& image, const std::string& text)
{
    LoadAs(image, text, "");
}

// Switches binary output on for one scope.
class TBinaryOutput {
public:
    TBinaryOutput() { PxMWriteBinary = true; }
    ~TBinaryOutput() { PxMWriteBinary = false; }
    TBinaryOutput(const TBinaryOutput&) = delete;
    TBinaryOutput& operator=(const TBinaryOutput&) = delete;
};

std::string Saved(TPixelGraphic& image, const std::string& extension)
{
    TPGMemoryStream stream;
    image.SaveToStreamAs(stream, extension);
    return testing::Bytes(stream.Data());
}

TEST(PnmReaderTest, SamplesAreScaledByMaxval)
{
    TPixelGraphic image;
    Load(image, "P2\n4 1\n15\n15 7 0 20\n");
    ASSERT_EQ(image.BitCount(), bc8Bit);
    EXPECT_EQ(image.PaletteIdent(), pGray256);
    EXPECT_EQ(image.GetPixel(0, 0), 255u);
    EXPECT_EQ(image.GetPixel(1, 0), 119u);
    EXPECT_EQ(image.GetPixel(2, 0), 0u);
    EXPECT_EQ(image.GetPixel(3, 0), 255u); // above maxval: as bright as it gets

    Load(image, "P3 2 1 100 100 50 0 1 2 3");
    ASSERT_EQ(image.BitCount(), bc24Bit);
    EXPECT_EQ(image.GetPixel(0, 0), RGB(255, 127, 0));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(2, 5, 7));

    Load(image, std::string("P6 2 1 15\n\x0f\x07\x00\x01\x02\x03", 16));
    EXPECT_EQ(image.GetPixel(0, 0), RGB(255, 119, 0));
    EXPECT_EQ(image.GetPixel(1, 0), RGB(17, 34, 51));
}

TEST(PnmReaderTest, BinaryKindsNeedMaxvalBelow256)
{
    const std::string unsupported = "PBM, PGM, PPM: Not supported subformat";
    EXPECT_EQ(LoadError("P5 1 1 65535\n\x12\x34", ""), unsupported);
    EXPECT_EQ(LoadError("P6 1 1 256\n\x12\x34\x56\x78\x9a\xbc", ""), unsupported);
    TPixelGraphic image;
    Load(image, "P2 3 1 65535 65535 32768 257");
    EXPECT_EQ(image.GetPixel(0, 0), 255u);
    EXPECT_EQ(image.GetPixel(1, 0), 127u);
    EXPECT_EQ(image.GetPixel(2, 0), 1u);
    Load(image, std::string("P5 1 1 255\n\xfe", 12));
    EXPECT_EQ(image.GetPixel(0, 0), 254u);

    // Nothing to scale by, and nothing to show.
    EXPECT_EQ(LoadError("P2 1 1 0 0", ""), unsupported);
    EXPECT_EQ(LoadError("P3 0 1 255\n", ""), unsupported);
    EXPECT_EQ(LoadError("P1 1 0\n", ""), unsupported);
}

TEST(PnmReaderTest, CommentsAreSkippedWhereverACharacterIsRead)
{
    TPixelGraphic image;
    Load(image, "P2# kind\n#whole line\n3# width\n2\n# maxval next\n255\n"
                "1 2# a sample\n3\n4 #\n5 6# no line end after the last one");
    ASSERT_EQ(image.Width(), 3);
    ASSERT_EQ(image.Height(), 2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(image.GetPixel(i % 3, i / 3), static_cast<std::uint32_t>(i + 1)) << i;

    // A comment may also end the header of binary data; a "#" in the data is a sample.
    Load(image, "P5 2 1 255# the pixels follow\n##");
    EXPECT_EQ(image.GetPixel(0, 0), static_cast<std::uint32_t>('#'));
    EXPECT_EQ(image.GetPixel(1, 0), static_cast<std::uint32_t>('#'));

    // The last sample may end the file.
    Load(image, "P3\n1 1\n255\n1 2 3");
    EXPECT_EQ(image.GetPixel(0, 0), RGB(1, 2, 3));
}

TEST(PnmReaderTest, PlainBitmapDigitsNeedNoSpaces)
{
    TPixelGraphic image;
    Load(image, "P1\n5 3\n01010\n1 0 1 0 1\n0 0#comment\n111");
    ASSERT_EQ(image.BitCount(), bc1Bit);
    EXPECT_EQ(image.PaletteIdent(), pBlackWhite);
    const char* rows[] = {"01010", "10101", "00111"};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(image.GetPixel(x, y), rows[y][x] == '1' ? 0u : 1u) << x << "," << y;

    Load(image, std::string("P4 10 2\n\xa5\xff\x00\x7f", 12));
    EXPECT_EQ(image.GetPixel(0, 0), 0u); // 1 is black, index 0
    EXPECT_EQ(image.GetPixel(1, 0), 1u);
    EXPECT_EQ(image.GetPixel(9, 0), 0u);
    EXPECT_EQ(image.GetPixel(0, 1), 1u);
    EXPECT_EQ(image.ScanLine(1)[1], 0x80) << "padding bits stay clear";
}

TEST(PnmReaderTest, HeadersThatAreNotPortablePicturesFail)
{
    // The reader itself is asked here: detection would not even pick it.
    const auto readError = [](const std::string& text, int index = 0) -> std::string {
        TPGBufferStream stream(text.data(), text.size());
        TPixelGraphic image;
        try {
            TPGMFileFormatReader().Read(stream, image, index);
        } catch (const EPGPxMFileFormatReader& e) {
            return e.what();
        }
        return "(loaded)";
    };
    EXPECT_EQ(readError("Q2 1 1 255 0"), "PBM, PGM, PPM: Not a PBM, PGM, PPM file");
    EXPECT_EQ(readError("P7 1 1 255 0"), "PBM, PGM, PPM: Unknown subformat");
    EXPECT_EQ(readError("Px 1 1 255 0"), "PBM, PGM, PPM: Unknown subformat");
    EXPECT_EQ(readError(""), "PBM, PGM, PPM: Unexpected end of file");
    EXPECT_EQ(readError("P2 1"), "PBM, PGM, PPM: Unexpected end of file");
    EXPECT_EQ(readError("P2 1 1 255 7", 1), "PxM: Index invalid");
    EXPECT_EQ(readError("P2 1 1 255 7"), "(loaded)");
    // Pillow's sample with a minus sign: digits are all that count.
    EXPECT_EQ(LoadError(ReadFile(testing::DataFile("pillow-subset/negative_size.ppm")), ""),
              "PBM, PGM, PPM: Unexpected end of file");
}

TEST(PnmReaderTest, DeclaredSizesBeyondTheDataFailAtOnce)
{
    const std::string end = "PBM, PGM, PPM: Unexpected end of file";
    for (const std::string text :
         {"P4\n100000 100000\n\xff\xff", "P1 100000 100000 01", "P5 30000 30000 255\n",
          "P6 2 2 255\n12345678901", "P3 2 1 255 1 2 3 4 5", "P2 99999999999 99999999999 255 1"}) {
        SCOPED_TRACE(text);
        TPixelGraphic image;
        int started = 0;
        image.OnProgressStart = [&](TPixelGraphic&) { ++started; };
        try {
            Load(image, text);
            ADD_FAILURE() << "loaded";
        } catch (const EPGPxMFileFormatReader& e) {
            EXPECT_EQ(e.what(), end);
        }
        EXPECT_TRUE(image.Empty());
        EXPECT_EQ(started, 0);
    }

    // Data that ends inside the rows keeps the rows before.
    TPixelGraphic image;
    try {
        Load(image, "P2 2 3 255\n100 101\n102 103\n104");
        ADD_FAILURE() << "loaded";
    } catch (const EPGPxMFileFormatReader& e) {
        EXPECT_EQ(e.what(), end);
    }
    ASSERT_EQ(image.Height(), 3);
    EXPECT_EQ(image.GetPixel(1, 1), 103u);
    EXPECT_EQ(image.GetPixel(0, 2), 104u);
}

TEST(PnmReaderTest, ProgressFollowsTheRows)
{
    TPixelGraphic image;
    std::vector<int> steps;
    int ended = 0;
    image.OnProgressEnd = [&](TPixelGraphic&) { ++ended; };
    image.OnProgress = [&](TPixelGraphic&, int step, int max, bool& abort) {
        steps.push_back(step);
        EXPECT_EQ(max, 3);
        abort = step == 1;
    };
    Load(image, "P2 1 3 255 1 2 3");
    EXPECT_EQ(steps, (std::vector<int>{0, 1}));
    EXPECT_EQ(image.GetPixel(0, 2), 0u);
    EXPECT_EQ(ended, 1);
    image.OnProgress = nullptr;
    EXPECT_THROW(Load(image, "P2 1 3 255 1 2 #"), EPGPxMFileFormatReader);
    EXPECT_EQ(ended, 2);
}

TEST(PnmReaderTest, EachExtensionRecognisesItsTwoKinds)
{
    for (const auto& [text, extension] :
         std::vector<std::pair<std::string, std::string>>{{"P1 1 1 1", "pbm"},
                                                          {"P4 1 1\n\x80", "pbm"},
                                                          {"P2 1 1 255 1", "pgm"},
                                                          {"P5 1 1 255\n\x01", "pgm"},
                                                          {"P3 1 1 255 1 2 3", "ppm"},
                                                          {"P6 1 1 255\n\x01\x02\x03", "ppm"}}) {
        TPGBufferStream stream(text.data(), text.size());
        const TFileFormatReader* reader = FileFormats().FindReader(stream, "");
        ASSERT_NE(reader, nullptr) << text;
        EXPECT_EQ(reader->Extension(), extension) << text;
    }
    EXPECT_EQ(LoadError("P7 1 1 255\n", "pgm"), "Unknown file format");
}

TEST(PnmInfoTest, DescribesKindAndSize)
{
    const auto info = [](const std::string& text, int index = 0) {
        TPGBufferStream stream(text.data(), text.size());
        TPGImageInfo result;
        TPPMFileFormatReader().GetInfo(stream, index, result);
        return result;
    };
    struct TCase {
        const char* Text;
        const char* Subformat;
        int Bits;
        const char* Colors;
    };
    for (const TCase c : {TCase{"P1 640 480", "ASCII", 1, "2"},
                          TCase{"P5\n# made by hand\n640 480 255\n", "Binary", 8, "256"},
                          TCase{"P6 640 #\n480 255\n", "Binary", 24, "16.7M"},
                          TCase{"P3\n640\n480\n", "ASCII", 24, "16.7M"}}) {
        SCOPED_TRACE(c.Text);
        const TPGImageInfo i = info(c.Text);
        EXPECT_EQ(i.Subformat, c.Subformat);
        EXPECT_EQ(i.BitsPerPixel, c.Bits);
        EXPECT_EQ(i.Colors, c.Colors);
        EXPECT_EQ(i.Width, 640);
        EXPECT_EQ(i.Height, 480);
        EXPECT_EQ(i.ImageCount, 1);
    }
    try {
        info("P2 1 1 255 0", 1);
        ADD_FAILURE() << "index 1 was accepted";
    } catch (const EPGPxMFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "PBM, PGM, PPM: Invalid value for Index");
    }
    EXPECT_THROW(info("P9 1 1"), EPGPxMFileFormatReader);
}

// A small picture of each kind the writers take.
void MakePictures(TPixelGraphic& bits, TPixelGraphic& gray, TPixelGraphic& rgb, int width,
                  int height, unsigned seed)
{
    std::mt19937 random(seed);
    bits.SetSize(width, height, bc1Bit);
    bits.SetPaletteIdent(pBlackWhite);
    gray.SetSize(width, height, bc8Bit);
    gray.SetPaletteIdent(pGray256);
    rgb.SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bits.SetPixel(x, y, random() & 1);
            gray.SetPixel(x, y, random() & 0xFF);
            rgb.SetPixel(x, y, random() & 0xFFFFFF);
        }
    }
}

TEST(PnmWriterTest, AsciiFilesHaveOneLinePerRow)
{
    TPixelGraphic bits, gray, rgb;
    MakePictures(bits, gray, rgb, 3, 2, 1);
    rgb.SetPixel(0, 0, RGB(1, 2, 3));
    rgb.SetPixel(1, 0, RGB(40, 50, 60));
    rgb.SetPixel(2, 0, RGB(255, 0, 255));
    rgb.SetPixel(0, 1, RGB(0, 0, 0));
    rgb.SetPixel(1, 1, RGB(7, 8, 9));
    rgb.SetPixel(2, 1, RGB(100, 200, 10));
    EXPECT_EQ(Saved(rgb, "ppm"),
              "P3\n3 2\n255\n1 2 3 40 50 60 255 0 255\n0 0 0 7 8 9 100 200 10\n");
    for (int i = 0; i < 6; ++i)
        gray.SetPixel(i % 3, i / 3, static_cast<std::uint32_t>(i * 50));
    EXPECT_EQ(Saved(gray, "pgm"), "P2\n3 2\n255\n0 50 100\n150 200 250\n");
    for (int i = 0; i < 6; ++i)
        bits.SetPixel(i % 3, i / 3, static_cast<std::uint32_t>(i % 2));
    EXPECT_EQ(Saved(bits, "pbm"), "P1\n3 2\n1 0 1\n0 1 0\n");

    // However wide the picture, a row stays on one line.
    TPixelGraphic wide;
    wide.SetSize(300, 2, bc24Bit);
    const std::string text = Saved(wide, "ppm");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 + 2);
}

TEST(PnmWriterTest, BinaryOutputIsALibrarySetting)
{
    TPixelGraphic bits, gray, rgb;
    MakePictures(bits, gray, rgb, 10, 1, 2);
    for (int x = 0; x < 10; ++x)
        bits.SetPixel(x, 0, x == 1 || x == 9 ? 1 : 0);
    gray.SetPixel(0, 0, 0x41);
    gray.SetPixel(1, 0, 0xF0);
    rgb.SetPixel(0, 0, RGB(1, 2, 3));
    {
        const TBinaryOutput binary;
        EXPECT_EQ(Saved(bits, "pbm"), std::string("P4\n10 1\n\xbf\x80", 10));
        const std::string g = Saved(gray, "pgm");
        EXPECT_EQ(g.substr(0, 14), "P5\n10 1\n255\nA\xf0");
        EXPECT_EQ(g.size(), 12u + 10);
        const std::string c = Saved(rgb, "ppm");
        EXPECT_EQ(c.substr(0, 15), std::string("P6\n10 1\n255\n\x01\x02\x03", 15));
        EXPECT_EQ(c.size(), 12u + 30);
    }
    EXPECT_EQ(Saved(bits, "pbm").substr(0, 3), "P1\n");
}

TEST(PnmWriterTest, EveryWriterRoundTripsAndNetpbmAgrees)
{
    TTempDir dir;
    TPixelGraphic bits, gray, rgb;
    MakePictures(bits, gray, rgb, 77, 5, 3);
    for (const bool binary : {false, true}) {
        PxMWriteBinary = binary;
        for (const auto& [image, extension] : std::vector<std::pair<TPixelGraphic*, std::string>>{
                 {&bits, "pbm"}, {&gray, "pgm"}, {&rgb, "ppm"}}) {
            SCOPED_TRACE(extension + (binary ? " binary" : " ASCII"));
            const std::string path = dir / ("written." + extension);
            image->SaveToFile(path);
            TPixelGraphic loaded;
            loaded.LoadFromFile(path);
            EXPECT_EQ(loaded.BitCount(), image->BitCount());
            EXPECT_EQ(loaded.PaletteIdent(), image->PaletteIdent());
            EXPECT_EQ(testing::MaxDifference(testing::RgbOf(loaded), testing::RgbOf(*image)), 0);
            // netpbm reads the file back as the same picture.
            const std::string netpbm = testing::ToolOutput({"pnmtopnm", path});
            if (!netpbm.empty()) {
                EXPECT_EQ(testing::MaxDifference(testing::ParsePnm(netpbm), testing::RgbOf(*image)),
                          0);
            }
        }
    }
    PxMWriteBinary = false;
}

// A writer for an extension the family does not know.
class TOddWriter : public TPXMFileFormatWriter {
public:
    TOddWriter() : TPXMFileFormatWriter("TOddWriter", "pnm", "Odd", AllColorResolutions) {}
};

TEST(PnmWriterTest, WritersCheckWhatTheyAreGiven)
{
    const auto writeError = [](const TFileFormatWriter& writer, TPixelGraphic& image) {
        TPGMemoryStream stream;
        try {
            writer.Write(stream, image);
        } catch (const EPGPxMFileFormatWriter& e) {
            return std::string(e.what());
        }
        return std::string("(written)");
    };
    TPixelGraphic bits, gray, rgb;
    MakePictures(bits, gray, rgb, 2, 2, 4);
    EXPECT_EQ(writeError(TPBMFileFormatWriter(), rgb), "PBM: Invalid color resolution");
    EXPECT_EQ(writeError(TPGMFileFormatWriter(), rgb), "PGM: Invalid color resolution");
    EXPECT_EQ(writeError(TPPMFileFormatWriter(), gray), "PPM: Invalid color resolution");
    EXPECT_EQ(writeError(TOddWriter(), rgb), "PBM, PGM, PPM: Unknown file extension \"pnm\"");
    TPixelGraphic empty;
    empty.SetSize(0, 3, bc1Bit);
    EXPECT_EQ(writeError(TPBMFileFormatWriter(), empty), "PBM, PGM, PPM: Width = 0 or Height = 0");
    EXPECT_EQ(writeError(TPPMFileFormatWriter(), rgb), "(written)");

    // Through the framework the resolution is settled before: a refused change is the
    // framework's error and leaves no file.
    TTempDir dir;
    rgb.SaveColorResWarningAction = pgwaRaise;
    EXPECT_THROW(rgb.SaveToFile(dir / "out.pgm"), EPGCannotWriteColorRes);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.pgm"));
}

TEST(PnmWriterTest, DirectlyWrittenPalettesShowTheirColours)
{
    // A black-and-white palette stored white first, and an 8-bit palette that is not grey:
    // the files show what the pictures show, not their indices.
    TPixelGraphic bits;
    bits.SetSize(2, 1, bc1Bit);
    bits.SetPaletteCount(2);
    bits.SetPaletteEntry(0, RGB(255, 255, 255));
    bits.SetPaletteEntry(1, RGB(0, 0, 0));
    bits.SetPixel(1, 0, 1);
    TPGMemoryStream stream;
    TPBMFileFormatWriter().Write(stream, bits);
    EXPECT_EQ(testing::Bytes(stream.Data()), "P1\n2 1\n0 1\n");

    TPixelGraphic colours;
    colours.SetSize(2, 1, bc8Bit);
    colours.SetPaletteCount(2);
    colours.SetPaletteEntry(0, RGB(30, 30, 30));
    colours.SetPaletteEntry(1, RGB(255, 255, 255));
    colours.SetPixel(1, 0, 1);
    TPGMemoryStream grays;
    TPGMFileFormatWriter().Write(grays, colours);
    EXPECT_EQ(testing::Bytes(grays.Data()), "P2\n2 1\n255\n30 255\n");
}

TEST(PnmOracleTest, NetpbmFilesReadLikeNetpbmsOwnValues)
{
    TTempDir dir;
    struct TCase {
        const char* Command; // writes a binary file to stdout
        const char* Name;
    };
    for (const TCase c :
         {TCase{"pbmmake -gray 13 5", "gray.pbm"}, TCase{"pgmramp -lr 17 5", "ramp.pgm"},
          TCase{"pgmramp -diagonal 9 4 | pnmdepth 15", "ramp15.pgm"},
          TCase{"ppmpat -gingham2 19 7", "gingham.ppm"},
          TCase{"ppmpat -gingham3 23 6 | pnmdepth 100", "gingham100.ppm"}}) {
        SCOPED_TRACE(c.Command);
        const std::string binary = dir / c.Name;
        const std::string plain = dir / (std::string("plain-") + c.Name);
        testing::Shell(std::string(c.Command) + " > '" + binary + "'");
        testing::Shell("pnmtoplainpnm '" + binary + "' > '" + plain + "'");
        TPixelGraphic image;
        image.LoadFromFile(binary);
        TPixelGraphic plainImage;
        plainImage.LoadFromFile(plain);
        EXPECT_EQ(testing::MaxDifference(testing::RgbOf(plainImage), testing::RgbOf(image)), 0)
            << "ASCII and binary read alike";
        // The values themselves: for maxval 255 exactly those netpbm stored; for others
        // v × 255 div maxval of the values netpbm stored.
        const std::string stored = testing::ToolOutput({"pnmtoplainpnm", binary});
        std::istringstream in(stored);
        std::string magic;
        int width = 0, height = 0, maxval = 1;
        in >> magic >> width >> height;
        if (magic != "P1")
            in >> maxval;
        const testing::TRgbPicture rgb = testing::RgbOf(image);
        const int samples = magic == "P3" ? 3 : 1;
        for (int i = 0; i < width * height; ++i) {
            for (int s = 0; s < samples; ++s) {
                char digit = 0;
                int v = 0;
                if (magic == "P1") {
                    in >> digit;
                    v = digit == '1' ? 0 : 255;
                } else {
                    in >> v;
                    v = v * 255 / maxval;
                }
                ASSERT_EQ(rgb.Pixels[static_cast<std::size_t>(i) * 3 + s], v) << "sample " << i;
            }
        }
    }
}

} // namespace
} // namespace scenaria
