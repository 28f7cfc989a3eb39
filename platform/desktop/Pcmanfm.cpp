// LXQt and LXDE draw the desktop with their file managers, which take the wallpaper on their
// command line and pass it to the running instance. Without that instance drawing the desktop
// the command is worse than useless: pcmanfm --set-wallpaper becomes the first instance itself
// and never exits, and pcmanfm-qt --set-wallpaper stores the name and exits 0 with nothing
// shown. So the desktop window is looked for first, and without it the picture goes on the X
// root window, as on bare X11.

#include "platform/Process.h"
#include "platform/X11Root.h"
#include "platform/desktop/Backends.h"

#include <cstdio>

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
        : kind_(kind), displayName_(std::move(displayName))
    {
    }

    TDesktopKind Kind() const override { return kind_; }

    TPlatformStatus Apply(const std::string& file, TWallpaperStyle style) override
    {
        const std::string tool = kind_ == dkLxqt ? "pcmanfm-qt" : "pcmanfm";
        // Without a display (LXQt on Wayland) there is no window to look for and no root
        // window to paint: the tool is asked, within its bound, whatever it does.
        if (!displayName_.empty() && HasDesktopWindowOf(displayName_, tool) == false) {
            if (!saidFallback_)
                std::fprintf(stderr,
                             "scenarix: %s: %s --desktop is not running; the picture goes on "
                             "the X root window\n",
                             DesktopName(kind_), tool.c_str());
            saidFallback_ = true;
            if (!root_)
                root_ = CreateX11Backend(displayName_);
            return root_->Apply(file, style);
        }
        saidFallback_ = false;
        // A running instance takes the name and answers at once (see DesktopCallBudgetMs).
        const auto result = RunProcess(
            {tool, "--set-wallpaper", file, "--wallpaper-mode", TileCentreStretchWord(style)},
            DesktopCallBudgetMs);
        if (result.Succeeded())
            return TPlatformStatus::Success();
        return TPlatformStatus::Failure(
            result.Failure(std::string(DesktopName(kind_)) + ": " + tool + " --set-wallpaper"));
    }

private:
    TDesktopKind kind_;
    std::string displayName_;
    std::unique_ptr<IDesktopBackend> root_;
    bool saidFallback_ = false; // the fallback is mentioned when it begins, not at every change
};

} // namespace

std::unique_ptr<IDesktopBackend> CreatePcmanfmBackend(TDesktopKind kind,
                                                      const std::string& displayName)
{
    return std::make_unique<TPcmanfmBackend>(kind, displayName);
}

} // namespace scenaria
