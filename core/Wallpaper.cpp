#include "core/Wallpaper.h"

#include "core/MonitorLayout.h"
#include "core/Settings.h"
#include "imaging/Canvas.h"
#include "imaging/FittedLoad.h"
#include "imaging/Orientation.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Resample.h"
#include "platform/FileSystem.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

namespace scenaria {

bool WallpaperShown = false;
std::string LastShown;
bool ComReady = false;
TWallpaperFailure LastWallpaperFailure = wfNone;

namespace {

// Where a folder ends: '/' everywhere, and the system's own separator ('\\' on Windows).
constexpr char Separators[] = {'/', static_cast<char>(std::filesystem::path::preferred_separator),
                               '\0'};

std::string UpperExtension(const std::string& fileName)
{
    const auto slash = fileName.find_last_of(Separators);
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string extension = fileName.substr(dot);
    for (char& c : extension)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return extension;
}

// The per-user cache folder that stands in for "Save Folder" by default may not exist yet;
// a folder the user named is never created.
void PrepareSaveFolder(const IPlatform& platform)
{
    if (Settings.SaveFolder.empty() || Settings.SaveFolder != platform.DefaultSaveFolder())
        return;
    std::error_code ec;
    std::filesystem::create_directories(Utf8Path(Settings.SaveFolder), ec);
}

// stderr takes one line per failure; a file name or a library message may hold any character.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return text;
}

void SaveTemporaryBitmap(const IPlatform& platform, TPixelGraphic& image, const std::string& file)
{
    PrepareSaveFolder(platform);
    image.SaveToFile(file);
}

// Centred (or stretched) rather than tiled, by "Tile" and the picture's size.
bool CentreFor(int width, int height)
{
    switch (Settings.Tile) {
    case 1:
        return true;
    case 2:
        return height > Settings.MinHeight && width > Settings.MinWidth;
    default:
        return false;
    }
}

// What the composition does with a picture: its decisions, and the size it is drawn at (zeros
// when it keeps its own). The screen is asked once, and only when the size depends on it.
class TComposition {
public:
    TComposition(const IPlatform& platform, bool isGif, bool activeDesktopInEffect,
                 bool proportionalInEffect)
        : platform_(platform), isGif_(isGif), activeDesktop_(activeDesktopInEffect),
          proportional_(proportionalInEffect)
    {
    }

    bool Scales(bool centre) const
    {
        return centre && !isGif_ && (proportional_ || (Settings.Stretch && !activeDesktop_));
    }

    TFitSize Size(int pictureWidth, int pictureHeight)
    {
        if (!Scales(CentreFor(pictureWidth, pictureHeight)))
            return {};
        const TScreenFacts& screen = Screen();
        if (!proportional_)
            return {screen.Width, screen.Height};
        const long double scale =
            ProportionalScale(screen.Width, screen.Height, pictureWidth, pictureHeight);
        int width = static_cast<int>(pictureWidth * scale);
        int height = static_cast<int>(pictureHeight * scale);
        // A sliver of a picture (2000 x 1 on a 1024 x 768 screen) would lose its short side
        // to the truncation; only a screen of unknown size may leave nothing to draw on.
        if (screen.Width > 0 && screen.Height > 0) {
            width = std::max(width, 1);
            height = std::max(height, 1);
        }
        return {width, height};
    }

private:
    const TScreenFacts& Screen()
    {
        if (!screen_)
            screen_ = platform_.ScreenFacts();
        return *screen_;
    }

    const IPlatform& platform_;
    bool isGif_, activeDesktop_, proportional_;
    std::optional<TScreenFacts> screen_;
};

// Loads the picture; smoothly scaled pictures come out of the loader at the size they are
// drawn at, which spares holding them whole. Gives the picture's own size, upright unless
// "AutoRotate" is off: the size a picture is seen at decides everything after.
void LoadPicture(TPixelGraphic& image, const std::string& fileName, TComposition& composition,
                 int& width, int& height)
{
    image.ReadWarningAction = pgwaRaise;
    if (!Settings.Smooth) {
        image.LoadFromFile(fileName);
        if (Settings.AutoRotate)
            ApplyOrientation(image);
        width = image.Width();
        height = image.Height();
        return;
    }
    image.StretchMode = smPrecise;
    const TFitRule rule = [&composition](int w, int h) {
        const TFitSize size = composition.Size(w, h);
        // A size the drawing would refuse is left to it, so that it fails as it always has.
        return size.Width > 0 && size.Height > 0 ? size : TFitSize{};
    };
    TFitOptions options;
    options.Rounding = rrNearest;
    options.Upright = Settings.AutoRotate;
    const TFittedLoad loaded = LoadFitted(image, fileName, rule, options);
    width = loaded.PictureWidth;
    height = loaded.PictureHeight;
}

// How a picture of that size is fitted to each monitor: the size rule decides tile or centre
// as for one screen; a centred picture fills its monitor, or is stretched or scaled as the
// classic keys say.
TFitMode FitModeFor(int width, int height)
{
    if (!CentreFor(width, height))
        return fmTile;
    if (Settings.Fill)
        return fmFill;
    if (!Settings.Stretch)
        return fmCentre;
    return Settings.Proportional ? fmProportional : fmStretch;
}

TColor BackgroundColour()
{
    const std::uint32_t c = Settings.Background;
    return RGB(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF);
}

// The picture whole and upright (as AutoRotate says): each monitor takes its own size of it.
std::unique_ptr<TPixelGraphic> LoadWhole(const std::string& fileName)
{
    auto image = std::make_unique<TPixelGraphic>();
    image->ReadWarningAction = pgwaRaise;
    image->LoadFromFile(fileName);
    if (Settings.AutoRotate)
        ApplyOrientation(*image);
    return image;
}

// "~scxtmp-<n>.bmp" beside the temporary bitmap, n counting monitors from 1.
std::string MonitorBitmapPath(std::size_t index)
{
    std::string path = TemporaryBitmapPath();
    return path.insert(path.size() - 4, "-" + std::to_string(index + 1));
}

TFitStyle StyleFor(const TPixelGraphic& picture)
{
    TFitStyle style;
    style.Mode = FitModeFor(picture.Width(), picture.Height());
    style.Background = BackgroundColour();
    style.Smooth = Settings.Smooth;
    return style;
}

// Each monitor's bitmap and the layout bitmap, composed from the loaded pictures.
void ComposeMonitors(const std::vector<TMonitor>& monitors,
                     const std::vector<std::unique_ptr<TPixelGraphic>>& pictures,
                     std::vector<std::unique_ptr<TPixelGraphic>>& bitmaps, TPixelGraphic& layout)
{
    for (std::size_t i = 0; i < monitors.size(); ++i)
        bitmaps.push_back(std::make_unique<TPixelGraphic>());
    if (Settings.Monitors == 2) {
        ComposeSpanned(layout, monitors, *pictures[0], StyleFor(*pictures[0]));
        const TRect bounds = LayoutBounds(monitors);
        for (std::size_t i = 0; i < monitors.size(); ++i)
            CropMonitor(*bitmaps[i], layout, bounds, monitors[i]);
        return;
    }
    std::vector<const TPixelGraphic*> parts;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const TPixelGraphic& picture = *pictures[std::min(i, pictures.size() - 1)];
        ComposeForMonitor(*bitmaps[i], picture, monitors[i].Width, monitors[i].Height,
                          StyleFor(picture));
        parts.push_back(bitmaps[i].get());
    }
    ComposeLayout(layout, monitors, parts);
}

} // namespace

void ComposePrimaryMonitor(const std::vector<TMonitor>& monitors, const TPixelGraphic& picture,
                           TPixelGraphic& target)
{
    if (monitors.empty())
        throw std::invalid_argument("no monitor to compose for");
    if (Settings.Monitors == 2) {
        TPixelGraphic layout;
        ComposeSpanned(layout, monitors, picture, StyleFor(picture));
        CropMonitor(target, layout, LayoutBounds(monitors), monitors[0]);
        return;
    }
    ComposeForMonitor(target, picture, monitors[0].Width, monitors[0].Height, StyleFor(picture));
}

bool ComposesPerMonitor(const std::vector<TMonitor>& monitors)
{
    return monitors.size() > 1 ||
           (!monitors.empty() && (Settings.Fill || Settings.Background != 0));
}

bool SetMonitorWallpapers(IPlatform& platform, const std::vector<TMonitor>& monitors,
                          const std::vector<std::string>& fileNames)
{
    WallpaperShown = false;
    LastWallpaperFailure = wfPicture;
    if (monitors.empty() || fileNames.empty())
        return false;
    const std::size_t wanted = Settings.Monitors == 1 ? fileNames.size() : 1;
    std::vector<std::unique_ptr<TPixelGraphic>> pictures;
    try {
        for (std::size_t i = 0; i < std::min(wanted, monitors.size()); ++i)
            pictures.push_back(LoadWhole(fileNames[i]));
    } catch (const std::exception&) {
        return false;
    }
    std::vector<std::unique_ptr<TPixelGraphic>> bitmaps;
    TPixelGraphic layout;
    ComposeMonitors(monitors, pictures, bitmaps, layout);
    AlignToOrigin(layout, LayoutBounds(monitors));
    pictures.clear();

    LastWallpaperFailure = wfTemporaryBitmap;
    std::vector<TMonitorPicture> shown;
    const std::string layoutFile = TemporaryBitmapPath();
    try {
        for (std::size_t i = 0; i < monitors.size(); ++i) {
            shown.push_back({monitors[i], MonitorBitmapPath(i)});
            SaveTemporaryBitmap(platform, *bitmaps[i], shown.back().File);
        }
        SaveTemporaryBitmap(platform, layout, layoutFile);
    } catch (const std::exception& e) {
        std::fprintf(
            stderr, "scenarix: %s\n",
            OneLine("a monitor's bitmap could not be written: " + std::string(e.what())).c_str());
        return false;
    }
    LastWallpaperFailure = wfNone;

    const TPlatformStatus status = platform.InstallMonitors(shown, layoutFile);
    if (status.Abandons)
        throw std::runtime_error(status.Error);
    if (!status.Ok)
        std::fprintf(stderr, "scenarix: %s\n", status.Error.c_str());
    WallpaperShown = true;
    LastShown = fileNames.back();
    return true;
}

std::string TemporaryBitmapPath()
{
    return Settings.SaveFolder + static_cast<char>(std::filesystem::path::preferred_separator) +
           TemporaryBitmapName;
}

long double RoundToReal48(long double x)
{
    if (x == 0 || !std::isfinite(x))
        return x;
    int exponent = 0;
    const long double mantissa = std::frexp(std::fabs(x), &exponent); // [0.5, 1)
    const long double scaled = std::floor(std::ldexp(mantissa, 40) + 0.5L);
    return std::copysign(std::ldexp(scaled, exponent - 40), x);
}

long double ProportionalScale(int screenWidth, int screenHeight, int pictureWidth,
                              int pictureHeight)
{
    const long double ratioW = RoundToReal48(static_cast<long double>(screenWidth) / pictureWidth);
    const long double ratioH =
        RoundToReal48(static_cast<long double>(screenHeight) / pictureHeight);
    return ratioW < ratioH ? ratioW : ratioH;
}

bool IsLowColorDisplay(const IPlatform& platform)
{
    const int bits = platform.ScreenFacts().BitsPerPixel;
    return bits > 0 && bits <= 8;
}

void ReduceColors(const IPlatform& platform, TPixelGraphic& image)
{
    if (!IsLowColorDisplay(platform))
        return;
    try {
        TPixelGraphic reduced;
        reduced.SetSize(image.Width(), image.Height(), bc8Bit);
        MakeOptimizedPalette(reduced, image, 232, true);
        reduced.CopyFrom(image);
        image.Assign(&reduced);
    } catch (const std::exception&) {
        // The picture goes on in its own colours.
    }
}

void ComposeScaled(const IPlatform& platform, std::string& fileName, TPixelGraphic& image,
                   int width, int height)
{
    fileName = TemporaryBitmapPath();
    if (width <= 0 || height <= 0)
        throw std::runtime_error("The screen size is unknown: the picture cannot be fitted to it");
    // Loaded at the size it is shown at already: saved as it is, without a copy of it.
    if (Settings.Smooth && image.Width() == width && image.Height() == height &&
        image.BitCount() == bc24Bit && !IsLowColorDisplay(platform)) {
        SaveTemporaryBitmap(platform, image, fileName);
        return;
    }
    TPixelGraphic scaled;
    scaled.SetSize(width, height, bc24Bit);
    if (Settings.Smooth) {
        scaled.StretchMode = smPrecise;
        if (image.Width() == width && image.Height() == height)
            scaled.CopyFrom(image);
        else
            ResampleWhole(scaled, image, rrNearest);
    } else {
        scaled.Canvas().StretchDraw(TRect{0, 0, width, height}, image);
    }
    ReduceColors(platform, scaled);
    SaveTemporaryBitmap(platform, scaled, fileName);
}

bool EnsureBitmapFile(const IPlatform& platform, std::string& fileName, TPixelGraphic& image)
{
    if (UpperExtension(fileName) != ".BMP" || IsLowColorDisplay(platform)) {
        const std::string temporary = TemporaryBitmapPath();
        ReduceColors(platform, image);
        try {
            SaveTemporaryBitmap(platform, image, temporary);
        } catch (const std::exception& e) {
            std::fprintf(
                stderr, "scenarix: %s\n",
                OneLine("the temporary bitmap " + temporary + " could not be written: " + e.what())
                    .c_str());
            return false;
        }
        fileName = temporary;
    }
    return true;
}

bool SetWallpaper(IPlatform& platform, const std::string& fileName)
{
    WallpaperShown = false;
    LastWallpaperFailure = wfPicture;
    std::string file = fileName;
    const bool isGif = UpperExtension(fileName) == ".GIF";
    const bool activeDesktopInEffect = ComReady && Settings.ActiveDesktop;
    const bool proportionalInEffect = Settings.Proportional && Settings.Stretch;
    if (isGif && !activeDesktopInEffect)
        return false;
    if (const std::vector<TMonitor> monitors = platform.Monitors(); ComposesPerMonitor(monitors))
        return SetMonitorWallpapers(platform, monitors, {fileName});

    TComposition composition(platform, isGif, activeDesktopInEffect, proportionalInEffect);
    auto image = std::make_unique<TPixelGraphic>();
    int pictureWidth = 0, pictureHeight = 0;
    try {
        LoadPicture(*image, fileName, composition, pictureWidth, pictureHeight);
    } catch (const std::exception&) {
        return false;
    }
    const bool centre = CentreFor(pictureWidth, pictureHeight);
    if (composition.Scales(centre)) {
        const TFitSize size = composition.Size(pictureWidth, pictureHeight);
        ComposeScaled(platform, file, *image, size.Width, size.Height);
    }
    if (!(Settings.Stretch && (isGif || centre || activeDesktopInEffect)) &&
        !EnsureBitmapFile(platform, file, *image)) {
        LastWallpaperFailure = wfTemporaryBitmap;
        return false;
    }
    image.reset();
    LastWallpaperFailure = wfNone;

    TPlatformStatus status;
    if (Settings.ActiveDesktop) {
        int style = wsTile;
        if (centre)
            style = Settings.Stretch && !proportionalInEffect ? wsStretch : wsCentre;
        status = platform.InstallActiveDesktop(file, style);
    } else {
        status = platform.InstallClassic(file, !centre);
    }
    // A desktop that was never reached fails the call as a composition error does; one that
    // refused the file is only reported.
    if (status.Abandons)
        throw std::runtime_error(status.Error);
    if (!status.Ok)
        std::fprintf(stderr, "scenarix: %s\n", status.Error.c_str());

    WallpaperShown = true;
    LastShown = fileName;
    return true;
}

} // namespace scenaria
