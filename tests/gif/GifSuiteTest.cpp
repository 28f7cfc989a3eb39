// Decoding the independent GIF test suites: the pygif suite's expected frames, the composited
// frames of Peter Nelson's animated suite, and every suite file beside libgif's own decoding.

#include "GifTestSupport.h"
#include "TempDir.h"

#include "imaging/gif/GifImage.h"

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace scenaria {
namespace {

namespace fs = std::filesystem;
using testing::LoadGif;
using testing::TBytes;

const fs::path Data = scenaria::testing::TestDataFolder();

TBytes ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("missing test file " + path.string());
    return TBytes((std::istreambuf_iterator<char>(in)), {});
}

// An expected picture: RGBA, rows top to bottom.
struct TCanvas {
    int Width = 0;
    int Height = 0;
    TBytes Rgba;

    const std::uint8_t* At(int x, int y) const { return &Rgba[4 * (std::size_t(y) * Width + x)]; }
};

std::string ReadText(const fs::path& path)
{
    const TBytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

TCanvas ReadPng(const fs::path& path)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.string().c_str()))
        throw std::runtime_error("cannot read " + path.string());
    image.format = PNG_FORMAT_RGBA;
    TCanvas canvas{int(image.width), int(image.height), TBytes(PNG_IMAGE_SIZE(image))};
    if (!png_image_finish_read(&image, nullptr, canvas.Rgba.data(), 0, nullptr))
        throw std::runtime_error("cannot decode " + path.string());
    return canvas;
}

// The .conf files: "[section]" and "key = value" lines.
using TConf = std::map<std::string, std::map<std::string, std::string>>;

TConf ReadConf(const fs::path& path)
{
    TConf conf;
    std::istringstream in(ReadText(path));
    std::string line, section;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const auto eq = line.find(" = ");
        if (eq != std::string::npos)
            conf[section][line.substr(0, eq)] = line.substr(eq + 3);
        else if (line.back() == '=' || line.find(" =") != std::string::npos)
            conf[section][line.substr(0, line.find(" ="))] = "";
    }
    return conf;
}

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ','))
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

// Frames that carry pixels, in stream order.
std::vector<const TGIFSubImage*> ImageFrames(const TGIFImage& image)
{
    std::vector<const TGIFSubImage*> frames;
    for (const auto& frame : image.Images())
        if (!frame->Empty())
            frames.push_back(frame.get());
    return frames;
}

bool IsTransparentPixel(const TGIFSubImage& frame, std::uint8_t index)
{
    return frame.Transparent() && frame.GraphicControlExtension() &&
           frame.GraphicControlExtension()->TransparentColorIndex == index;
}

// What a decoder alone can promise about a displayed frame: inside the frame's rectangle
// (clipped to the screen), every pixel it does not make transparent shows its colour, unless
// a later frame drawn over the same display frame covers it; over an empty canvas (the first
// display frame) a transparent pixel leaves the background, which these suites show as
// transparent. What lies elsewhere is composition, checked with the rendering.
int CheckFrame(const TGIFSubImage& frame, const TCanvas& expected, bool overEmptyCanvas,
               const std::set<std::pair<int, int>>& coveredLater = {})
{
    int mismatches = 0;
    const TGIFColorMap& colors = frame.ActiveColorMap();
    for (int y = 0; y < frame.Height() && frame.Top() + y < expected.Height; ++y) {
        for (int x = 0; x < frame.Width() && frame.Left() + x < expected.Width; ++x) {
            const int sx = frame.Left() + x, sy = frame.Top() + y;
            if (coveredLater.count({sx, sy}))
                continue;
            const std::uint8_t index = frame.Pixel(x, y);
            const std::uint8_t* want = expected.At(sx, sy);
            if (IsTransparentPixel(frame, index)) {
                if (overEmptyCanvas && want[3] != 0 && ++mismatches <= 5)
                    ADD_FAILURE() << "pixel " << sx << "," << sy << " should be transparent";
                continue;
            }
            if (index >= colors.Count()) {
                ADD_FAILURE() << "pixel " << sx << "," << sy << " beyond the colour table";
                return mismatches + 1;
            }
            const TGIFColor c = colors.Data()[index];
            if ((c.Red != want[0] || c.Green != want[1] || c.Blue != want[2] || want[3] != 255) &&
                ++mismatches <= 5)
                ADD_FAILURE() << "pixel " << sx << "," << sy << ": index " << int(index) << " is "
                              << int(c.Red) << "," << int(c.Green) << "," << int(c.Blue)
                              << "; expected " << int(want[0]) << "," << int(want[1]) << ","
                              << int(want[2]) << "," << int(want[3]);
        }
    }
    return mismatches;
}

// The suite's files whose expected frames the codec deliberately does not produce: an
// unknown extension label fails the load; a looping extension must end after its loop count;
// an image descriptor must be followed by its colour table and its code size (here the
// trailer stands there instead).
const std::map<std::string, std::string> PygifRefused = {
    {"unknown-extension", "Unknown extension type"}, {"loop-buffer", "Invalid GIF data"},
    {"loop-buffer_max", "Invalid GIF data"},         {"image-zero-width", "Invalid GIF data"},
    {"image-zero-height", "Premature end of data"},  {"image-zero-size", "Premature end of data"},
};

TEST(GifSuitePygif, EveryExpectedFrameDecodes)
{
    const fs::path dir = Data / "gifsuite-pygif";
    std::istringstream tests(ReadText(dir / "TESTS"));
    std::string name;
    int checked = 0;
    while (std::getline(tests, name)) {
        SCOPED_TRACE(name);
        const TConf conf = ReadConf(dir / (name + ".conf"));
        const auto& config = conf.at("config");
        const std::vector<std::string> expectedFrames = Split(config.at("frames"));
        TGIFImage image;
        const std::string error = LoadGif(image, ReadBytes(dir / config.at("input")));
        if (PygifRefused.count(name)) {
            EXPECT_EQ(error, PygifRefused.at(name));
            continue;
        }
        if (expectedFrames.empty())
            continue; // the suite expects no picture; what the codec makes of it is below
        ASSERT_EQ(error, "");
        EXPECT_EQ(image.Width(), std::stoi(config.at("width")));
        EXPECT_EQ(image.Height(), std::stoi(config.at("height")));

        std::vector<TCanvas> canvases;
        for (const auto& frameName : expectedFrames) {
            const std::string file = conf.at(frameName).at("pixels");
            canvases.push_back(TCanvas{image.Width(), image.Height(), ReadBytes(dir / file)});
            ASSERT_EQ(canvases.back().Rgba.size(), std::size_t(4 * image.Width() * image.Height()));
        }
        const auto frames = ImageFrames(image);
        bool disposes = false;
        for (const auto* frame : frames)
            if (frame->GraphicControlExtension() &&
                frame->GraphicControlExtension()->Disposal() >= 2)
                disposes = true;

        if (frames.size() == canvases.size()) {
            for (std::size_t i = 0; i < frames.size(); ++i)
                EXPECT_EQ(CheckFrame(*frames[i], canvases[i], i == 0), 0) << "frame " << i;
        } else if (canvases.size() == 1 && !disposes) {
            // Several images make one displayed frame, each drawn over the ones before.
            std::set<std::pair<int, int>> covered;
            for (std::size_t i = frames.size(); i-- > 0;) {
                EXPECT_EQ(CheckFrame(*frames[i], canvases[0], false, covered), 0) << "image " << i;
                const TGIFSubImage& f = *frames[i];
                for (int y = 0; y < f.Height(); ++y)
                    for (int x = 0; x < f.Width(); ++x)
                        if (!IsTransparentPixel(f, f.Pixel(x, y)))
                            covered.insert({f.Left() + x, f.Top() + y});
            }
        } else if (!frames.empty()) {
            // The last image is drawn over whatever the last displayed frame shows.
            EXPECT_EQ(CheckFrame(*frames.back(), canvases.back(), false), 0);
        }
        ++checked;
    }
    EXPECT_EQ(checked, 69);
}

TEST(GifSuitePygif, FilesWithoutExpectedFramesLoadAsThePartsSay)
{
    const fs::path dir = Data / "gifsuite-pygif";
    // The suite expects no picture from these. Screens without an image are empty pictures;
    // code sizes above 11 are refused; corrupt codes and colours beyond the table decode to
    // what the data says; plain text is kept as an extension of its frame.
    struct TCase {
        std::string Name, Error;
        int Frames;
    };
    for (const TCase& c :
         {TCase{"zero-width", "", 0}, TCase{"zero-height", "", 0}, TCase{"zero-size", "", 0},
          TCase{"max-size", "", 0}, TCase{"overflow-codes", "Invalid GIF data", 0},
          TCase{"overflow-codes-max", "Invalid GIF data", 0}, TCase{"invalid-code", "", 1},
          TCase{"invalid-colors", "", 1}, TCase{"plain-text", "", 1}}) {
        SCOPED_TRACE(c.Name);
        TGIFImage image;
        EXPECT_EQ(LoadGif(image, ReadBytes(dir / (c.Name + ".gif"))), c.Error);
        EXPECT_EQ(image.Images().Count(), c.Frames);
    }
}

TEST(GifSuitePeterdn, EveryFrameShowsItsPixels)
{
    const fs::path dir = Data / "gifsuite-peterdn" / "gifs";
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".gif")
            continue;
        const std::string stem = entry.path().stem().string();
        SCOPED_TRACE(stem);
        TGIFImage image;
        ASSERT_EQ(LoadGif(image, ReadBytes(entry.path())), "");
        const auto frames = ImageFrames(image);
        if (stem.rfind("static", 0) == 0) {
            ASSERT_EQ(frames.size(), 1u);
            const TCanvas expected = ReadPng(dir / "frames" / (stem + ".png"));
            ASSERT_EQ(expected.Width, image.Width());
            EXPECT_EQ(CheckFrame(*frames[0], expected, true), 0);
        } else {
            ASSERT_EQ(frames.size(), 4u);
            for (std::size_t i = 0; i < frames.size(); ++i) {
                const TCanvas expected =
                    ReadPng(dir / "frames" / (stem + "-" + std::to_string(i) + ".png"));
                ASSERT_EQ(expected.Width, image.Width());
                ASSERT_EQ(expected.Height, image.Height());
                EXPECT_EQ(CheckFrame(*frames[i], expected, i == 0), 0) << "frame " << i;
            }
        }
        ++checked;
    }
    EXPECT_EQ(checked, 13);
}

// libgif's decoding of a file: the index buffers of its images, or nothing when it refuses.
std::optional<std::vector<TBytes>> DecodeWithGiflib(const fs::path& path)
{
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.string().c_str(), &error);
    if (!gif)
        return std::nullopt;
    std::optional<std::vector<TBytes>> images;
    if (DGifSlurp(gif) == GIF_OK) {
        images.emplace();
        for (int i = 0; i < gif->ImageCount; ++i) {
            const SavedImage& saved = gif->SavedImages[i];
            const std::size_t size = std::size_t(saved.ImageDesc.Width) * saved.ImageDesc.Height;
            if (size > 0)
                images->emplace_back(saved.RasterBits, saved.RasterBits + size);
        }
    }
    DGifCloseFile(gif, &error);
    return images;
}

TEST(GifSuites, EveryFileDecodesLikeLibgif)
{
    // Files libgif reads but the codec refuses by its own rules.
    const std::set<std::string> refused = {"unknown-extension.gif", "loop-buffer.gif",
                                           "loop-buffer_max.gif"};
    int compared = 0;
    for (const char* set : {"gifsuite-pygif", "gifsuite-peterdn/gifs", "pillow-subset"}) {
        for (const auto& entry : fs::directory_iterator(Data / set)) {
            if (entry.path().extension() != ".gif")
                continue;
            const std::string name = entry.path().filename().string();
            SCOPED_TRACE(std::string(set) + "/" + name);
            TGIFImage image;
            const std::string error = LoadGif(image, ReadBytes(entry.path()));
            const auto expected = DecodeWithGiflib(entry.path());
            if (!expected)
                continue;
            if (refused.count(name)) {
                EXPECT_NE(error, "");
                continue;
            }
            ASSERT_EQ(error, "");
            const auto frames = ImageFrames(image);
            ASSERT_EQ(frames.size(), expected->size());
            for (std::size_t i = 0; i < frames.size(); ++i)
                EXPECT_TRUE(testing::FramePixels(*frames[i]) == (*expected)[i]) << "image " << i;
            ++compared;
        }
    }
    EXPECT_GE(compared, 100);
}

} // namespace
} // namespace scenaria
