// "gif": what the GIF codec reads from a file, one fact a line.

#include "tools/ToolCommand.h"

#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"
#include "imaging/gif/GifImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace scenaria::tool {
namespace {

// Comments are arbitrary bytes; control characters are shown as \xHH so that every fact stays
// on its own line, and a backslash is doubled so that the form cannot be mistaken.
std::string Printable(const std::string& text)
{
    std::string out;
    for (const unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

const TGIFAppExtNSLoop* LoopExtension(const TGIFImage& image)
{
    for (const auto& frame : image.Images())
        for (const auto& extension : frame->Extensions())
            if (const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(extension.get()))
                return loop;
    return nullptr;
}

void PrintFrame(int number, const TGIFSubImage& frame)
{
    const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    const std::string disposal = control ? std::to_string(control->Disposal()) : "none";
    const std::string delay = control ? std::to_string(control->Delay) : "none";
    const std::string transparent =
        control && frame.Transparent() ? std::to_string(control->TransparentColorIndex) : "none";
    std::printf("frame %d: at %d,%d size %dx%d interlaced %d local colors %d disposal %s delay %s "
                "transparent %s\n",
                number, frame.Left(), frame.Top(), frame.Width(), frame.Height(),
                frame.Interlaced() ? 1 : 0, frame.ColorMap().Count(), disposal.c_str(),
                delay.c_str(), transparent.c_str());
    for (const auto& extension : frame.Extensions())
        if (const auto* comment = dynamic_cast<const TGIFCommentExtension*>(extension.get()))
            for (const std::string& text : comment->Text)
                std::printf("comment: %s\n", Printable(text).c_str());
}

// Frame number's pixels as an 8-bit BMP with the frame's colour table. The palette reaches as
// far as the pixels do, padded with black, so that a bitmap never points past its palette
// (corrupt data and frames without any table can hold such pixels).
void DumpFrame(const TGIFSubImage& frame, int number, const std::string& folder)
{
    if (frame.Empty())
        return;
    TPixelGraphic bitmap;
    bitmap.SetSize(frame.Width(), frame.Height(), bc8Bit);
    const TGIFColorMap& colors = frame.ActiveColorMap();
    const std::uint8_t* pixels = frame.Data();
    const int highest = *std::max_element(pixels, pixels + frame.DataSize());
    bitmap.SetPaletteCount(std::max(colors.Count(), highest + 1));
    for (int i = 0; i < colors.Count(); ++i) {
        const TGIFColor c = colors.Data()[i];
        bitmap.SetPaletteEntry(i, RGB(c.Red, c.Green, c.Blue));
    }
    for (int y = 0; y < frame.Height(); ++y)
        std::memcpy(bitmap.ScanLine(y), pixels + std::size_t(y) * frame.Width(),
                    std::size_t(frame.Width()));
    bitmap.IdentifyPalette();
    bitmap.SaveColorResWarningAction = pgwaRaise;
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%03d.bmp", number);
    bitmap.SaveToFile(folder + name);
}

int RunGif(const std::vector<std::string>& argv)
{
    const TToolArgs args(argv, {"--dump"});
    if (args.Positional().size() != 1)
        throw EToolUsage("needs exactly one GIF file");
    const std::string& file = args.Positional()[0];

    TGIFImage image;
    std::vector<std::string> warnings;
    image.WarningHandler = [&warnings](const TGIFItem*, int, const std::string& message) {
        warnings.push_back(message);
    };
    std::string error;
    try {
        image.LoadFromFile(file);
    } catch (const GIFException& e) {
        error = e.what();
    } catch (const EStreamError& e) {
        error = e.what();
    }

    // Without a signature there is no screen to speak of.
    if (!image.Header().Version.empty()) {
        std::printf("version: %s\n", Printable(image.Header().Version).c_str());
        std::printf("screen: %dx%d\n", image.Width(), image.Height());
        std::printf("global colors: %d\n", image.Header().ColorMap().Count());
        std::printf("background: %d\n", image.Header().Descriptor.BackgroundColorIndex);
        if (const TGIFAppExtNSLoop* loop = LoopExtension(image))
            std::printf("loop: %d\n", loop->Loops);
        else
            std::printf("loop: none\n");
    }
    for (int n = 0; n < image.Images().Count(); ++n)
        PrintFrame(n, image.Images()[n]);
    for (const std::string& warning : warnings)
        std::printf("warning: %s\n", warning.c_str());
    if (const auto folder = args.Value("--dump")) {
        // The frames read are written even when loading failed later on.
        try {
            std::filesystem::create_directories(PathFromUtf8(*folder));
            for (int n = 0; n < image.Images().Count(); ++n)
                DumpFrame(image.Images()[n], n, *folder);
        } catch (const std::exception& e) {
            std::printf("error: %s\n", e.what());
            return 1;
        }
    }
    if (!error.empty()) {
        std::printf("error: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

const TToolCommandRegistration gifCommand({
    "gif",
    "gif FILE [--dump DIR]",
    "Reads a GIF file with the program's GIF codec and prints what it holds, one fact a line:\n"
    "version, screen size, global colours, background index, the loop count (\"none\" without\n"
    "a looping extension), then per frame its place, size, interlacing, local colours,\n"
    "disposal, delay and transparent index (\"none\" where the frame has none) followed by\n"
    "its comments, then every warning. A file that fails to load ends with \"error: \" and\n"
    "the reason (exit status 1), after the frames read before the failure.\n"
    "--dump DIR  also write each frame's pixels as DIR/frame-NNN.bmp (NNN from 000), an\n"
    "            8-bit bitmap of the frame's size with its colour table (local, else\n"
    "            global); frames without pixels are skipped",
    RunGif,
});

} // namespace
} // namespace scenaria::tool
