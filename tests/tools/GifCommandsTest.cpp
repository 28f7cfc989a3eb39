#include "../gif/GifTestSupport.h"
#include "RunProgram.h"
#include "TempDir.h"

#include "imaging/PixelGraphic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace scenaria {
namespace {

using testing::RunTool;
using testing::TGifBuilder;
using testing::TTempDir;

std::string WriteBytes(const TTempDir& dir, const std::string& name, const testing::TBytes& bytes)
{
    return dir.Write(name, std::string(bytes.begin(), bytes.end()));
}

TEST(ToolGif, PrintsTheBannerOneFactALine)
{
    TTempDir dir;
    TGIFImage banner;
    testing::MakeBanner(banner);
    banner.SaveToFile(dir / "banner.gif");
    const auto r = RunTool({"gif", dir / "banner.gif"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out,
              "version: 89a\n"
              "screen: 320x80\n"
              "global colors: 256\n"
              "background: 0\n"
              "loop: 0\n"
              "frame 0: at 0,0 size 320x80 interlaced 0 local colors 0 disposal 1 delay 50 "
              "transparent 255\n"
              "frame 1: at 0,0 size 320x80 interlaced 0 local colors 0 disposal 1 delay 100 "
              "transparent 255\n"
              "frame 2: at 0,0 size 320x80 interlaced 0 local colors 0 disposal 1 delay 100 "
              "transparent 255\n"
              "frame 3: at 20,10 size 100x40 interlaced 1 local colors 0 disposal 1 delay 200 "
              "transparent 255\n"
              "frame 4: at 0,0 size 0x0 interlaced 0 local colors 0 disposal none delay none "
              "transparent none\n"
              "comment: Scenaria banner\n");
}

TEST(ToolGif, PrintsCommentsWarningsAndTheErrorAfterTheFramesRead)
{
    TTempDir dir;
    TGifBuilder gif;
    gif.Header(4, 2, 2, "GIF87a", 3).Comment({"first", "line\nbreak \\ here"});
    gif.GraphicControl(2, 0).Descriptor(2, 0, 2, 2, 0x81).ColorTable(2);
    gif.LiteralData({0, 1, 2, 3}).Raw({0x99}).Trailer();
    auto r = RunTool({"gif", WriteBytes(dir, "warn.gif", gif.Bytes)});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "version: 87a\n"
                     "screen: 4x2\n"
                     "global colors: 4\n"
                     "background: 3\n"
                     "loop: none\n"
                     "frame 0: at 2,0 size 2x2 interlaced 0 local colors 4 disposal 2 delay 0 "
                     "transparent none\n"
                     "comment: first\n"
                     "comment: line\\x0Abreak \\\\ here\n"
                     "warning: Unknown GIF block type\n"
                     "warning: Invalid Image trailer\n");

    TGifBuilder failing;
    failing.Header(2, 2).Descriptor(0, 0, 2, 2).LiteralData({1, 0, 0, 1});
    failing.Raw({0x21, 0xFA, 0}).Trailer();
    r = RunTool({"gif", WriteBytes(dir, "fail.gif", failing.Bytes)});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Out,
              "version: 89a\n"
              "screen: 2x2\n"
              "global colors: 2\n"
              "background: 0\n"
              "loop: none\n"
              "frame 0: at 0,0 size 2x2 interlaced 0 local colors 0 disposal none delay none "
              "transparent none\n"
              "error: Unknown extension type\n");

    r = RunTool({"gif", WriteBytes(dir, "not.gif", {'P', 'N', 'G', '8', '9', 'a'})});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Out, "error: Invalid GIF signature\n");

    r = RunTool({"gif", dir / "missing.gif"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Out.rfind("error: Cannot open file", 0), 0u) << r.Out;
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The bitmap holds the frame's pixels and its colour table, padded with black to 'entries'.
void ExpectFrameBitmap(const std::string& file, const TGIFSubImage& frame, int entries)
{
    SCOPED_TRACE(file);
    const std::string bytes = testing::ReadFile(file);
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ(bytes[28], 8) << "bits per pixel";
    TPixelGraphic bitmap;
    bitmap.LoadFromFile(file);
    ASSERT_EQ(bitmap.Width(), frame.Width());
    ASSERT_EQ(bitmap.Height(), frame.Height());
    ASSERT_EQ(bitmap.BitCount(), bc8Bit);
    const TGIFColorMap& colors = frame.ActiveColorMap();
    ASSERT_EQ(bitmap.PaletteCount(), entries);
    for (int i = 0; i < entries; ++i) {
        const TGIFColor c = i < colors.Count() ? colors.Data()[i] : TGIFColor{};
        EXPECT_EQ(bitmap.PaletteEntry(i), RGB(c.Red, c.Green, c.Blue)) << i;
    }
    for (int y = 0; y < frame.Height(); ++y)
        for (int x = 0; x < frame.Width(); ++x)
            ASSERT_EQ(bitmap.GetPixel(x, y), frame.Pixel(x, y)) << x << "," << y;
}

TEST(ToolGif, DumpsEachFramesPixelsAsAnEightBitBitmap)
{
    TTempDir dir;
    TGIFImage banner;
    testing::MakeBanner(banner);
    banner.SaveToFile(dir / "banner.gif");
    auto r = RunTool({"gif", dir / "banner.gif", "--dump", dir / "frames"});
    ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
    // Frame 4 holds only the comment.
    EXPECT_EQ(FilesIn(dir / "frames"),
              (std::vector<std::string>{"frame-000.bmp", "frame-001.bmp", "frame-002.bmp",
                                        "frame-003.bmp"}));
    for (int n = 0; n < 4; ++n)
        ExpectFrameBitmap(dir / ("frames/frame-00" + std::to_string(n) + ".bmp"),
                          banner.Images()[n], 256);

    // A local table of two entries and a pixel of 6: the palette reaches as far as the pixels.
    TGifBuilder gif;
    gif.Header(3, 2, 2).Descriptor(0, 0, 3, 2, 0x80).ColorTable(1);
    gif.LiteralData({0, 1, 0, 1, 0, 6}, 3).Trailer();
    r = RunTool({"gif", WriteBytes(dir, "odd.gif", gif.Bytes), "--dump", dir / "odd"});
    ASSERT_EQ(r.ExitCode, 0) << r.Out << r.Err;
    TGIFImage odd;
    odd.LoadFromFile(dir / "odd.gif");
    EXPECT_EQ(FilesIn(dir / "odd"), (std::vector<std::string>{"frame-000.bmp"}));
    ExpectFrameBitmap(dir / "odd/frame-000.bmp", odd.Images()[0], 7);
}

TEST(ToolGif, RefusesAWrongCommandLine)
{
    EXPECT_EQ(RunTool({"gif"}).ExitCode, 1);
    EXPECT_EQ(RunTool({"gif", "a.gif", "b.gif"}).ExitCode, 1);
    const auto r = RunTool({"gif", "a.gif", "--bogus"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("unknown option --bogus"), std::string::npos);
}

} // namespace
} // namespace scenaria
