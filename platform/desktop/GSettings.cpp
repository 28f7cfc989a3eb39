// The desktops that keep their wallpaper in GSettings. Their background services watch the
// keys, so setting them is all it takes.

#include "platform/Process.h"
#include "platform/Uri.h"
#include "platform/desktop/Backends.h"

#include <optional>
#include <sstream>

namespace scenaria {
namespace {

// gsettings parses the value as GVariant text; a quoted string keeps quotes and backslashes in
// the file name from being read as syntax.
std::string GVariantString(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\\' || c == '\'')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "'";
}

const char* PictureOption(TWallpaperStyle style)
{
    switch (style) {
    case wsTile:
        return "wallpaper";
    case wsStretch:
        return "stretched";
    case wsCentre:
        break;
    }
    return "centered";
}

class TGSettingsBackend : public IDesktopBackend {
public:
    explicit TGSettingsBackend(TDesktopKind kind) : kind_(kind)
    {
        if (kind == dkCinnamon) {
            schema_ = "org.cinnamon.desktop.background";
        } else if (kind == dkMate) {
            schema_ = "org.mate.background";
            fileKey_ = "picture-filename";
            plainPath_ = true;
        } else {
            schema_ = "org.gnome.desktop.background";
            darkKeyMayExist_ = true;
        }
    }

    TDesktopKind Kind() const override { return kind_; }

    TPlatformStatus Apply(const std::string& file, TWallpaperStyle style) override
    {
        return ApplyWithOption(file, PictureOption(style));
    }

    // These desktops draw one picture for all monitors; "spanned" lays it across their
    // bounding rectangle, which is exactly what the layout bitmap covers.
    TPlatformStatus ApplyMonitors(const std::vector<TMonitorPicture>& /*pictures*/,
                                  const std::string& layoutFile) override
    {
        return ApplyWithOption(layoutFile, "spanned");
    }

private:
    TPlatformStatus ApplyWithOption(const std::string& file, const char* option)
    {
        // Up to four gsettings calls share one budget (see DesktopCallBudgetMs).
        const TDeadline deadline(DesktopCallBudgetMs);
        deadline_ = &deadline;
        const TPlatformStatus status = ApplyWithin(file, option);
        deadline_ = nullptr;
        return status;
    }

    TPlatformStatus ApplyWithin(const std::string& file, const char* option)
    {
        if (auto status = Set("picture-options", GVariantString(option)); !status.Ok)
            return status;
        const std::string value = GVariantString(plainPath_ ? file : FileUri(file));
        if (auto status = Set(fileKey_, value); !status.Ok)
            return status;
        // GNOME 42 and later show picture-uri-dark alone while the dark style is on.
        if (darkKeyMayExist_ && HasKey("picture-uri-dark"))
            return Set("picture-uri-dark", value);
        return TPlatformStatus::Success();
    }

    TPlatformStatus Set(const std::string& key, const std::string& value)
    {
        const auto result =
            RunProcess({"gsettings", "set", schema_, key, value}, deadline_->LeftMs());
        if (result.Succeeded())
            return TPlatformStatus::Success();
        return TPlatformStatus::Failure(
            result.Failure(std::string(DesktopName(kind_)) + ": gsettings set " + key));
    }

    bool HasKey(const std::string& key)
    {
        if (!keys_) {
            const auto result =
                RunProcess({"gsettings", "list-keys", schema_}, deadline_->LeftMs());
            keys_ = result.Succeeded() ? result.Out : std::string();
        }
        std::istringstream lines(*keys_);
        std::string line;
        while (std::getline(lines, line))
            if (line == key)
                return true;
        return false;
    }

    TDesktopKind kind_;
    std::string schema_;
    std::string fileKey_ = "picture-uri";
    bool plainPath_ = false;
    bool darkKeyMayExist_ = false;
    std::optional<std::string> keys_;
    const TDeadline* deadline_ = nullptr;
};

} // namespace

std::unique_ptr<IDesktopBackend> CreateGSettingsBackend(TDesktopKind kind)
{
    return std::make_unique<TGSettingsBackend>(kind);
}

} // namespace scenaria
