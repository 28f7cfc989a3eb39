#include "OrientedPictures.h"
#include "RunProgram.h"
#include "TempDir.h"

#include "imaging/PixelGraphic.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace scenaria {
namespace {

using testing::DataFile;
using testing::ReadFile;
using testing::RunTool;
using testing::TTempDir;

TEST(ToolInfo, PrintsWhatTheReaderSees)
{
    const auto r = RunTool({"info", DataFile("bmpsuite/g/pal8rle.bmp")});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "format: Bitmap\n"
                     "width: 127\n"
                     "height: 64\n"
                     "bits: 8\n"
                     "colors: 256\n"
                     "subformat: Windows, RLE8\n"
                     "remark: \n"
                     "images: 1\n"
                     "orientation: 1\n");
}

TEST(ToolInfo, DescribesPngFiles)
{
    const auto r = RunTool({"info", DataFile("pngsuite/tbbn3p08.png")});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "format: Portable Network Graphics\n"
                     "width: 32\n"
                     "height: 32\n"
                     "bits: 8\n"
                     "colors: 256\n"
                     "subformat: palette\n"
                     "remark: (gama, plte, trns, bkgd)\n"
                     "images: 1\n"
                     "orientation: 1\n");
    const auto broken = RunTool({"info", DataFile("pngsuite/xhdn0g08.png")});
    EXPECT_EQ(broken.ExitCode, 1);
    EXPECT_EQ(broken.Err, "PNG: IHDR: CRC error\n");
}

TEST(ToolInfo, DescribesTiffFiles)
{
    const auto r = RunTool({"info", DataFile("libtiff-images/palette-1c-4b.tiff")});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "format: Tagged Image File Format\n"
                     "width: 157\n"
                     "height: 151\n"
                     "bits: 4\n"
                     "colors: 16\n"
                     "subformat: M, Uncompr., RGB Palette\n"
                     "remark: \n"
                     "images: 1\n"
                     "orientation: 1\n");
    const auto fax = RunTool({"info", DataFile("generated/tiff-g4.tif")});
    EXPECT_EQ(fax.ExitCode, 0) << fax.Err;
    EXPECT_NE(fax.Out.find("remark: (Unsupported compression)\n"), std::string::npos) << fax.Out;
}

TEST(ToolInfo, FailuresGiveTheLibraryMessage)
{
    TTempDir dir;
    auto r = RunTool({"info", dir.Write("notes.bmp", "not a picture at all")});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "Unknown file format\n");
    EXPECT_EQ(r.Out, "");
    r = RunTool({"info", DataFile("bmpsuite/g/pal8v5.bmp")});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "BMP: Invalid size of BitmapInfoHeader/BitmapCoreHeader\n");
    r = RunTool({"info"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("scenarix-tool info:"), std::string::npos) << r.Err;
}

TEST(ToolConvert, ResizesAndReducesColours)
{
    TTempDir dir;
    const std::string out = dir / "small.bmp";
    auto r = RunTool({"convert", DataFile("bmpsuite/g/rgb24.bmp"), out, "--resize", "32x16",
                      "--stretch-mode", "fast"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    TPixelGraphic image;
    image.LoadFromFile(out);
    EXPECT_EQ(image.Width(), 32);
    EXPECT_EQ(image.Height(), 16);
    EXPECT_EQ(image.BitCount(), bc24Bit);

    // A palette image keeps its depth and palette when resized.
    r = RunTool({"convert", DataFile("bmpsuite/g/pal4.bmp"), out, "--resize", "10x10"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    TPixelGraphic source;
    source.LoadFromFile(DataFile("bmpsuite/g/pal4.bmp"));
    image.LoadFromFile(out);
    EXPECT_EQ(image.BitCount(), bc4Bit);
    ASSERT_EQ(image.PaletteCount(), source.PaletteCount());
    for (int i = 0; i < source.PaletteCount(); ++i)
        EXPECT_EQ(image.PaletteEntry(i), source.PaletteEntry(i));

    r = RunTool({"convert", DataFile("bmpsuite/g/rgb24.bmp"), out, "--colors", "24"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    image.LoadFromFile(out);
    EXPECT_EQ(image.BitCount(), bc8Bit);
    EXPECT_LE(image.PaletteCount(), 24);
    EXPECT_EQ(image.Width(), 127);

    r = RunTool({"convert", DataFile("bmpsuite/g/rgb24.bmp"), out, "--colors", "8"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    image.LoadFromFile(out);
    EXPECT_LE(image.PaletteCount(), 8);
}

TEST(ToolConvert, WritesJpegAtTheQualityAsked)
{
    TTempDir dir;
    const std::string low = dir / "low.jpg", high = dir / "high.JPG";
    auto r = RunTool({"convert", DataFile("bmpsuite/g/rgb24.bmp"), low, "--quality", "30"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    r = RunTool({"convert", DataFile("bmpsuite/g/rgb24.bmp"), high, "--quality", "95"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_LT(ReadFile(low).size(), ReadFile(high).size());
    r = RunTool({"info", high});
    EXPECT_EQ(r.Out, "format: JPEG (JFIF compliant)\n"
                     "width: 127\n"
                     "height: 64\n"
                     "bits: 24\n"
                     "colors: 16.7M\n"
                     "subformat: JFIF, YCbCr\n"
                     "remark: \n"
                     "images: 1\n"
                     "orientation: 1\n");

    // A palette picture needs --force to become a JPEG.
    const std::string out = dir / "pal.jpg";
    r = RunTool({"convert", DataFile("bmpsuite/g/pal8.bmp"), out});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "The graphic cannot be saved with to a JPEG (JFIF compliant) file with the "
                     "current color resolution (256 colors)\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    r = RunTool({"convert", DataFile("bmpsuite/g/pal8.bmp"), out, "--force"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(RunTool({"info", out}).Out.find("bits: 24\n"), std::string::npos);

    // And back: a JPEG to a bitmap.
    const std::string bmp = dir / "back.bmp";
    r = RunTool({"convert", high, bmp});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    TPixelGraphic image;
    image.LoadFromFile(bmp);
    EXPECT_EQ(image.Width(), 127);
    EXPECT_EQ(image.BitCount(), bc24Bit);
}

TEST(ToolConvert, WritesAndReadsPng)
{
    TTempDir dir;
    const std::string png = dir / "picture.png";
    auto r = RunTool({"convert", DataFile("bmpsuite/g/pal4.bmp"), png});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadFile(png).substr(1, 3), "PNG");
    const std::string bmp = dir / "back.bmp";
    r = RunTool({"convert", png, bmp});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    TPixelGraphic source, back;
    source.LoadFromFile(DataFile("bmpsuite/g/pal4.bmp"));
    back.LoadFromFile(bmp);
    ASSERT_EQ(back.BitCount(), bc4Bit);
    ASSERT_EQ(back.Width(), source.Width());
    for (int y = 0; y < source.Height(); ++y)
        for (int x = 0; x < source.Width(); ++x)
            ASSERT_EQ(back.GetPixelColor(x, y), source.GetPixelColor(x, y)) << x << "," << y;

    // A broken PNG fails with libpng's words and leaves no output.
    const std::string out = dir / "out.bmp";
    r = RunTool({"convert", DataFile("pngsuite/xcsn0g01.png"), out});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "PNG: IDAT: CRC error\n");
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(ToolConvert, WritesAndReadsTiff)
{
    TTempDir dir;
    const std::string tif = dir / "picture.TIFF";
    auto r = RunTool({"convert", DataFile("bmpsuite/g/rgb24.bmp"), tif});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadFile(tif).substr(0, 4), std::string("II*\0", 4));
    const std::string png = dir / "back.png";
    r = RunTool({"convert", tif, png});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    TPixelGraphic source, back;
    source.LoadFromFile(DataFile("bmpsuite/g/rgb24.bmp"));
    back.LoadFromFile(png);
    ASSERT_EQ(back.Width(), source.Width());
    ASSERT_EQ(back.Height(), source.Height());
    for (int y = 0; y < source.Height(); ++y)
        for (int x = 0; x < source.Width(); ++x)
            ASSERT_EQ(back.GetPixel(x, y), source.GetPixel(x, y)) << x << "," << y;

    // TIFF stores no two-colour palette but black and white: that needs --force.
    const std::string out = dir / "one.tif";
    r = RunTool({"convert", DataFile("bmpsuite/g/pal1bg.bmp"), out});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(out));
    r = RunTool({"convert", DataFile("bmpsuite/g/pal1bg.bmp"), out, "--force"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_NE(RunTool({"info", out}).Out.find("bits: 4\n"), std::string::npos);

    r = RunTool({"convert", DataFile("generated/tiff-g4.tif"), dir / "fax.bmp"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "TIFF: Unsupported compression Group 4 Fax\n");
}

bool SamePixels(const TPixelGraphic& a, const TPixelGraphic& b)
{
    return a.Width() == b.Width() && a.Height() == b.Height() && a.BitCount() == b.BitCount() &&
           std::memcmp(a.PixelData(), b.PixelData(), a.ImageSize()) == 0;
}

TEST(ToolConvert, EveryOrientationIsWrittenUprightUnlessKept)
{
    TTempDir dir;
    TPixelGraphic upright;
    testing::PaintUpright(upright, 30, 20);
    for (int k = 1; k <= 8; ++k) {
        SCOPED_TRACE("orientation " + std::to_string(k));
        TPixelGraphic stored;
        testing::StoredFor(upright, k, stored);
        const std::string in = dir.Write("photo.png", testing::PngWithOrientation(stored, k));

        const auto info = RunTool({"info", in});
        EXPECT_NE(info.Out.find("\norientation: " + std::to_string(k) + "\n"), std::string::npos)
            << info.Out;

        ASSERT_EQ(RunTool({"convert", in, dir / "upright.bmp"}).ExitCode, 0);
        TPixelGraphic converted;
        converted.LoadFromFile(dir / "upright.bmp");
        EXPECT_TRUE(SamePixels(converted, upright));

        ASSERT_EQ(RunTool({"convert", in, dir / "kept.bmp", "--keep-orientation"}).ExitCode, 0);
        TPixelGraphic kept;
        kept.LoadFromFile(dir / "kept.bmp");
        EXPECT_TRUE(SamePixels(kept, stored));
    }
    // --resize means the picture as it is seen: 20 x 30 stored, turned to 30 x 20 first.
    TPixelGraphic stored;
    testing::StoredFor(upright, 6, stored);
    const std::string in = dir.Write("photo.png", testing::PngWithOrientation(stored, 6));
    ASSERT_EQ(RunTool({"convert", in, dir / "small.bmp", "--resize", "15x10"}).ExitCode, 0);
    TPixelGraphic small;
    small.LoadFromFile(dir / "small.bmp");
    EXPECT_EQ(small.Width(), 15);
    EXPECT_EQ(small.Height(), 10);
}

// scenarix-tool started under a umask, as from a user's shell.
testing::TRunResult RunToolUnderUmask(const std::string& mask, const std::vector<std::string>& args)
{
    std::vector<std::string> argv{"/bin/sh", "-c", "umask " + mask + " && exec \"$0\" \"$@\"",
                                  testing::BuiltProgram("scenarix-tool")};
    argv.insert(argv.end(), args.begin(), args.end());
    return testing::RunProgram(argv);
}

unsigned ModeOf(const std::string& path)
{
    return static_cast<unsigned>(std::filesystem::status(path).permissions() &
                                 std::filesystem::perms::mask);
}

TEST(ToolConvert, ANewPictureGetsTheUmasksModeAndAReplacedOneKeepsItsOwn)
{
    TTempDir dir;
    const std::string source = DataFile("bmpsuite/g/rgb24.bmp");
    for (const auto& [mask, mode] : std::vector<std::pair<std::string, unsigned>>{
             {"022", 0644}, {"027", 0640}, {"002", 0664}}) {
        for (const char* extension : {".bmp", ".jpg"}) {
            const std::string out = dir / ("new-" + mask + extension);
            const auto r = RunToolUnderUmask(mask, {"convert", source, out});
            ASSERT_EQ(r.ExitCode, 0) << r.Err;
            EXPECT_EQ(ModeOf(out), mode) << "umask " << mask << ", " << extension;
        }
    }
    const std::string kept = dir / "kept.bmp";
    ASSERT_EQ(RunTool({"convert", source, kept}).ExitCode, 0);
    for (const unsigned mode : {0600u, 0660u}) {
        std::filesystem::permissions(kept, static_cast<std::filesystem::perms>(mode));
        const auto r = RunToolUnderUmask("022", {"convert", source, kept, "--resize", "8x8"});
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(ModeOf(kept), mode);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 7)
        << "nothing left beside them";
}

TEST(ToolConvert, FailuresLeaveNoOutputBehind)
{
    TTempDir dir;
    const std::string gif = dir / "out.gif";
    auto r = RunTool({"convert", DataFile("bmpsuite/g/rgb24.bmp"), gif});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "Unknown file extension \"gif\"\n");
    EXPECT_FALSE(std::filesystem::exists(gif));

    const std::string out = dir / "out.bmp";
    r = RunTool({"convert", dir.Write("junk.bmp", "BM junk"), out});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "BMP: Unexpected end of file\n");
    EXPECT_FALSE(std::filesystem::exists(out));

    // The old output survives a failed conversion.
    dir.Write("out.bmp", "kept");
    r = RunTool({"convert", DataFile("bmpsuite/b/badplanes.bmp"), out});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "BMP: BitmapInfoHeader.biPlanes invalid\n");
    EXPECT_EQ(ReadFile(out), "kept");

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"convert", "in.bmp"},
             {"convert", "in.bmp", out, "--resize", "10"},
             {"convert", "in.bmp", out, "--resize", "0x10"},
             {"convert", "in.bmp", out, "--stretch-mode", "fast"},
             {"convert", "in.bmp", out, "--resize", "4x4", "--stretch-mode", "slow"},
             {"convert", "in.bmp", out, "--colors", "1"},
             {"convert", "in.bmp", out, "--colors", "257"},
             {"convert", "in.bmp", out, "--quality", "101"},
             {"convert", "in.bmp", out, "--quality", "high"}}) {
        r = RunTool(args);
        EXPECT_EQ(r.ExitCode, 1) << args.back();
        EXPECT_NE(r.Err.find("scenarix-tool convert:"), std::string::npos) << r.Err;
    }
    EXPECT_EQ(ReadFile(out), "kept");
}

} // namespace
} // namespace scenaria
