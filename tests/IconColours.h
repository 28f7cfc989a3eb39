#pragma once
// Whether pixels read back from a screen are the program's icon.

#include "DesktopSession.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

namespace scenaria::testing {

// The icon's own colours: its dark frame, the sky, the sun and the hills. A blank, a single
// colour or another program's picture lacks most of them.
struct TIconColours {
    std::set<std::uint32_t> Distinct;
    bool Frame = false, Sky = false, Sun = false, Hills = false;

    void Add(const TRgb& c)
    {
        Distinct.insert(static_cast<std::uint32_t>(c.R << 16 | c.G << 8 | c.B));
        Frame = Frame ||
                (std::abs(c.R - 40) < 20 && std::abs(c.G - 52) < 20 && std::abs(c.B - 72) < 20);
        Sky = Sky || (c.B > c.R + 50 && c.B > 150);
        Sun = Sun || (c.R > 200 && c.G > 160 && c.B < 150);
        Hills = Hills || (c.G > c.R + 30 && c.G > c.B + 15);
    }
    bool LooksLikeTheIcon() const { return Distinct.size() >= 16 && Frame && Sky && Sun && Hills; }
    std::string Describe() const
    {
        return std::to_string(Distinct.size()) + " colours; frame " + std::to_string(Frame) +
               ", sky " + std::to_string(Sky) + ", sun " + std::to_string(Sun) + ", hills " +
               std::to_string(Hills);
    }
};

} // namespace scenaria::testing
