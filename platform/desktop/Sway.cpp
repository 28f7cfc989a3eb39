// sway takes the wallpaper as a command over its IPC socket. The file name goes through two
// parsers there: the command line (split at blanks, double quotes stripped) and then shell-style
// word expansion (wordexp, which would also expand $VARIABLES and even run $(commands)). So the
// name is sent single-quoted inside double quotes, and names that no quoting makes safe for
// both ($, quotes, backslashes, control characters) are refused, which gives them an alias.
// Several outputs are told their own bitmaps in one message, its commands separated by ';', so
// that they change together; an output name goes into it unquoted, so only names of the plain
// form sway gives its outputs are sent.

#include "platform/Process.h"
#include "platform/desktop/Backends.h"

#include <cctype>

namespace scenaria {
namespace {

bool PlainOutputName(const std::string& name)
{
    if (name.empty())
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || (!std::isalnum(byte) && c != '-' && c != '_' && c != '.'))
            return false;
    }
    return true;
}

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
        // -p: sway's answer as text ("Error: ..."), not the JSON it prints when not on a
        // terminal, whose first line says nothing.
        const auto result = RunProcess({"swaymsg", "-p", "output", "*", "bg", "\"'" + file + "'\"",
                                        TileCentreStretchWord(style)},
                                       DesktopCallBudgetMs);
        if (result.Succeeded())
            return TPlatformStatus::Success();
        return TPlatformStatus::Failure(result.Failure("sway: swaymsg output bg"));
    }

    TPlatformStatus ApplyMonitors(const std::vector<TMonitorPicture>& pictures,
                                  const std::string& /*layoutFile*/) override
    {
        // -p: a refusal comes back as one line of text rather than as JSON.
        std::vector<std::string> argv{"swaymsg", "-p"};
        const std::size_t head = argv.size();
        for (const TMonitorPicture& picture : pictures) {
            if (picture.Monitor.Name.empty())
                continue;
            if (argv.size() > head)
                argv.push_back(";");
            if (const std::string refused = AddBackground(argv, picture); !refused.empty())
                return TPlatformStatus::Failure(refused);
        }
        if (argv.size() == head)
            return TPlatformStatus::Failure("sway: outputs without names");
        const auto result = RunProcess(argv, DesktopCallBudgetMs);
        if (result.Succeeded())
            return TPlatformStatus::Success();
        return TPlatformStatus::Failure(result.Failure("sway: swaymsg output bg"));
    }

private:
    // Appends the command that shows the picture on its output; "" when done, else why not.
    std::string AddBackground(std::vector<std::string>& argv, const TMonitorPicture& picture) const
    {
        const std::string& name = picture.Monitor.Name;
        if (!PlainOutputName(name))
            return "sway: cannot pass this output name safely: " + name;
        if (!AcceptsFileName(picture.File))
            return "sway: cannot pass this file name safely: " + picture.File;
        // Each bitmap has its output's size already, so stretching leaves it pixel for pixel.
        argv.insert(argv.end(), {"output", name, "bg", "\"'" + picture.File + "'\"", "stretch"});
        return {};
    }
};

} // namespace

std::unique_ptr<IDesktopBackend> CreateSwayBackend()
{
    return std::make_unique<TSwayBackend>();
}

} // namespace scenaria
