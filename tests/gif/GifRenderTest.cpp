// Frames turned into pixels: palettes, masks, frame rectangles, transparency, dithering, and
// whole animations composed by the painter beside Pillow's composition of the same files.

#include "GifTestSupport.h"
#include "RunProgram.h"
#include "TempDir.h"

#include "imaging/gif/GifCanvas.h"
#include "imaging/gif/GifImage.h"
#include "imaging/gif/GifPainter.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace scenaria {
namespace {

namespace fs = std::filesystem;
using testing::LoadGif;
using testing::TBytes;
using testing::TGifBuilder;

const TColor Paper = RGB(10, 200, 30);

// A true-colour surface filled with Paper.
struct TSurface {
    TPixelGraphic Image;
    TGIFBitmapCanvas Canvas{Image};

    TSurface(int width, int height)
    {
        Image.SetSize(width, height, bc24Bit);
        Canvas.FillRect({0, 0, width, height}, Paper);
    }
    TColor At(int x, int y) const { return Image.GetPixelColor(x, y); }
};

TColor GlobalColor(int i)
{
    // The builder's global table: colour i = (i, 255 - i, i / 2).
    return RGB(i, 255 - i, i / 2);
}

TEST(GifPalettes, PictureWithoutColourTablesFailsToDrawWithTheMessage)
{
    TGifBuilder gif;
    gif.Header(2, 2, 0).Descriptor(0, 0, 2, 2).LiteralData({0, 1, 1, 0}).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    TSurface surface(2, 2);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            image.Draw(surface.Canvas, {0, 0, 2, 2});
            ADD_FAILURE() << "drawing a picture without colours succeeded";
        } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "No global or local color table defined");
        }
    }
    // The guard is down again: a picture with a table draws.
    TGifBuilder good;
    good.Header(2, 2, 1).Descriptor(0, 0, 2, 2).LiteralData({0, 1, 1, 0}).Trailer();
    TGIFImage other;
    ASSERT_EQ(LoadGif(other, good.Bytes), "");
    other.Draw(surface.Canvas, {0, 0, 2, 2});
    EXPECT_EQ(surface.At(1, 0), GlobalColor(1));
}

TEST(GifPalettes, FramePaletteComesFromTheLocalTableElseThePicture)
{
    TGifBuilder gif;
    gif.Header(2, 1, 2);
    gif.Descriptor(0, 0, 2, 1).LiteralData({0, 1});
    gif.Descriptor(0, 0, 2, 1, 0x80).Raw({9, 8, 7, 6, 5, 4}).LiteralData({1, 0}).Trailer();
    TGIFImage image;
    image.DrawOptions &= ~doDither;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    const TGIFPalette global = image.Images()[0].Palette();
    ASSERT_TRUE(global);
    EXPECT_EQ(global, image.Palette()) << "the picture's palette, not a copy";
    EXPECT_EQ(global->size(), 4u);
    const TGIFPalette local = image.Images()[1].Palette();
    ASSERT_EQ(local->size(), 2u);
    EXPECT_EQ((*local)[1], RGB(6, 5, 4));
    EXPECT_EQ(image.Images()[1].Palette(), local) << "cached";
    // A new global table forgets the picture's palette.
    image.Header().ColorMap().Add(TGIFColor{1, 2, 3});
    EXPECT_NE(image.Palette(), global);
}

TEST(GifMasks, MaskOnlyWhereTheTransparentColourIsUsed)
{
    auto load = [](int transparent, const TBytes& pixels, TGIFImage& image) {
        TGifBuilder gif;
        gif.Header(17, 2, 2).GraphicControl(1, 0, transparent);
        gif.Descriptor(0, 0, 17, 2).LiteralData(pixels).Trailer();
        ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    };
    TBytes pixels(34, 1);
    {
        TGIFImage unused;
        load(3, pixels, unused);
        EXPECT_TRUE(unused.Images()[0].Transparent());
        EXPECT_FALSE(unused.Images()[0].HasMask());
        EXPECT_EQ(unused.Images()[0].Mask(), nullptr);
    }
    pixels[0] = 3;  // row 0, first pixel
    pixels[16] = 3; // row 0, seventeenth: the third byte of a four-byte row
    pixels[17 + 9] = 3;
    TGIFImage used;
    load(3, pixels, used);
    ASSERT_TRUE(used.Images()[0].HasMask());
    const TGIFMask& mask = *used.Images()[0].Mask();
    EXPECT_EQ(TGIFMask::RowBytes(17), 4);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 17; ++x)
            EXPECT_EQ(mask.Transparent(x, y), pixels[std::size_t(y * 17 + x)] == 3)
                << x << "," << y;
}

TEST(GifFrameRects, MappedWithMulDivRounding)
{
    EXPECT_EQ(MulDiv(1, 3, 2), 2); // 1.5 rounds up
    EXPECT_EQ(MulDiv(-1, 3, 2), -2);
    EXPECT_EQ(MulDiv(1, 4, 3), 1);
    EXPECT_EQ(MulDiv(5, 5, 0), -1);

    // A frame at left 20 of a 320-wide screen, drawn at twice the size, starts 40 pixels in.
    TGifBuilder gif;
    gif.Header(320, 80, 2).Descriptor(20, 10, 100, 40).LiteralData(TBytes(4000, 2)).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    EXPECT_EQ(image.Images()[0].ScaleRect({0, 0, 640, 160}).Left, 40);
    TSurface surface(640, 160);
    image.Draw(surface.Canvas, {0, 0, 640, 160});
    EXPECT_EQ(surface.At(39, 20), Paper);
    EXPECT_EQ(surface.At(40, 20), GlobalColor(2));
    EXPECT_EQ(surface.At(239, 99), GlobalColor(2));
    EXPECT_EQ(surface.At(240, 99), Paper);
    EXPECT_EQ(surface.At(40, 100), Paper);

    // Offset rectangles and odd scales round to the nearest pixel.
    const TRect odd = image.Images()[0].ScaleRect({5, 7, 5 + 3, 7 + 3});
    EXPECT_EQ(odd.Left, 5 + 0);   // 20 * 3 / 320 = 0.19
    EXPECT_EQ(odd.Right, 5 + 1);  // 120 * 3 / 320 = 1.125
    EXPECT_EQ(odd.Bottom, 7 + 2); // 50 * 3 / 80 = 1.875
}

TEST(GifDrawing, TransparentColourIsLeftOutOnlyWithDoTransparent)
{
    TGifBuilder gif;
    gif.Header(2, 1, 2).GraphicControl(1, 0, 3).Descriptor(0, 0, 2, 1).LiteralData({3, 1});
    gif.Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    TSurface shown(4, 2);
    image.Draw(shown.Canvas, {0, 0, 4, 2});
    EXPECT_EQ(shown.At(0, 0), Paper);
    EXPECT_EQ(shown.At(1, 1), Paper);
    EXPECT_EQ(shown.At(2, 0), GlobalColor(1));

    image.DrawOptions &= ~doTransparent;
    TSurface painted(4, 2);
    image.Draw(painted.Canvas, {0, 0, 4, 2});
    EXPECT_EQ(painted.At(0, 0), GlobalColor(3));
    EXPECT_EQ(painted.At(1, 1), GlobalColor(3));
}

// A canvas whose drawing asks for the picture to be drawn again elsewhere, as a message served
// during drawing would.
class TReenteringCanvas : public TGIFBitmapCanvas {
public:
    TReenteringCanvas(TPixelGraphic& image, TGIFImage& picture, TGIFCanvas& other)
        : TGIFBitmapCanvas(image), picture_(picture), other_(other)
    {
    }
    void StretchDraw(const TRect& rect, const TPixelGraphic& graphic) override
    {
        picture_.Draw(other_, rect);
        TGIFBitmapCanvas::StretchDraw(rect, graphic);
    }

private:
    TGIFImage& picture_;
    TGIFCanvas& other_;
};

TEST(GifDrawing, DrawEnteredWhileDrawingDoesNothing)
{
    TGifBuilder gif;
    gif.Header(2, 1, 2).Descriptor(0, 0, 2, 1).LiteralData({1, 2}).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    TSurface outer(2, 1), inner(2, 1);
    TReenteringCanvas canvas(outer.Image, image, inner.Canvas);
    image.Draw(canvas, {0, 0, 2, 1});
    EXPECT_EQ(outer.At(0, 0), GlobalColor(1));
    EXPECT_EQ(inner.At(0, 0), Paper) << "the draw entered meanwhile drew nothing";
    // Afterwards drawing works again.
    image.Draw(inner.Canvas, {0, 0, 2, 1});
    EXPECT_EQ(inner.At(1, 0), GlobalColor(2));
}

struct TLowColor {
    TLowColor() { LowColorDisplay = true; }
    ~TLowColor() { LowColorDisplay = false; }
};

TEST(GifDithering, LowColourDisplaysGetTheWebCubeAndErrorsClampAtLevelZero)
{
    const TGIFPalette cube = WebCubePalette();
    ASSERT_EQ(cube->size(), 216u);
    EXPECT_EQ((*cube)[36 * 5 + 6 * 2 + 1], RGB(255, 102, 51));

    // Grey 26 rounds up to level 1 (51) and leaves an error of -25 to its right neighbour;
    // grey 5 with that error is below zero and must stay at level 0, not wrap. The second
    // row runs right to left; its pixel 1 is transparent and keeps its own rounded level.
    TGifBuilder gif;
    gif.Header(3, 2, 0).GraphicControl(1, 0, 3).Descriptor(0, 0, 3, 2, 0x81);
    gif.Raw({26, 26, 26, 5, 5, 5, 250, 250, 250, 200, 0, 0});
    gif.LiteralData({0, 1, 1, 2, 3, 2}).Trailer();
    TLowColor lowColor;
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    TGIFSubImage& frame = image.Images()[0];
    EXPECT_EQ(*frame.Palette(), *cube);
    TPixelGraphic& bitmap = frame.Bitmap();
    EXPECT_EQ(bitmap.PaletteCount(), 216);
    EXPECT_EQ(bitmap.GetPixel(0, 0), 36u + 6 + 1);
    EXPECT_EQ(bitmap.GetPixel(1, 0), 0u);
    EXPECT_EQ(bitmap.GetPixel(1, 1), 36u * 4);
    EXPECT_TRUE(frame.HasMask());
    EXPECT_TRUE(frame.Mask()->Transparent(1, 1));

    // Without doDitherLowColor even a true-colour display dithers; without doDither none does.
    LowColorDisplay = false;
    TGIFImage plain;
    ASSERT_EQ(LoadGif(plain, gif.Bytes), "");
    EXPECT_FALSE(plain.Dithering());
    plain.DrawOptions &= ~doDitherLowColor;
    EXPECT_TRUE(plain.Dithering());
}

TEST(GifRendering, ProgressIsReportedAndAnAbortKeepsThePartRendered)
{
    TGifBuilder gif;
    gif.Header(4, 70, 2).Descriptor(0, 0, 4, 70).LiteralData(TBytes(280, 1)).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    std::vector<std::string> reports;
    image.OnProgress = [&](const TGIFItem* sender, TGIFProgressStage stage, int percent,
                           const std::string& text) {
        EXPECT_EQ(sender, &image.Images()[0]);
        reports.push_back(std::to_string(stage) + " " + std::to_string(percent) + " " + text);
        if (stage == gpsRunning && percent > 0)
            throw EAbort();
    };
    TPixelGraphic& bitmap = image.Images()[0].Bitmap();
    EXPECT_EQ(reports, (std::vector<std::string>{"0 0 Rendering...", "1 0 Rendering...",
                                                 "1 45 Rendering...", "2 100 Rendering..."}));
    EXPECT_EQ(bitmap.GetPixel(0, 31), 1u);
    EXPECT_EQ(bitmap.GetPixel(0, 32), 0u) << "rows after the abort stay unrendered";
}

// A clock that never sleeps: waits end at once (unless the stop event is set).
class TInstantClock : public IGIFClock {
public:
    std::uint32_t TickCount() override { return 0; }
    void Sleep(int) override {}
    bool Wait(TGIFEvent& event, int) override { return event.WaitFor(0); }
};

struct TInstantClockScope {
    TInstantClock Clock;
    TInstantClockScope() { SetGIFClock(&Clock); }
    ~TInstantClockScope() { SetGIFClock(nullptr); }
};

// Plays a file once on the caller's thread over a sentinel colour and keeps every frame shown.
std::vector<TPixelGraphic*>
Compose(TGIFImage& image, std::vector<std::unique_ptr<TPixelGraphic>>& keep, TColor sentinel)
{
    TInstantClockScope clock;
    TPixelGraphic target;
    target.SetSize(image.Width(), image.Height(), bc24Bit);
    TGIFBitmapCanvas canvas(target);
    canvas.FillRect({0, 0, image.Width(), image.Height()}, sentinel);
    std::vector<TPixelGraphic*> shown;
    image.OnPainterFrame = [&](int) {
        keep.push_back(std::make_unique<TPixelGraphic>());
        keep.back()->Assign(&target);
        shown.push_back(keep.back().get());
    };
    image.DrawOptions &= ~(doThreaded | doLoop);
    image.StartPainter(canvas, {0, 0, image.Width(), image.Height()}, image.DrawOptions);
    image.OnPainterFrame = nullptr;
    return shown;
}

TBytes ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return TBytes((std::istreambuf_iterator<char>(in)), {});
}

// The displayed frames of a file as RGBA, rows top to bottom, from an independent source.
struct TOracle {
    int Width = 0;
    int Height = 0;
    std::vector<TBytes> Frames;
};

// Pillow's composition (tests/gif/pillow-frames.py); nothing when Pillow refuses the file.
std::optional<TOracle> PillowFrames(const fs::path& file)
{
    testing::TTempDir out;
    const auto run = testing::RunProgram(
        {"/usr/bin/python3", scenaria::testing::SourceFolder() + "/tests/gif/pillow-frames.py",
         file.string(), out.Path().string()});
    if (run.ExitCode != 0)
        return std::nullopt;
    TOracle oracle;
    int frames = 0;
    std::istringstream(run.Out) >> oracle.Width >> oracle.Height >> frames;
    for (int f = 0; f < frames; ++f)
        oracle.Frames.push_back(ReadAll(out.Path() / ("frame-" + std::to_string(f) + ".rgba")));
    return oracle;
}

// The composed frames that come with Peter Nelson's suite (frames/<name>-<n>.png).
std::optional<TOracle> SuiteFrames(const fs::path& file)
{
    TOracle oracle;
    for (int f = 0;; ++f) {
        const fs::path png = file.parent_path() / "frames" /
                             (file.stem().string() + "-" + std::to_string(f) + ".png");
        if (!fs::exists(png))
            break;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, png.string().c_str()))
            return std::nullopt;
        image.format = PNG_FORMAT_RGBA;
        TBytes rgba(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr))
            return std::nullopt;
        oracle.Width = int(image.width);
        oracle.Height = int(image.height);
        oracle.Frames.push_back(std::move(rgba));
    }
    if (oracle.Frames.empty())
        return std::nullopt;
    return oracle;
}

// Plays every animation of a suite and compares each displayed frame with the oracle's. The
// painter draws over a sentinel colour; where the oracle leaves a pixel transparent, the
// sentinel must show. Pillow paints the background colour where no frame has drawn yet and
// where disposal 2 restores the background; the painter (with doTransparent) leaves what lay
// under the picture there, so with Pillow the sentinel is also right where no frame has reached
// yet and where it shows the background colour.
int CompareComposition(const fs::path& dir, bool pillow)
{
    const TColor sentinel = RGB(1, 254, 3);
    int compared = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".gif")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        TGIFImage image;
        if (LoadGif(image, ReadAll(entry.path())) != "" || image.Images().Count() < 2 ||
            image.Width() == 0 || image.Height() == 0)
            continue; // refused or still pictures: the decoding tests cover them
        bool emptyBeforeLast = false;
        for (int i = 0; i + 1 < image.Images().Count(); ++i)
            emptyBeforeLast = emptyBeforeLast || image.Images()[i].Empty();
        if (emptyBeforeLast)
            continue; // an empty frame ends the painter's pass; decoders go on
        const auto oracle = pillow ? PillowFrames(entry.path()) : SuiteFrames(entry.path());
        // Frames beyond the screen make Pillow grow its frames; the picture keeps its logical
        // screen, and the decoding tests check those images inside it.
        if (!oracle || oracle->Width != image.Width() || oracle->Height != image.Height())
            continue;
        TColor background = sentinel;
        const TGIFColorMap& global = image.Header().ColorMap();
        if (image.Header().Descriptor.BackgroundColorIndex < global.Count()) {
            const TGIFColor c = global.Data()[image.Header().Descriptor.BackgroundColorIndex];
            background = RGB(c.Red, c.Green, c.Blue);
        }

        std::vector<std::unique_ptr<TPixelGraphic>> keep;
        const auto shown = Compose(image, keep, sentinel);
        EXPECT_GE(shown.size(), oracle->Frames.size());
        for (std::size_t f = 0; f < std::min(shown.size(), oracle->Frames.size()); ++f) {
            const TBytes& rgba = oracle->Frames[f];
            EXPECT_EQ(rgba.size(), std::size_t(4 * image.Width() * image.Height()));
            if (rgba.size() != std::size_t(4 * image.Width() * image.Height()))
                continue;
            auto reached = [&](int x, int y) {
                for (std::size_t i = 0; i <= f; ++i) {
                    const TGIFSubImage& frame = image.Images()[int(i)];
                    if (x >= frame.Left() && x < frame.Left() + frame.Width() && y >= frame.Top() &&
                        y < frame.Top() + frame.Height())
                        return true;
                }
                return false;
            };
            int mismatches = 0;
            for (int y = 0; y < image.Height(); ++y) {
                for (int x = 0; x < image.Width(); ++x) {
                    const std::uint8_t* p = &rgba[4 * (std::size_t(y) * image.Width() + x)];
                    const TColor want = p[3] == 0 ? sentinel : RGB(p[0], p[1], p[2]);
                    const TColor got = shown[f]->GetPixelColor(x, y);
                    if (got == want ||
                        (pillow && got == sentinel && (want == background || !reached(x, y))))
                        continue;
                    if (++mismatches <= 3)
                        ADD_FAILURE() << "frame " << f << " pixel " << x << "," << y << ": "
                                      << std::hex << got << " instead of " << want;
                }
            }
        }
        ++compared;
    }
    return compared;
}

TEST(GifComposition, AnimationsAgreeWithTheSuitesComposedFrames)
{
    EXPECT_EQ(CompareComposition(
                  fs::path(scenaria::testing::TestDataFolder()) / "gifsuite-peterdn/gifs", false),
              11);
}

TEST(GifComposition, AnimationsAgreeWithPillow)
{
    ASSERT_EQ(std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null"), 0)
        << "Pillow is missing: install the Debian package python3-pil";
    EXPECT_EQ(
        CompareComposition(fs::path(scenaria::testing::TestDataFolder()) / "gifsuite-pygif", true),
        14);
}

} // namespace
} // namespace scenaria
