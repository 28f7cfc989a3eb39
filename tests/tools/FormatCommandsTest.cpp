// scenarix-tool info and convert on Paintbrush, Targa and portable bitmap, graymap and pixmap
// files.

#include "RunProgram.h"
#include "TempDir.h"

#include "imaging/PixelGraphic.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace scenaria {
namespace {

using testing::DataFile;
using testing::ReadFile;
using testing::RunTool;
using testing::TTempDir;

TEST(ToolInfo, DescribesPaintbrushTargaAndPortableFiles)
{
    auto r = RunTool({"info", DataFile("pillow-subset/odd_stride.pcx")});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "format: Paintbrush\n"
                     "width: 371\n"
                     "height: 150\n"
                     "bits: 8\n"
                     "colors: 256\n"
                     "subformat: Version 3.0 (5)\n"
                     "remark: \n"
                     "images: 1\n"
                     "orientation: 1\n");

    r = RunTool({"info", DataFile("pillow-subset/tga/common/200x32_p_tl_rle.tga")});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "format: Truevision Targa\n"
                     "width: 200\n"
                     "height: 32\n"
                     "bits: 8\n"
                     "colors: 256\n"
                     "subformat: Run-length encoded\n"
                     "remark: Color-mapped\n"
                     "images: 1\n"
                     "orientation: 1\n");

    TTempDir dir;
    r = RunTool({"info", dir.Write("any name", "P6\n# from a scanner\n1024 768\n255\n")});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "format: Portable Pixelmap\n"
                     "width: 1024\n"
                     "height: 768\n"
                     "bits: 24\n"
                     "colors: 16.7M\n"
                     "subformat: Binary\n"
                     "remark: \n"
                     "images: 1\n"
                     "orientation: 1\n");

    // Targa files are known by their name only.
    const std::string targa = ReadFile(DataFile("pillow-subset/tga/common/200x32_p_tl_rle.tga"));
    r = RunTool({"info", dir.Write("targa.dat", targa)});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "Unknown file format\n");
}

TEST(ToolConvert, MovesPicturesBetweenTheFormats)
{
    TTempDir dir;
    TPixelGraphic source;
    source.LoadFromFile(DataFile("bmpsuite/g/rgb24.bmp"));

    // 24 bits through Targa and an ASCII pixmap come back unchanged.
    const std::string tga = dir / "picture.tga";
    const std::string ppm = dir / "picture.ppm";
    auto r = RunTool({"convert", DataFile("bmpsuite/g/rgb24.bmp"), tga});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    r = RunTool({"convert", tga, ppm});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadFile(ppm).substr(0, 11), "P3\n127 64\n2");
    TPixelGraphic image;
    image.LoadFromFile(ppm);
    ASSERT_EQ(image.Width(), source.Width());
    ASSERT_EQ(image.Height(), source.Height());
    for (int y = 0; y < image.Height(); y += 7)
        for (int x = 0; x < image.Width(); x += 5)
            ASSERT_EQ(image.GetPixel(x, y), source.GetPixel(x, y)) << x << "," << y;

    // Fewer colours only with --force, and then as the writer's own kind.
    const std::string pgm = dir / "picture.pgm";
    r = RunTool({"convert", ppm, pgm});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "The graphic cannot be saved with to a Portable Graymap file with the current "
                     "color resolution (16.7 million colors)\n");
    EXPECT_FALSE(std::filesystem::exists(pgm));
    r = RunTool({"convert", ppm, pgm, "--force"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    image.LoadFromFile(pgm);
    EXPECT_EQ(image.PaletteIdent(), pGray256);
    const std::string pbm = dir / "picture.pbm";
    r = RunTool({"convert", pgm, pbm, "--force"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(ReadFile(pbm).substr(0, 10), "P1\n127 64\n");

    // A Paintbrush file becomes a bitmap.
    const std::string bmp = dir / "from.bmp";
    r = RunTool({"convert", DataFile("pillow-subset/odd_stride.pcx"), bmp});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    image.LoadFromFile(bmp);
    EXPECT_EQ(image.Width(), 371);
    EXPECT_EQ(image.BitCount(), bc8Bit);

    // Readers' failures come through with their own messages.
    r = RunTool({"convert", dir.Write("short.pgm", "P5 400 400 255\nabc"), dir / "out.bmp"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "PBM, PGM, PPM: Unexpected end of file\n");
    r = RunTool(
        {"convert", DataFile("pillow-subset/cross_scan_line_truncated.tga"), dir / "out.bmp"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "TGA: Unexpected end of file\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "out.bmp"));
}

} // namespace
} // namespace scenaria
