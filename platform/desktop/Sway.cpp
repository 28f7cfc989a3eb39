// sway takes the wallpaper as a command over its IPC socket. The file name goes through two
// parsers there: the command line (split at blanks, double quotes stripped) and then shell-style
// word expansion (wordexp, which would also expand $VARIABLES and even run $(commands)). So the
// name is sent single-quoted inside double quotes, and names that no quoting makes safe for
// both ($, quotes, backslashes, control characters) are refused, which gives them an alias.

#include "platform/Process.h"
#include "platform/desktop/Backends.h"

namespace scenaria {
namespace {

class TSwayBackend : public IDesktopBackend {
public:
    TDesktopKind Kind() const override { return dkSway; }

    bool AcceptsFileName(const std::string& path) const override
    {
        for (const char c : path) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7f || c == '$' || c == '`' || c == '\\' || c == '"' ||
                c == '\'')
                return false;
        }
        return true;
    }

    TPlatformStatus Apply(const std::string& file, TWallpaperStyle style) override
    {
        if (!AcceptsFileName(file))
            return TPlatformStatus::Failure("sway: cannot pass this file name safely: " + file);
        const auto result = RunProcess(
            {"swaymsg", "output", "*", "bg", "\"'" + file + "'\"", TileCentreStretchWord(style)},
            DesktopCallBudgetMs);
        if (result.Succeeded())
            return TPlatformStatus::Success();
        return TPlatformStatus::Failure(result.Failure("sway: swaymsg output bg"));
    }
};

} // namespace

std::unique_ptr<IDesktopBackend> CreateSwayBackend()
{
    return std::make_unique<TSwayBackend>();
}

} // namespace scenaria
