#include "platform/Desktop.h"

#include "platform/desktop/Backends.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace scenaria {
namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

TDesktopKind FromCurrentDesktopName(const std::string& rawName)
{
    const std::string name = Lower(rawName);
    if (name == "budgie" || name == "budgie-desktop")
        return dkBudgie;
    if (name == "gnome" || name == "gnome-classic" || name == "gnome-flashback")
        return dkGnome;
    if (name == "unity")
        return dkUnity;
    if (name == "x-cinnamon" || name == "cinnamon")
        return dkCinnamon;
    if (name == "mate")
        return dkMate;
    if (name == "kde")
        return dkKde;
    if (name == "xfce")
        return dkXfce;
    if (name == "lxqt")
        return dkLxqt;
    if (name == "lxde")
        return dkLxde;
    if (name == "sway")
        return dkSway;
    return dkNone;
}

TDesktopKind FromSessionName(const std::string& rawSession)
{
    // Some display managers put the session file's path here.
    std::string session = Lower(rawSession);
    if (const auto slash = session.rfind('/'); slash != std::string::npos)
        session.erase(0, slash + 1);
    if (const auto dot = session.rfind(".desktop"); dot != std::string::npos && dot > 0)
        session.erase(dot);
    if (StartsWith(session, "budgie"))
        return dkBudgie;
    if (StartsWith(session, "gnome") || StartsWith(session, "ubuntu"))
        return dkGnome;
    if (session == "unity")
        return dkUnity;
    if (StartsWith(session, "cinnamon"))
        return dkCinnamon;
    if (session == "mate")
        return dkMate;
    if (StartsWith(session, "plasma") || StartsWith(session, "kde"))
        return dkKde;
    if (StartsWith(session, "xfce") || session == "xubuntu")
        return dkXfce;
    if (session == "lxqt" || session == "lubuntu")
        return dkLxqt;
    if (StartsWith(session, "lxde"))
        return dkLxde;
    if (session == "sway")
        return dkSway;
    return dkNone;
}

} // namespace

TDesktopKind DetectDesktop(const TEnvLookup& env)
{
    const std::string current = env("XDG_CURRENT_DESKTOP");
    std::vector<TDesktopKind> listed;
    std::size_t start = 0;
    while (start <= current.size()) {
        auto end = current.find(':', start);
        if (end == std::string::npos)
            end = current.size();
        if (const auto kind = FromCurrentDesktopName(current.substr(start, end - start));
            kind != dkNone)
            listed.push_back(kind);
        start = end + 1;
    }
    // Budgie names GNOME too, and must not be taken for it.
    if (std::find(listed.begin(), listed.end(), dkBudgie) != listed.end())
        return dkBudgie;
    if (!listed.empty())
        return listed.front();

    if (const auto kind = FromSessionName(env("DESKTOP_SESSION")); kind != dkNone)
        return kind;
    if (!env("SWAYSOCK").empty())
        return dkSway;
    if (!env("DISPLAY").empty())
        return dkX11;
    return dkNone;
}

const char* DesktopName(TDesktopKind kind)
{
    switch (kind) {
    case dkX11:
        return "X11";
    case dkGnome:
        return "GNOME";
    case dkBudgie:
        return "Budgie";
    case dkUnity:
        return "Unity";
    case dkCinnamon:
        return "Cinnamon";
    case dkMate:
        return "MATE";
    case dkKde:
        return "KDE Plasma";
    case dkXfce:
        return "XFCE";
    case dkLxqt:
        return "LXQt";
    case dkLxde:
        return "LXDE";
    case dkSway:
        return "sway";
    case dkNone:
        break;
    }
    return "no desktop";
}

std::unique_ptr<IDesktopBackend> CreateDesktopBackend(TDesktopKind kind, const TEnvLookup& env)
{
    switch (kind) {
    case dkGnome:
    case dkBudgie:
    case dkUnity:
    case dkCinnamon:
    case dkMate:
        return CreateGSettingsBackend(kind);
    case dkKde:
        return CreateKdeBackend();
    case dkXfce:
        return CreateXfceBackend(env("DISPLAY"));
    case dkLxqt:
    case dkLxde:
        return CreatePcmanfmBackend(kind, env("DISPLAY"));
    case dkSway:
        return CreateSwayBackend();
    case dkX11:
        return CreateX11Backend(env("DISPLAY"));
    case dkNone:
        break;
    }
    return nullptr;
}

} // namespace scenaria
