// "info" and "convert": the picture library from the command line, as the program uses it.

#include "tools/ToolCommand.h"

#include "imaging/FileFormats.h"
#include "imaging/FittedLoad.h"
#include "imaging/Messages.h"
#include "imaging/Orientation.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Stream.h"
#include "imaging/formats/Jpeg.h"

#include <cstdio>
#include <memory>

namespace scenaria::tool {
namespace {

int RunInfo(const std::vector<std::string>& argv)
{
    const TToolArgs args(argv, {});
    if (args.Positional().size() != 1)
        throw EToolUsage("needs exactly one FILE");
    const std::string& file = args.Positional()[0];
    TPGFileStream stream(file, TPGFileStream::fmOpenRead);
    const TFileFormatReader* reader = FileFormats().FindReader(stream, FileNameExtension(file));
    if (!reader)
        throw EPGUnknownFileFormat(PGMessage(pgmUnknownFileFormat));
    TPGImageInfo info;
    reader->GetInfo(stream, 0, info);
    std::printf("format: %s\n", reader->Description().c_str());
    std::printf("width: %d\n", info.Width);
    std::printf("height: %d\n", info.Height);
    std::printf("bits: %d\n", info.BitsPerPixel);
    std::printf("colors: %s\n", info.Colors.c_str());
    std::printf("subformat: %s\n", info.Subformat.c_str());
    std::printf("remark: %s\n", info.Remark.c_str());
    std::printf("images: %d\n", info.ImageCount);
    std::printf("orientation: %d\n", info.Orientation);
    return 0;
}

// "WxH" with both at least 1.
void ParseSize(const std::string& text, int& width, int& height)
{
    const auto x = text.find('x');
    const auto wrong = [&text] {
        return EToolUsage("--resize needs WIDTHxHEIGHT in pixels, not \"" + text + "\"");
    };
    const auto number = [&wrong](const std::string& part) {
        std::size_t used = 0;
        long value = 0;
        try {
            value = std::stol(part, &used, 10);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != part.size() || value < 1 || value > 1'000'000 || part[0] == '+')
            throw wrong();
        return static_cast<int>(value);
    };
    if (x == std::string::npos)
        throw wrong();
    width = number(text.substr(0, x));
    height = number(text.substr(x + 1));
}

TStretchMode ParseStretchMode(const std::string& text)
{
    if (text == "fast")
        return smFast;
    if (text == "medium")
        return smMedium;
    if (text == "precise")
        return smPrecise;
    throw EToolUsage("--stretch-mode needs fast, medium or precise, not \"" + text + "\"");
}

int RunConvert(const std::vector<std::string>& argv)
{
    const TToolArgs args(argv, {"--quality", "--resize", "--stretch-mode", "--colors"},
                         {"--force", "--keep-orientation"});
    if (args.Positional().size() != 2)
        throw EToolUsage("needs IN and OUT");
    const std::string& in = args.Positional()[0];
    const std::string& out = args.Positional()[1];
    const auto quality = args.Integer("--quality", 0, 100);
    const auto colors = args.Integer("--colors", 2, 256);
    const auto resize = args.Value("--resize");
    const auto mode = args.Value("--stretch-mode");
    if (mode && !resize)
        throw EToolUsage("--stretch-mode only goes with --resize");
    int width = 0, height = 0;
    if (resize)
        ParseSize(*resize, width, height);
    const TStretchMode stretchMode = mode ? ParseStretchMode(*mode) : smPrecise;

    auto image = std::make_unique<TPixelGraphic>();
    image->ReadWarningAction = pgwaRaise;
    const bool upright = !args.Flag("--keep-orientation");
    bool fitted = false;
    if (resize && stretchMode == smPrecise) {
        // As the wallpaper is made: a reader that can sends its rows straight to the resampler,
        // and --resize means the picture as it is seen.
        image->StretchMode = smPrecise;
        TFitOptions options;
        options.Upright = upright;
        fitted = LoadFitted(
                     *image, in,
                     [&](int, int) {
                         return TFitSize{width, height};
                     },
                     options)
                     .Fitted;
    } else {
        image->LoadFromFile(in);
        // Upright first, so that --resize means the picture as it is seen.
        if (upright)
            ApplyOrientation(*image);
    }

    if (resize && !fitted) {
        auto resized = std::make_unique<TPixelGraphic>();
        resized->SetSize(width, height, image->BitCount());
        if (image->BitCount() != bc24Bit)
            resized->CopyPalette(*image);
        resized->StretchMode = stretchMode;
        resized->CopyRect(*image, 0, 0, image->Width(), image->Height(), 0, 0, width, height);
        image = std::move(resized);
    }
    if (colors) {
        auto reduced = std::make_unique<TPixelGraphic>();
        reduced->SetSize(image->Width(), image->Height(), bc8Bit);
        MakeOptimizedPalette(*reduced, *image, static_cast<int>(*colors), *colors > 16);
        reduced->CopyFrom(*image);
        image = std::move(reduced);
    }
    if (quality)
        JPEGQuality = static_cast<int>(*quality);
    image->SaveColorResWarningAction = args.Flag("--force") ? pgwaIgnore : pgwaRaise;
    image->SaveToFile(out);
    return 0;
}

const TToolCommandRegistration infoCommand({
    "info",
    "info FILE",
    "Describes a picture file as its reader sees it, without decoding the pixels:\n"
    "format: <description>, width:, height:, bits:, colors:, subformat:, remark:, images:,\n"
    "orientation: one per line. Width and height are those of the stored pixels; orientation\n"
    "is the Exif orientation tag they are stored with (1 upright .. 8), 1 when the file has\n"
    "none or its decoder turns the pixels itself (HEIF, AVIF). The reader is chosen by the\n"
    "file's first bytes (by its extension only for formats that have no signature).",
    RunInfo,
});

const TToolCommandRegistration convertCommand({
    "convert",
    "convert IN OUT [--quality N] [--force] [--resize WxH [--stretch-mode fast|medium|precise]] "
    "[--colors N] [--keep-orientation]",
    "Loads IN (warnings of its reader are errors), optionally resizes and reduces it, and\n"
    "saves it as OUT in the format of OUT's extension (bmp, dib, jpg, ...). On failure OUT is\n"
    "left as it was (or not created) and the library's message goes to stderr.\n"
    "--quality N           JPEG quality, 0..100 (default 80)\n"
    "--resize WxH          resample to W x H pixels at the same bit depth\n"
    "--stretch-mode MODE   how --resize resamples: fast, medium or precise (default)\n"
    "--colors N            reduce to an optimised palette of N colours (2..256; with the\n"
    "                      16 system colours when N > 16), dithered, as an 8-bit image\n"
    "--force               let the writer change the colour resolution when it cannot\n"
    "                      store the picture's own (otherwise that is an error)\n"
    "--keep-orientation    write the pixels as stored; otherwise a picture with an\n"
    "                      orientation tag is turned upright first",
    RunConvert,
});

} // namespace
} // namespace scenaria::tool
