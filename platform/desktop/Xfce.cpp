// XFCE keeps one backdrop per monitor and workspace in the xfce4-desktop channel; xfdesktop
// redraws when a last-image property changes. Monitor names are opaque (connector names,
// "monitor0", ...), so only the properties that the channel lists are touched.
//
// Each monitor's own bitmap goes to the backdrops of the monitor xfdesktop names after it:
// "monitor<connector>" for a monitor the system names, "monitor<index>" for an unnamed one
// (Xinerama heads, in the system's order). xfdesktop built on GTK 3.22 or later reads no
// Xinerama heads: on such a display it knows one monitor, "monitor0", covering the screen, and
// that one is given the layout bitmap, tiled, which puts each head's part on its head.

#include "platform/Process.h"
#include "platform/desktop/Backends.h"

#include <optional>
#include <set>
#include <sstream>
#include <vector>

namespace scenaria {
namespace {

const std::string BackdropPrefix = "/backdrop/";
const std::string MonitorPrefix = "/backdrop/screen0/monitor";
const std::string LastImage = "/last-image";

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

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Every backdrop's last-image property that the listing names.
std::vector<std::string> LastImageProperties(const std::string& listing)
{
    std::vector<std::string> properties;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() > BackdropPrefix.size() + LastImage.size() &&
            line.rfind(BackdropPrefix, 0) == 0 && EndsWith(line, LastImage))
            properties.push_back(line);
    }
    return properties;
}

// "HDMI-1" of "/backdrop/screen0/monitorHDMI-1/workspace0/last-image"; nothing for a property
// of another form (another screen, the settings of xfdesktop before 4.12).
std::optional<std::string> MonitorOf(const std::string& property)
{
    if (property.rfind(MonitorPrefix, 0) != 0 || !EndsWith(property, LastImage))
        return std::nullopt;
    const std::string rest = property.substr(
        MonitorPrefix.size(), property.size() - MonitorPrefix.size() - LastImage.size());
    const std::size_t slash = rest.find('/');
    if (slash == 0 || slash == std::string::npos)
        return std::nullopt;
    const std::string workspace = rest.substr(slash + 1);
    if (workspace.rfind("workspace", 0) != 0 || workspace.find('/') != std::string::npos)
        return std::nullopt;
    return rest.substr(0, slash);
}

// The index of a monitor name that is one ("0", "12"), as xfdesktop writes it.
std::optional<std::size_t> IndexOf(const std::string& name)
{
    if (name.empty() || name.size() > 4 || (name[0] == '0' && name.size() > 1))
        return std::nullopt;
    std::size_t index = 0;
    for (const char c : name) {
        if (c < '0' || c > '9')
            return std::nullopt;
        index = index * 10 + static_cast<std::size_t>(c - '0');
    }
    return index;
}

struct TBackdrop {
    std::string Property; // its last-image
    std::string File;
    TWallpaperStyle Style;
};

// Several unnamed monitors while xfdesktop names monitor0 and no other by index: it sees one
// monitor, the whole screen.
bool OneMonitorForAll(const std::vector<std::string>& properties,
                      const std::vector<TMonitorPicture>& pictures)
{
    if (pictures.size() < 2)
        return false;
    for (const TMonitorPicture& picture : pictures)
        if (!picture.Monitor.Name.empty())
            return false;
    std::set<std::size_t> indexes;
    for (const std::string& property : properties)
        if (const auto monitor = MonitorOf(property))
            if (const auto index = IndexOf(*monitor))
                indexes.insert(*index);
    return indexes == std::set<std::size_t>{0};
}

const TMonitorPicture* PictureFor(const std::string& monitor,
                                  const std::vector<TMonitorPicture>& pictures)
{
    for (const TMonitorPicture& picture : pictures)
        if (!picture.Monitor.Name.empty() && picture.Monitor.Name == monitor)
            return &picture;
    const auto index = IndexOf(monitor);
    if (index && *index < pictures.size() && pictures[*index].Monitor.Name.empty())
        return &pictures[*index];
    return nullptr;
}

// What each backdrop of our monitors shows; a backdrop of no monitor of ours is left out.
std::vector<TBackdrop> MonitorBackdrops(const std::vector<std::string>& properties,
                                        const std::vector<TMonitorPicture>& pictures,
                                        const std::string& layoutFile)
{
    const bool oneForAll = OneMonitorForAll(properties, pictures);
    std::vector<TBackdrop> backdrops;
    for (const std::string& property : properties) {
        const auto monitor = MonitorOf(property);
        if (!monitor)
            continue;
        if (oneForAll && *monitor == "0")
            backdrops.push_back({property, layoutFile, wsTile});
        else if (const TMonitorPicture* picture = PictureFor(*monitor, pictures))
            // Each bitmap has its monitor's size already: stretching keeps it pixel for pixel.
            backdrops.push_back({property, picture->File, wsStretch});
    }
    return backdrops;
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
        std::vector<std::string> properties;
        if (TPlatformStatus listed = List(properties, deadline); !listed.Ok)
            return listed;
        std::vector<TBackdrop> backdrops;
        for (const std::string& property : properties)
            backdrops.push_back({property, file, style});
        return Show(backdrops, deadline);
    }

    TPlatformStatus ApplyMonitors(const std::vector<TMonitorPicture>& pictures,
                                  const std::string& layoutFile) override
    {
        // The root window spans every monitor: the layout bitmap puts each part in its place.
        if (fallback_.Needed())
            return fallback_.Apply(layoutFile, wsTile);
        const TDeadline deadline(DesktopCallBudgetMs);
        std::vector<std::string> properties;
        if (TPlatformStatus listed = List(properties, deadline); !listed.Ok)
            return listed;
        std::vector<TBackdrop> backdrops = MonitorBackdrops(properties, pictures, layoutFile);
        // No backdrop is of a monitor of ours (names the system and xfdesktop tell apart, or
        // monitors set by hand): the layout everywhere, as one picture is shown.
        if (backdrops.empty())
            for (const std::string& property : properties)
                backdrops.push_back({property, layoutFile, wsTile});
        return Show(backdrops, deadline);
    }

private:
    static TPlatformStatus List(std::vector<std::string>& properties, const TDeadline& deadline)
    {
        const auto listing =
            RunProcess({"xfconf-query", "-c", "xfce4-desktop", "-l"}, deadline.LeftMs());
        if (!listing.Succeeded())
            return TPlatformStatus::Failure(listing.Failure("XFCE: xfconf-query -l"));
        properties = LastImageProperties(listing.Out);
        if (properties.empty())
            return TPlatformStatus::Failure("XFCE: xfce4-desktop lists no backdrop last-image");
        return TPlatformStatus::Success();
    }

    static TPlatformStatus Show(const std::vector<TBackdrop>& backdrops, const TDeadline& deadline)
    {
        for (const TBackdrop& backdrop : backdrops)
            if (TPlatformStatus shown = Show(backdrop, deadline); !shown.Ok)
                return shown;
        return TPlatformStatus::Success();
    }

    static TPlatformStatus Show(const TBackdrop& backdrop, const TDeadline& deadline)
    {
        const std::string& property = backdrop.Property;
        const std::string styleProperty =
            property.substr(0, property.size() - LastImage.size()) + "/image-style";
        // The style first: xfdesktop redraws on the image change and then uses both.
        const auto styled = RunProcess({"xfconf-query", "-c", "xfce4-desktop", "-p", styleProperty,
                                        "-n", "-t", "int", "-s", ImageStyle(backdrop.Style)},
                                       deadline.LeftMs());
        if (!styled.Succeeded())
            return TPlatformStatus::Failure(styled.Failure("XFCE: xfconf-query " + styleProperty));
        const auto imaged =
            RunProcess({"xfconf-query", "-c", "xfce4-desktop", "-p", property, "-s", backdrop.File},
                       deadline.LeftMs());
        if (!imaged.Succeeded())
            return TPlatformStatus::Failure(imaged.Failure("XFCE: xfconf-query " + property));
        return TPlatformStatus::Success();
    }

    TRootFallback fallback_;
};

} // namespace

std::unique_ptr<IDesktopBackend> CreateXfceBackend(const std::string& displayName)
{
    return std::make_unique<TXfceBackend>(displayName);
}

} // namespace scenaria
