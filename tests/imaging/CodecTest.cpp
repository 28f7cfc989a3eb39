// The readers built on libwebp, libheif and libjxl, against those formats' own tools from
// Debian: every file is made at test time by the format's encoder from a test picture and
// decoded to PNG by the format's decoder (dwebp, heif-convert, djxl); the reader must give the
// decoder's pixels (alpha composited over black, the FillColor of a new image), and for
// lossless files the test picture itself. Then orientation (HEIF irot/imir, WebP EXIF, JPEG XL's
// codestream), hostile headers, truncations and lying size fields.

#include "FormatOracles.h"
#include "FormatTestSupport.h"
#include "ReaderTestSupport.h"
#include "TempDir.h"

#include "imaging/FileFormats.h"
#include "imaging/Orientation.h"
#include "imaging/PixelGraphic.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

// Under LeakSanitizer: libheif 1.15's dav1d plugin loses 40 bytes inside libdav1d for a
// broken AV1 bitstream, as the truncation rows make (tests/data/crashes/heif/NOTES.md). The
// reader's own leaks are still reported.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdav1d.so\n";
}

namespace scenaria {
namespace {

using testing::DataFile;
using testing::MaxDifference;
using testing::ReadFile;
using testing::RgbOf;
using testing::Shell;
using testing::TRgbPicture;
using testing::TTempDir;

constexpr int Width = 40;
constexpr int Height = 24;

// The test pictures every row starts from: rgb.png, alpha.png (the same with alpha falling
// from left to right), gray.png, rgb16.png (16 bits a channel), mirror.png (rgb.png mirrored,
// the second frame of animations).
void MakeSources(const TTempDir& dir)
{
    dir.Write("rgb.ppm", testing::TestPatternPpm(Width, Height));
    Shell("cd '" + dir.Path().string() +
          "'; convert-im6.q16 rgb.ppm rgb.png;"
          " convert-im6.q16 rgb.ppm \\( -size 24x40 gradient:white-black -rotate 90 \\)"
          " -alpha off -compose CopyOpacity -composite PNG32:alpha.png;"
          " convert-im6.q16 rgb.ppm -colorspace Gray -type Grayscale gray.png;"
          " convert-im6.q16 rgb.ppm -depth 16 PNG48:rgb16.png;"
          " convert-im6.q16 rgb.ppm -flop mirror.png");
}

// A PNG decoded by libpng to straight 8-bit RGBA, then composited over black the way the
// readers composite (rounded, in the file's own values).
TRgbPicture ReadPngOverBlack(const std::string& path)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        throw std::runtime_error("libpng cannot read " + path);
    png.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(png));
    if (!png_image_finish_read(&png, nullptr, rgba.data(), 0, nullptr))
        throw std::runtime_error("libpng cannot decode " + path);
    TRgbPicture rgb{static_cast<int>(png.width), static_cast<int>(png.height), {}};
    for (std::size_t i = 0; i < rgba.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            rgb.Pixels.push_back(
                static_cast<std::uint8_t>((rgba[i + c] * rgba[i + 3] + 127) / 255));
    return rgb;
}

TRgbPicture Load(const std::string& path, int& orientation)
{
    TPixelGraphic image;
    image.ReadWarningAction = pgwaRaise;
    image.LoadFromFile(path);
    orientation = image.Orientation;
    return RgbOf(image);
}

// One file: how it is made from which test picture, how the format's tool decodes it, and
// how far the reader may be from that decode (0 but where the row says why).
struct TGoldenRow {
    const char* Name;
    const char* Source;
    const char* Encode; // shell; from in.png (a copy of Source) to out.<ext>
    const char* Extension;
    const char* Decode; // shell; writes oracle.png from out.<ext>
    int Tolerance;
    bool Lossless;      // the test picture itself must come back
    const char* Reader; // the reader's description
};

const TGoldenRow GoldenRows[] = {
#if SCENARIA_HAVE_WEBP
    {"WebpLossy", "rgb.png", "cwebp -quiet -q 70 in.png -o out.webp", "webp",
     "dwebp -quiet out.webp -o oracle.png", 0, false, "WebP"},
    {"WebpLossless", "rgb.png", "cwebp -quiet -lossless in.png -o out.webp", "webp",
     "dwebp -quiet out.webp -o oracle.png", 0, true, "WebP"},
    {"WebpLossyAlpha", "alpha.png", "cwebp -quiet -q 70 -exact in.png -o out.webp", "webp",
     "dwebp -quiet out.webp -o oracle.png", 0, false, "WebP"},
    {"WebpLosslessAlpha", "alpha.png", "cwebp -quiet -lossless -exact in.png -o out.webp", "webp",
     "dwebp -quiet out.webp -o oracle.png", 0, false, "WebP"},
    // The first frame of an animation; libwebp's frame extractor and dwebp make the oracle.
    {"WebpAnimatedFirstFrame", "rgb.png", "img2webp -lossless in.png -d 80 mirror.png -o out.webp",
     "webp", "webpmux -get frame 1 out.webp -o frame.webp && dwebp -quiet frame.webp -o oracle.png",
     0, true, "WebP"},
#endif
#if SCENARIA_HAVE_HEIF
    {"Heic", "rgb.png", "heif-enc -q 60 in.png -o out.heic", "heic",
     "heif-convert out.heic oracle.png", 0, false, "High Efficiency Image (HEVC)"},
    {"HeicAlpha", "alpha.png", "heif-enc -q 60 in.png -o out.heic", "heic",
     "heif-convert out.heic oracle.png", 0, false, "High Efficiency Image (HEVC)"},
    // heif-convert writes 16-bit PNG for 10-bit files, which ImageMagick reduces to 8 bits;
    // that and libheif's own reduction may round the last bit differently.
    {"Heic10Bit", "rgb16.png", "heif-enc -b 10 -q 60 in.png -o out.heic", "heic",
     "heif-convert out.heic o16.png && convert-im6.q16 o16.png -depth 8 oracle.png", 1, false,
     "High Efficiency Image (HEVC)"},
    {"Avif", "rgb.png", "heif-enc -q 60 in.png -o out.avif", "avif",
     "heif-convert out.avif oracle.png", 0, false, "AV1 Image File"},
    {"AvifAlpha", "alpha.png", "heif-enc -q 60 in.png -o out.avif", "avif",
     "heif-convert out.avif oracle.png", 0, false, "AV1 Image File"},
    // 4:2:2, because Debian's libaom stops on an assertion for 10-bit 4:2:0 and 4:4:4 here.
    {"Avif10Bit", "rgb16.png", "heif-enc -b 10 -q 60 -p chroma=422 in.png -o out.avif", "avif",
     "heif-convert out.avif o16.png && convert-im6.q16 o16.png -depth 8 oracle.png", 1, false,
     "AV1 Image File"},
    // libaom's lossless mode, which libheif's conversion to RGB leaves a step off in places:
    // the decoder's pixels exactly, the test picture within 1 (HeifTurnTest below relies on it).
    {"AvifLossless", "rgb.png",
     "heif-enc -L -p chroma=444 --matrix_coefficients=0 in.png -o out.avif", "avif",
     "heif-convert out.avif oracle.png", 0, false, "AV1 Image File"},
#endif
#if SCENARIA_HAVE_JXL
    {"JxlLossless", "rgb.png", "cjxl -d 0 in.png out.jxl", "jxl", "djxl out.jxl oracle.png", 0,
     true, "JPEG XL"},
    {"JxlLossy", "rgb.png", "cjxl -d 1.5 in.png out.jxl", "jxl", "djxl out.jxl oracle.png", 0,
     false, "JPEG XL"},
    {"JxlAlpha", "alpha.png", "cjxl -d 0 in.png out.jxl", "jxl", "djxl out.jxl oracle.png", 0,
     false, "JPEG XL"},
    {"JxlGray", "gray.png", "cjxl -d 0 in.png out.jxl", "jxl", "djxl out.jxl oracle.png", 0, false,
     "JPEG XL"},
    // djxl keeps the 16 bits; ImageMagick reduces them, libjxl rounds on its own.
    {"Jxl16Bit", "rgb16.png", "cjxl -d 0 in.png out.jxl", "jxl",
     "djxl out.jxl o16.png && convert-im6.q16 o16.png -depth 8 oracle.png", 1, false, "JPEG XL"},
    // djxl writes every frame; the PNG's own image is the first. (The GIF between has
    // quantised the colours, so only the decoder's pixels count.)
    {"JxlAnimatedFirstFrame", "rgb.png",
     "convert-im6.q16 -delay 10 in.png mirror.png anim.gif && cjxl -d 0 anim.gif out.jxl", "jxl",
     "djxl out.jxl oracle.png", 0, false, "JPEG XL"},
#endif
};

class CodecGoldenTest : public ::testing::TestWithParam<TGoldenRow> {};

TEST_P(CodecGoldenTest, DecodesLikeTheFormatsOwnTool)
{
    const TGoldenRow& row = GetParam();
    TTempDir dir;
    MakeSources(dir);
    const std::string cd = "cd '" + dir.Path().string() + "'; cp " + row.Source + " in.png; ";
    Shell(cd + row.Encode + " >/dev/null 2>&1");
    Shell("cd '" + dir.Path().string() + "'; " + row.Decode + " >/dev/null");
    const std::string file = dir / (std::string("out.") + row.Extension);

    TPGFileStream stream(file, TPGFileStream::fmOpenRead);
    const TFileFormatReader* reader = FileFormats().FindReader(stream, "");
    ASSERT_NE(reader, nullptr) << "recognised by its first bytes";
    EXPECT_EQ(reader->Description(), row.Reader);

    int orientation = 0;
    const TRgbPicture mine = Load(file, orientation);
    EXPECT_EQ(orientation, 1);
    const TRgbPicture oracle = ReadPngOverBlack(dir / "oracle.png");
    ASSERT_EQ(mine.Width, oracle.Width);
    ASSERT_EQ(mine.Height, oracle.Height);
    EXPECT_LE(MaxDifference(mine, oracle), row.Tolerance);
    if (row.Lossless) {
        EXPECT_EQ(MaxDifference(mine, ReadPngOverBlack(dir / row.Source)), 0);
    }

    TPGImageInfo info;
    stream.Seek(0);
    reader->GetInfo(stream, 0, info);
    EXPECT_EQ(info.Width, Width);
    EXPECT_EQ(info.Height, Height);
    EXPECT_EQ(info.Orientation, 1);
    if (std::string(row.Name).ends_with("10Bit")) {
        EXPECT_NE(info.Subformat.find("10 bit"), std::string::npos) << info.Subformat;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CodecGoldenTest, ::testing::ValuesIn(GoldenRows),
                         [](const auto& row) { return std::string(row.param.Name); });

// ---- Orientation -------------------------------------------------------------------------

#if SCENARIA_HAVE_HEIF
// libheif applies irot and imir itself: the reader reports the pixels as upright and
// ApplyOrientation must leave them alone. The oracle is the test picture turned by
// ImageMagick, from a lossless file.
struct THeifTurnRow {
    const char* Name;
    const char* Arguments; // of tests/imaging/heif-transform.py: quarter turns [mirror axis]
    const char* Turn;      // the same for ImageMagick
};

const THeifTurnRow HeifTurnRows[] = {
    {"QuarterTurnAnticlockwise", "1", "-rotate -90"},
    {"HalfTurn", "2", "-rotate 180"},
    {"ThreeQuarterTurns", "3", "-rotate 90"},
    {"TurnThenMirrorTopToBottom", "1 0", "-rotate -90 -flip"},
    {"MirrorLeftToRight", "0 1", "-flop"},
};

class HeifTurnTest : public ::testing::TestWithParam<THeifTurnRow> {};

TEST_P(HeifTurnTest, TheDecoderTurnsAndNothingTurnsAgain)
{
    TTempDir dir;
    MakeSources(dir);
    const std::string script = testing::SourceFolder() + "/tests/imaging/heif-transform.py";
    Shell("cd '" + dir.Path().string() +
          "'; heif-enc -L -p chroma=444 --matrix_coefficients=0 rgb.png -o plain.avif >/dev/null"
          " && python3 '" +
          script + "' plain.avif turned.avif " + GetParam().Arguments +
          " && convert-im6.q16 rgb.png " + GetParam().Turn + " expected.png");
    TPixelGraphic image;
    image.LoadFromFile(dir / "turned.avif");
    EXPECT_EQ(image.Orientation, 1);
    ApplyOrientation(image);
    // Within the step of libaom's lossless mode (AvifLossless above); a wrong turn is far off.
    EXPECT_LE(MaxDifference(RgbOf(image), ReadPngOverBlack(dir / "expected.png")), 1);
}

INSTANTIATE_TEST_SUITE_P(Files, HeifTurnTest, ::testing::ValuesIn(HeifTurnRows),
                         [](const auto& row) { return std::string(row.param.Name); });
#endif

#if SCENARIA_HAVE_JXL
// libjxl is told to keep the stored orientation, so the reader reports it and the one place
// that turns pictures does; the result must be djxl's, which turns by default.
TEST(JxlOrientation, ReportedKeptAndTurnedOnceLikeDjxl)
{
    TTempDir dir;
    MakeSources(dir);
    Shell("cd '" + dir.Path().string() +
          "'; cp rgb.png tagged.png && exiftool -q -overwrite_original -n -Orientation=6 "
          "tagged.png && cjxl -d 0 tagged.png out.jxl >/dev/null 2>&1 && "
          "djxl out.jxl oracle.png >/dev/null 2>&1");
    TPixelGraphic image;
    image.LoadFromFile(dir / "out.jxl");
    EXPECT_EQ(image.Orientation, 6);
    EXPECT_EQ(image.Width(), Width) << "stored, not turned";
    EXPECT_EQ(MaxDifference(RgbOf(image), ReadPngOverBlack(dir / "rgb.png")), 0);
    ApplyOrientation(image);
    const TRgbPicture oracle = ReadPngOverBlack(dir / "oracle.png");
    EXPECT_EQ(oracle.Width, Height) << "djxl turned it";
    EXPECT_EQ(MaxDifference(RgbOf(image), oracle), 0);
}
#endif

#if SCENARIA_HAVE_WEBP
TEST(WebpOrientation, TheExifChunkIsReported)
{
    TTempDir dir;
    MakeSources(dir);
    Shell("cd '" + dir.Path().string() +
          "'; cp rgb.png tagged.png && exiftool -q -overwrite_original -n -Orientation=8 "
          "tagged.png && exiftool -b -EXIF tagged.png > exif.bin && "
          "cwebp -quiet -lossless rgb.png -o plain.webp && "
          "webpmux -set exif exif.bin plain.webp -o out.webp >/dev/null && "
          "convert-im6.q16 rgb.png -rotate -90 expected.png");
    TPixelGraphic image;
    image.LoadFromFile(dir / "out.webp");
    EXPECT_EQ(image.Orientation, 8);
    ApplyOrientation(image);
    EXPECT_EQ(MaxDifference(RgbOf(image), ReadPngOverBlack(dir / "expected.png")), 0);
}
#endif

// ---- Hostile files -----------------------------------------------------------------------

std::string LoadMessage(const std::string& bytes)
{
    TPixelGraphic image;
    try {
        testing::LoadBytes(image, bytes);
    } catch (const EPixelGraphic& e) {
        return e.what();
    } catch (const EStreamError& e) {
        return std::string("stream: ") + e.what();
    }
    return "(loaded)";
}

std::uint32_t Get32Le(const std::string& s, std::size_t at)
{
    return static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8 |
           static_cast<std::uint8_t>(s[at + 2]) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 3])) << 24;
}

std::string Le32(std::uint32_t v)
{
    std::string s;
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
}

// Every sixteenth of the file but the whole: a clear error each, with the format's tag. An
// animation cut after its first frame still has the picture that is shown, and may load.
void ExpectEveryTruncationFails(const std::string& file, const std::string& tag,
                                bool animation = false)
{
    int loaded = 0;
    for (int sixteenths = 0; sixteenths < 16; ++sixteenths) {
        const std::string cut = file.substr(0, file.size() * sixteenths / 16);
        const std::string message = LoadMessage(cut);
        SCOPED_TRACE(std::to_string(sixteenths) + "/16 of " + std::to_string(file.size()) +
                     " bytes: " + message);
        if (sixteenths == 0)
            EXPECT_EQ(message, "Unknown file format");
        else if (animation && message == "(loaded)")
            ++loaded;
        else
            EXPECT_EQ(message.rfind(tag, 0), 0u);
    }
    EXPECT_LT(loaded, 15) << "some cut of an animation must lose its first frame";
}

#if SCENARIA_HAVE_WEBP
std::string Riff(const std::string& body)
{
    return "RIFF" + Le32(static_cast<std::uint32_t>(4 + body.size())) + "WEBP" + body;
}

std::string Chunk(const std::string& kind, const std::string& payload)
{
    std::string s = kind + Le32(static_cast<std::uint32_t>(payload.size())) + payload;
    if (payload.size() % 2)
        s += '\0';
    return s;
}

// The lossless bitstream (VP8L chunk) of a picture cwebp makes, without its container.
std::string LosslessChunk(const TTempDir& dir)
{
    Shell("cd '" + dir.Path().string() +
          "'; convert-im6.q16 -size 3x2 xc:red px.png && cwebp -quiet -lossless px.png -o px.webp");
    const std::string file = ReadFile(dir / "px.webp");
    return file.substr(12, 8 + Get32Le(file, 16));
}

TEST(WebpHostile, AHugeCanvasIsRefusedBeforeAnythingIsReserved)
{
    TTempDir dir;
    const std::string frame = LosslessChunk(dir);
    // An animation of one 3 x 2 frame on a canvas of 65 535 x 65 535.
    const std::string vp8x = Chunk("VP8X", std::string("\x02\0\0\0", 4) + Le32(65534).substr(0, 3) +
                                               Le32(65534).substr(0, 3));
    const std::string anim = Chunk("ANIM", std::string(6, '\0'));
    const std::string anmf =
        Chunk("ANMF", std::string(6, '\0') + Le32(2).substr(0, 3) + Le32(1).substr(0, 3) +
                          Le32(100).substr(0, 3) + std::string(1, '\0') + frame);
    EXPECT_EQ(LoadMessage(Riff(vp8x + anim + anmf)), "WEBP: Invalid size of image");
    // The same canvas on a still picture: libwebp finds the bitstream does not fill it.
    EXPECT_EQ(LoadMessage(Riff(Chunk("VP8X", std::string(4, '\0') + Le32(65534).substr(0, 3) +
                                                 Le32(65534).substr(0, 3)) +
                               frame))
                  .rfind("WEBP: ", 0),
              0u);
}

TEST(WebpHostile, TruncationsAndLyingSizes)
{
    TTempDir dir;
    MakeSources(dir);
    Shell("cd '" + dir.Path().string() +
          "'; cwebp -quiet -q 70 alpha.png -o still.webp && "
          "img2webp -lossless rgb.png -d 80 mirror.png -o anim.webp >/dev/null");
    for (const char* name : {"still.webp", "anim.webp"}) {
        SCOPED_TRACE(name);
        const std::string file = ReadFile(dir / name);
        ExpectEveryTruncationFails(file, "WEBP: ", std::string(name) == "anim.webp");
        std::string riff = file;
        riff.replace(4, 4, Le32(0x7FFFFFF0)); // the RIFF size says far more than there is
        EXPECT_EQ(LoadMessage(riff).rfind("WEBP: ", 0), 0u) << LoadMessage(riff);
        std::string chunk = file;
        chunk.replace(16, 4, Le32(0xFFFFFFF0)); // so does the first chunk's
        EXPECT_EQ(LoadMessage(chunk).rfind("WEBP: ", 0), 0u) << LoadMessage(chunk);
    }
}
#endif

#if SCENARIA_HAVE_HEIF
std::string Be32(std::uint32_t v)
{
    std::string s;
    for (int i = 3; i >= 0; --i)
        s += static_cast<char>(v >> (8 * i) & 0xFF);
    return s;
}

// heif-enc's file with every ispe box (the stored size) saying width x height.
std::string WithIspe(std::string file, std::uint32_t width, std::uint32_t height)
{
    for (std::size_t at = file.find("ispe"); at != std::string::npos;
         at = file.find("ispe", at + 4))
        file.replace(at + 8, 8, Be32(width) + Be32(height));
    return file;
}

class HeifHostileTest : public ::testing::TestWithParam<const char*> {};

TEST_P(HeifHostileTest, HugeHeadersTruncationsAndLyingSizes)
{
    const std::string extension = GetParam();
    const std::string tag = extension == "avif" ? "AVIF: " : "HEIF: ";
    TTempDir dir;
    MakeSources(dir);
    Shell("cd '" + dir.Path().string() + "'; heif-enc -q 50 alpha.png -o out." + extension +
          " >/dev/null");
    const std::string file = ReadFile(dir / ("out." + extension));
    // Refused by libheif while it parses the file, before anything is reserved: a side over
    // 16 384 (the side of the pixel budget's square), even when the area is within the budget.
    const std::string limit = tag + "Memory allocation error: Security limit exceeded: Image size ";
    EXPECT_EQ(LoadMessage(WithIspe(file, 65535, 65535)),
              limit + "65535x65535 exceeds the maximum image size 16384x16384");
    EXPECT_EQ(LoadMessage(WithIspe(file, 16385, 4)).rfind(limit, 0), 0u)
        << LoadMessage(WithIspe(file, 16385, 4));
    ExpectEveryTruncationFails(file, tag);
    // The second top-level box (meta) claims more bytes than the file holds.
    std::string lying = file;
    const std::size_t meta =
        static_cast<std::uint8_t>(file[2]) << 8 | static_cast<std::uint8_t>(file[3]);
    ASSERT_EQ(file.substr(meta + 4, 4), "meta");
    lying.replace(meta, 4, Be32(0x7FFFFFF0));
    EXPECT_EQ(LoadMessage(lying).rfind(tag, 0), 0u) << LoadMessage(lying);
}

INSTANTIATE_TEST_SUITE_P(Formats, HeifHostileTest, ::testing::Values("heic", "avif"));
#endif

#if SCENARIA_HAVE_JXL
// A bare codestream header: signature, the size header (both sides 65 535 through the 18-bit
// form) and all-default image metadata, followed by zeros.
std::string HugeJxlHeader()
{
    std::vector<int> bits;
    const auto put = [&bits](std::uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            bits.push_back(static_cast<int>(value >> i & 1));
    };
    put(0, 1); // not small
    put(2, 2); // height - 1 in 18 bits
    put(65534, 18);
    put(0, 3); // no ratio: the width follows
    put(2, 2);
    put(65534, 18);
    put(1, 1); // metadata all default
    std::string s = "\xFF\x0A";
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        int byte = 0;
        for (std::size_t b = 0; b < 8 && i + b < bits.size(); ++b)
            byte |= bits[i + b] << b;
        s += static_cast<char>(byte);
    }
    return s + std::string(64, '\0');
}

TEST(JxlHostile, HugeHeadersTruncationsAndLyingSizes)
{
    EXPECT_EQ(LoadMessage(HugeJxlHeader()), "JXL: Invalid size of image");
    TPGImageInfo info;
    const std::string header = HugeJxlHeader();
    TPGBufferStream stream(header.data(), header.size());
    FileFormats().FindReader(stream, "")->GetInfo(stream, 0, info);
    EXPECT_EQ(info.Width, 65535) << "described without decoding";

    TTempDir dir;
    MakeSources(dir);
    Shell("cd '" + dir.Path().string() +
          "'; cjxl -d 1 alpha.png still.jxl >/dev/null 2>&1 && "
          "convert-im6.q16 -delay 10 rgb.png mirror.png anim.gif && "
          "cjxl -d 0 anim.gif anim.jxl >/dev/null 2>&1 && "
          "cp rgb.png tagged.png && exiftool -q -overwrite_original -n -Orientation=6 tagged.png"
          " && cjxl -d 0 tagged.png boxed.jxl >/dev/null 2>&1");
    for (const char* name : {"still.jxl", "anim.jxl", "boxed.jxl"}) {
        SCOPED_TRACE(name);
        const std::string file = ReadFile(dir / name);
        ExpectEveryTruncationFails(file, "JXL: ", std::string(name) == "anim.jxl");
    }
    // A container whose codestream box claims far more than the file holds: libjxl reads
    // what is there, which is the whole codestream, and nothing is reserved for the rest.
    const std::string boxed = ReadFile(dir / "boxed.jxl");
    const std::size_t at = boxed.find("jxlc");
    ASSERT_NE(at, std::string::npos) << "cjxl keeps the Exif data in a container";
    std::string lying = boxed;
    lying.replace(at - 4, 4, std::string("\x7F\xFF\xFF\xF0", 4));
    EXPECT_EQ(LoadMessage(lying), "(loaded)");
    // The same box also cut short ends in an error.
    EXPECT_EQ(LoadMessage(lying.substr(0, lying.size() - 40)).rfind("JXL: ", 0), 0u);
}
#endif

} // namespace
} // namespace scenaria
