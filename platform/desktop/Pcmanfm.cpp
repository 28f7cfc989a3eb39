// LXQt and LXDE draw the desktop with their file managers, which take the wallpaper on their
// command line and pass it to the running instance.

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
    explicit TPcmanfmBackend(TDesktopKind kind) : kind_(kind) {}

    TDesktopKind Kind() const override { return kind_; }

    TPlatformStatus Apply(const std::string& file, TWallpaperStyle style) override
    {
        const std::string tool = kind_ == dkLxqt ? "pcmanfm-qt" : "pcmanfm";
        const auto result = RunProcess(
            {tool, "--set-wallpaper", file, "--wallpaper-mode", TileCentreStretchWord(style)});
        if (result.Succeeded())
            return TPlatformStatus::Success();
        return TPlatformStatus::Failure(
            result.Failure(std::string(DesktopName(kind_)) + ": " + tool + " --set-wallpaper"));
    }

private:
    TDesktopKind kind_;
};

} // namespace

std::unique_ptr<IDesktopBackend> CreatePcmanfmBackend(TDesktopKind kind)
{
    return std::make_unique<TPcmanfmBackend>(kind);
}

} // namespace scenaria
