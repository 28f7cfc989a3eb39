// LXQt and LXDE draw the desktop with their file managers, which take the wallpaper on their
// command line and pass it to the running instance. Without that instance drawing the desktop
// the command is worse than useless: pcmanfm --set-wallpaper becomes the first instance itself
// and never exits, and pcmanfm-qt --set-wallpaper stores the name and exits 0 with nothing
// shown. So the desktop window is looked for first (TRootFallback).

#include "platform/Process.h"
#include "platform/desktop/Backends.h"

namespace scenaria {

const char* TileCentreStretchWord(TWallpaperStyle style)
{
    switch (style) {
    case wsTile:
        return "tile";
    case wsStretch:
        return "stretch";
    case wsCentre:
        break;
    }
    return "center";
}

namespace {

class TPcmanfmBackend : public IDesktopBackend {
public:
    TPcmanfmBackend(TDesktopKind kind, std::string displayName)
        : kind_(kind), tool_(kind == dkLxqt ? "pcmanfm-qt" : "pcmanfm"),
          fallback_(kind, tool_, std::move(displayName))
    {
    }

    TDesktopKind Kind() const override { return kind_; }

    TPlatformStatus Apply(const std::string& file, TWallpaperStyle style) override
    {
        if (fallback_.Needed())
            return fallback_.Apply(file, style);
        return SetWallpaper(file, TileCentreStretchWord(style));
    }

    // One picture for all monitors: the layout bitmap, laid over the whole screen. pcmanfm's
    // "screen" mode stretches it over the X screen, across its monitors; pcmanfm-qt has no
    // such mode, and its "stretch" fills the one X screen its desktop window covers.
    TPlatformStatus ApplyMonitors(const std::vector<TMonitorPicture>& /*pictures*/,
                                  const std::string& layoutFile) override
    {
        if (fallback_.Needed())
            return fallback_.Apply(layoutFile, wsTile);
        return SetWallpaper(layoutFile, kind_ == dkLxqt ? "stretch" : "screen");
    }

private:
    TPlatformStatus SetWallpaper(const std::string& file, const char* mode)
    {
        // A running instance takes the name and answers at once (see DesktopCallBudgetMs).
        const auto result = RunProcess({tool_, "--set-wallpaper", file, "--wallpaper-mode", mode},
                                       DesktopCallBudgetMs);
        if (result.Succeeded())
            return TPlatformStatus::Success();
        return TPlatformStatus::Failure(
            result.Failure(std::string(DesktopName(kind_)) + ": " + tool_ + " --set-wallpaper"));
    }

    TDesktopKind kind_;
    std::string tool_;
    TRootFallback fallback_;
};

} // namespace

std::unique_ptr<IDesktopBackend> CreatePcmanfmBackend(TDesktopKind kind,
                                                      const std::string& displayName)
{
    return std::make_unique<TPcmanfmBackend>(kind, displayName);
}

} // namespace scenaria
