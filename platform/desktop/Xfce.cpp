// XFCE keeps one backdrop per monitor and workspace in the xfce4-desktop channel; xfdesktop
// redraws when a last-image property changes. Monitor names are opaque (connector names,
// "monitor0", ...), so only the properties that the channel lists are touched.

#include "platform/Process.h"
#include "platform/desktop/Backends.h"

#include <sstream>
#include <vector>

namespace scenaria {
namespace {

const char* ImageStyle(TWallpaperStyle style)
{
    switch (style) {
    case wsTile:
        return "2";
    case wsStretch:
        return "3";
    case wsCentre:
        break;
    }
    return "1";
}

class TXfceBackend : public IDesktopBackend {
public:
    explicit TXfceBackend(std::string displayName)
        : fallback_(dkXfce, "xfdesktop", std::move(displayName))
    {
    }

    TDesktopKind Kind() const override { return dkXfce; }

    TPlatformStatus Apply(const std::string& file, TWallpaperStyle style) override
    {
        // Without xfdesktop the settings change and nothing else does (TRootFallback).
        if (fallback_.Needed())
            return fallback_.Apply(file, style);
        // One listing and two calls a backdrop share one budget (see DesktopCallBudgetMs).
        const TDeadline deadline(DesktopCallBudgetMs);
        const auto listing =
            RunProcess({"xfconf-query", "-c", "xfce4-desktop", "-l"}, deadline.LeftMs());
        if (!listing.Succeeded())
            return TPlatformStatus::Failure(listing.Failure("XFCE: xfconf-query -l"));
        const std::string Prefix = "/backdrop/";
        const std::string Suffix = "/last-image";
        std::vector<std::string> properties;
        std::istringstream lines(listing.Out);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.size() > Prefix.size() + Suffix.size() && line.rfind(Prefix, 0) == 0 &&
                line.compare(line.size() - Suffix.size(), Suffix.size(), Suffix) == 0)
                properties.push_back(line);
        }
        if (properties.empty())
            return TPlatformStatus::Failure("XFCE: xfce4-desktop lists no backdrop last-image");
        for (const auto& property : properties) {
            const std::string styleProperty =
                property.substr(0, property.size() - Suffix.size()) + "/image-style";
            // The style first: xfdesktop redraws on the image change and then uses both.
            const auto styled =
                RunProcess({"xfconf-query", "-c", "xfce4-desktop", "-p", styleProperty, "-n", "-t",
                            "int", "-s", ImageStyle(style)},
                           deadline.LeftMs());
            if (!styled.Succeeded())
                return TPlatformStatus::Failure(
                    styled.Failure("XFCE: xfconf-query " + styleProperty));
            const auto imaged =
                RunProcess({"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-s", file},
                           deadline.LeftMs());
            if (!imaged.Succeeded())
                return TPlatformStatus::Failure(imaged.Failure("XFCE: xfconf-query " + property));
        }
        return TPlatformStatus::Success();
    }

private:
    TRootFallback fallback_;
};

} // namespace

std::unique_ptr<IDesktopBackend> CreateXfceBackend(const std::string& displayName)
{
    return std::make_unique<TXfceBackend>(displayName);
}

} // namespace scenaria
