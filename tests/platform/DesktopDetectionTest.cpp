#include "platform/Desktop.h"

#include <gtest/gtest.h>

#include <map>

namespace scenaria {
namespace {

TDesktopKind Detect(const std::map<std::string, std::string>& variables)
{
    return DetectDesktop([&](const char* name) {
        const auto it = variables.find(name);
        return it == variables.end() ? std::string() : it->second;
    });
}

TEST(DesktopDetection, CurrentDesktopTakesTheFirstKnownNameOfItsList)
{
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "GNOME"}}), dkGnome);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}), dkGnome);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "KDE"}}), dkKde);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "X-Cinnamon"}}), dkCinnamon);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "MATE"}}), dkMate);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "XFCE"}}), dkXfce);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "LXQt"}}), dkLxqt);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "LXDE"}}), dkLxde);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "Unity:Unity7:ubuntu"}}), dkUnity);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "sway"}}), dkSway);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "kde"}}), dkKde) << "names are not case-sensitive";
    // The list wins over the session name and the display.
    EXPECT_EQ(
        Detect({{"XDG_CURRENT_DESKTOP", "XFCE"}, {"DESKTOP_SESSION", "plasma"}, {"DISPLAY", ":0"}}),
        dkXfce);
}

TEST(DesktopDetection, BudgieIsNotTakenForTheGnomeItAlsoNames)
{
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "Budgie:GNOME"}}), dkBudgie);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "GNOME:Budgie"}}), dkBudgie);
}

TEST(DesktopDetection, UnknownNamesFallBackToTheSessionThenToDisplayFacts)
{
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "i3"}, {"DESKTOP_SESSION", "plasmawayland"}}), dkKde);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "/usr/share/xsessions/plasma"}}), dkKde);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "xfce"}}), dkXfce);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "cinnamon2d"}}), dkCinnamon);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "ubuntu-wayland"}}), dkGnome);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "LXDE-pi"}}), dkLxde);
    EXPECT_EQ(Detect({{"DESKTOP_SESSION", "budgie-desktop"}}), dkBudgie);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "i3"},
                      {"SWAYSOCK", "/run/user/1/sway.sock"},
                      {"DISPLAY", ":0"}}),
              dkSway);
    EXPECT_EQ(Detect({{"XDG_CURRENT_DESKTOP", "i3"}, {"DESKTOP_SESSION", "i3"}, {"DISPLAY", ":1"}}),
              dkX11);
    EXPECT_EQ(Detect({{"WAYLAND_DISPLAY", "wayland-0"}}), dkNone)
        << "an unknown Wayland compositor has no root window to paint";
    EXPECT_EQ(Detect({}), dkNone);
}

} // namespace
} // namespace scenaria
