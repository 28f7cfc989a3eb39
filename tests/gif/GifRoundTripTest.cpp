// Saving: what the encoder and the writer produce must come back identical through the codec
// itself and through giflib, an independent decoder.

#include "GifTestSupport.h"
#include "RunProgram.h"
#include "TempDir.h"

#include "imaging/gif/GifImage.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <sstream>

namespace scenaria {
namespace {

using testing::FramePixels;
using testing::LoadGif;
using testing::MakeBanner;
using testing::TBytes;
using testing::TGifBuilder;
using testing::TGifEvents;
using testing::TTempDir;

TBytes Save(TGIFImage& image)
{
    TPGMemoryStream stream;
    image.SaveToStream(stream);
    return stream.Data();
}

// A table comes back with the same entries, padded with black to the size its descriptor
// announces.
void ExpectSameColors(const TGIFColorMap& a, const TGIFColorMap& b)
{
    ASSERT_GE(b.Count(), a.Count());
    for (int i = 0; i < b.Count(); ++i)
        EXPECT_EQ(b.Data()[i], i < a.Count() ? a.Data()[i] : TGIFColor{}) << "colour " << i;
}

void ExpectSameModel(const TGIFImage& a, const TGIFImage& b)
{
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_EQ(a.Height(), b.Height());
    ExpectSameColors(a.Header().ColorMap(), b.Header().ColorMap());
    ASSERT_EQ(a.Images().Count(), b.Images().Count());
    for (int n = 0; n < a.Images().Count(); ++n) {
        SCOPED_TRACE("frame " + std::to_string(n));
        const TGIFSubImage& fa = a.Images()[n];
        const TGIFSubImage& fb = b.Images()[n];
        EXPECT_EQ(fa.Left(), fb.Left());
        EXPECT_EQ(fa.Top(), fb.Top());
        EXPECT_EQ(fa.Width(), fb.Width());
        EXPECT_EQ(fa.Height(), fb.Height());
        EXPECT_EQ(fa.Interlaced(), fb.Interlaced());
        EXPECT_EQ(fa.Transparent(), fb.Transparent());
        ExpectSameColors(fa.ColorMap(), fb.ColorMap());
        EXPECT_TRUE(FramePixels(fa) == FramePixels(fb));
        ASSERT_EQ(fa.Extensions().Count(), fb.Extensions().Count());
        for (int e = 0; e < fa.Extensions().Count(); ++e) {
            const TGIFExtension& ea = fa.Extensions()[e];
            const TGIFExtension& eb = fb.Extensions()[e];
            ASSERT_EQ(&ea.ClassType(), &eb.ClassType());
            if (const auto* ga = dynamic_cast<const TGIFGraphicControlExtension*>(&ea)) {
                const auto& gb = dynamic_cast<const TGIFGraphicControlExtension&>(eb);
                EXPECT_EQ(ga->Packed, gb.Packed);
                EXPECT_EQ(ga->Delay, gb.Delay);
                EXPECT_EQ(ga->TransparentColorIndex, gb.TransparentColorIndex);
            } else if (const auto* la = dynamic_cast<const TGIFAppExtNSLoop*>(&ea)) {
                EXPECT_EQ(la->Loops, dynamic_cast<const TGIFAppExtNSLoop&>(eb).Loops);
            } else if (const auto* ca = dynamic_cast<const TGIFCommentExtension*>(&ea)) {
                EXPECT_EQ(ca->Text, dynamic_cast<const TGIFCommentExtension&>(eb).Text);
            }
        }
    }
}

// gifbuild -d of giflib-tools: the structure and, per image, the pixels as hex pairs.
struct TGiflibDump {
    int Width = 0, Height = 0;
    std::vector<std::string> Controls; // "disposal 1 delay 50 transparent 255"
    std::vector<int> Loops;
    std::vector<std::vector<int>> Places; // left, top, width, height
    std::vector<TBytes> Pixels;
};

TGiflibDump DumpWithGifbuild(const std::string& file)
{
    const auto run = testing::RunProgram({"gifbuild", "-d", file});
    if (run.ExitCode != 0)
        throw std::runtime_error("gifbuild (giflib-tools) failed: " + run.Err);
    TGiflibDump dump;
    std::istringstream in(run.Out);
    std::string line;
    std::string control;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string a, b;
        words >> a >> b;
        if (a == "screen" && b == "width")
            words >> dump.Width;
        else if (a == "screen" && b == "height")
            words >> dump.Height;
        else if (a == "disposal" && b == "mode")
            control = "disposal " + line.substr(line.rfind(' ') + 1);
        else if (a == "delay")
            control += " delay " + b;
        else if (a == "transparent" && b == "index") {
            control += " transparent " + line.substr(line.rfind(' ') + 1);
            dump.Controls.push_back(control);
        } else if (a == "netscape" && b == "loop") {
            dump.Loops.push_back(std::stoi(line.substr(line.rfind(' ') + 1)));
        } else if (a == "image" && b == "#") {
            dump.Places.push_back({});
        } else if (a == "image" && (b == "left" || b == "top")) {
            dump.Places.back().push_back(std::stoi(line.substr(line.rfind(' ') + 1)));
        } else if (a == "image" && b == "bits") {
            int width = 0, height = 0;
            std::string by, hex;
            words >> width >> by >> height >> hex;
            if (hex != "hex")
                throw std::runtime_error("expected a hex dump of " + file);
            dump.Places.back().insert(dump.Places.back().end(), {width, height});
            TBytes pixels;
            for (int y = 0; y < height && std::getline(in, line); ++y)
                for (std::size_t x = 0; x + 1 < line.size(); x += 2)
                    pixels.push_back(std::uint8_t(std::stoi(line.substr(x, 2), nullptr, 16)));
            dump.Pixels.push_back(std::move(pixels));
        }
    }
    return dump;
}

TEST(GifSave, BannerComesBackIdenticalThroughTheCodecAndThroughGiflib)
{
    TGIFImage banner;
    MakeBanner(banner);
    TTempDir dir;
    const std::string file = dir / "banner.gif";
    banner.SaveToFile(file);

    TGIFImage reloaded;
    TGifEvents events;
    events.Attach(reloaded);
    reloaded.LoadFromFile(file);
    EXPECT_TRUE(events.Warnings.empty());
    EXPECT_EQ(reloaded.Header().Version, "89a");
    ExpectSameModel(banner, reloaded);

    const TGiflibDump dump = DumpWithGifbuild(file);
    EXPECT_EQ(dump.Width, 320);
    EXPECT_EQ(dump.Height, 80);
    EXPECT_EQ(dump.Loops, (std::vector<int>{0}));
    EXPECT_EQ(dump.Controls, (std::vector<std::string>{"disposal 1 delay 50 transparent 255",
                                                       "disposal 1 delay 100 transparent 255",
                                                       "disposal 1 delay 100 transparent 255",
                                                       "disposal 1 delay 200 transparent 255"}));
    ASSERT_EQ(dump.Pixels.size(), 4u);
    for (int n = 0; n < 4; ++n) {
        const TGIFSubImage& frame = banner.Images()[n];
        EXPECT_EQ(dump.Places[std::size_t(n)],
                  (std::vector<int>{frame.Left(), frame.Top(), frame.Width(), frame.Height()}));
        EXPECT_TRUE(dump.Pixels[std::size_t(n)] == FramePixels(frame)) << "frame " << n;
    }
}

TEST(GifSave, WritesTheVersionTheFramesNeed)
{
    TGIFImage image;
    EXPECT_THROW(
        try { Save(image); } catch (const GIFException& e) {
            EXPECT_STREQ(e.what(), "Unsupported GIF version");
            throw;
        },
        GIFException);

    TGIFSubImage plain(nullptr);
    plain.SetSize(2, 2);
    image.Add(plain);
    TBytes bytes = Save(image);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF87a");

    TGIFSubImage sorted(nullptr);
    sorted.SetSize(1, 1);
    sorted.ColorMap().Add({1, 2, 3});
    sorted.ColorMap().SetSorted(true);
    image.Add(sorted);
    bytes = Save(image);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");

    // The first frame that needs 89a decides, even when later frames would not.
    image.Images().Delete(1);
    image.Images()[0].Extensions().Add(std::make_unique<TGIFCommentExtension>(&image.Images()[0]));
    image.Add(plain);
    bytes = Save(image);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "GIF89a");
}

TEST(GifSave, RecomputesThePackedBytesFromTheTables)
{
    // A 4-entry global table and an 8-entry local one: the screen announces the deepest
    // table (3 bits), so the global table is written padded to 8 entries.
    TGifBuilder gif;
    gif.Header(3, 1, 2).Descriptor(0, 0, 3, 1, 0x80 | 0x20 | 2).ColorTable(3);
    gif.LiteralData({7, 0, 5}, 3).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    image.Header().Descriptor.Packed = 0;
    const TBytes bytes = Save(image);
    EXPECT_EQ(bytes[10], 0x80 | 2 << 4 | 2);
    EXPECT_EQ(TBytes(bytes.begin() + 13 + 12, bytes.begin() + 13 + 24), TBytes(12, 0));
    const std::size_t descriptor = 13 + 24;
    EXPECT_EQ(bytes[descriptor], 0x2C);
    EXPECT_EQ(bytes[descriptor + 9], 0x80 | 0x20 | 2);

    TGIFImage reloaded;
    ASSERT_EQ(LoadGif(reloaded, bytes), "");
    ExpectSameModel(image, reloaded);
    EXPECT_EQ(reloaded.Header().ColorMap().Count(), 8);
}

TEST(GifSave, PixelsBeyondTheirTableSurviveSaving)
{
    // Corrupt data can leave indices the frame's table does not have; the code size grows to
    // hold them rather than writing data that decodes to other pixels.
    TGIFImage image;
    image.Header().ColorMap().Add({0, 0, 0});
    image.Header().ColorMap().Add({255, 255, 255});
    TGIFSubImage frame(nullptr);
    frame.SetSize(4, 1);
    const TBytes pixels = {0, 1, 5, 200};
    std::copy(pixels.begin(), pixels.end(), frame.Data());
    image.Add(frame);
    TGIFImage reloaded;
    ASSERT_EQ(LoadGif(reloaded, Save(image)), "");
    EXPECT_EQ(FramePixels(reloaded.Images()[0]), pixels);
}

TEST(GifSave, ExtensionsAndStringsAreWrittenAsRead)
{
    TGifBuilder gif;
    gif.Header(2, 2).Raw({0x21, 0xFF, 11}).Text("XMP DataXMP").Raw({3, 'a', 'b', 'c', 1, 'd', 0});
    gif.Raw({0x21, 0x01, 12}).Word(1).Word(2).Word(3).Word(4).Raw({5, 6, 7, 8, 2}).Text("hi");
    gif.Raw({0});
    gif.Comment({"one", "two"}).GraphicControl(3, 7, 1);
    gif.Descriptor(0, 0, 2, 2).LiteralData({0, 1, 1, 1}).Trailer();
    TGIFImage image;
    ASSERT_EQ(LoadGif(image, gif.Bytes), "");
    // Written in the same order and form (the code stream itself is the encoder's own).
    const TBytes saved = Save(image);
    const std::size_t extensions = 13 + 6;
    const std::size_t end =
        std::find(gif.Bytes.begin() + long(extensions), gif.Bytes.end(), 0x2C) - gif.Bytes.begin();
    EXPECT_EQ(TBytes(saved.begin() + long(extensions), saved.begin() + long(end)),
              TBytes(gif.Bytes.begin() + long(extensions), gif.Bytes.begin() + long(end)));

    // A comment longer than a sub-block is cut into pieces of 255 bytes.
    auto& comment = dynamic_cast<TGIFCommentExtension&>(image.Images()[0].Extensions()[2]);
    comment.Text = {std::string(600, 'x')};
    TGIFImage reloaded;
    ASSERT_EQ(LoadGif(reloaded, Save(image)), "");
    EXPECT_EQ(dynamic_cast<const TGIFCommentExtension&>(reloaded.Images()[0].Extensions()[2]).Text,
              (TGIFStrings{std::string(255, 'x'), std::string(255, 'x'), std::string(90, 'x')}));
}

TEST(GifSave, ReportsProgressWhileSaving)
{
    TGIFImage banner;
    MakeBanner(banner);
    TGifEvents events;
    events.Attach(banner);
    const TBytes bytes = Save(banner);
    ASSERT_EQ(events.Progress.size(), 6u);
    EXPECT_EQ(events.Progress.front(), "start 0 Saving...");
    EXPECT_EQ(events.Progress[1].substr(0, 4), "run ");
    EXPECT_EQ(events.Progress.back(), "end 100 Saving...");
}

TEST(GifSave, SavedSuiteFilesReloadIdentically)
{
    for (const char* name : {"gifsuite-peterdn/gifs/animated_loop_interlaced.gif",
                             "gifsuite-pygif/high-color.gif", "gifsuite-pygif/plain-text.gif",
                             "pillow-subset/hopper.gif", "pillow-subset/dispose_prev.gif"}) {
        SCOPED_TRACE(name);
        TGIFImage image;
        image.LoadFromFile(testing::DataFile(name));
        TGIFImage reloaded;
        ASSERT_EQ(LoadGif(reloaded, Save(image)), "");
        ExpectSameModel(image, reloaded);
    }
}

} // namespace
} // namespace scenaria
