#include "platform/ScreenOverride.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace scenaria {

bool ParseScreenFacts(const std::string& text, TScreenFacts& facts)
{
    int width = 0, height = 0, bits = 0;
    char x1 = 0, x2 = 0, extra = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c%d%c", &width, &x1, &height, &x2, &bits, &extra) != 5 ||
        x1 != 'x' || x2 != 'x' || width <= 0 || height <= 0 || bits <= 0)
        return false;
    facts = {width, height, bits};
    return true;
}

namespace {

// Sizes and places any real layout stays far within, so that sums of them never overflow.
bool Plausible(const TMonitor& m)
{
    constexpr int MaxSide = 1 << 16, MaxPlace = 1 << 20;
    return m.Width > 0 && m.Height > 0 && m.Width <= MaxSide && m.Height <= MaxSide &&
           std::abs(m.X) <= MaxPlace && std::abs(m.Y) <= MaxPlace;
}

} // namespace

bool ParseMonitors(const std::string& text, std::vector<TMonitor>& monitors)
{
    std::vector<TMonitor> parsed;
    if (TScreenFacts facts; ParseScreenFacts(text, facts)) {
        monitors = {TMonitor{"", 0, 0, facts.Width, facts.Height, true, 0}};
        return true;
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        TMonitor m;
        char x = 0, plus1 = 0, plus2 = 0, extra = 0;
        if (std::sscanf(item.c_str(), "%d%c%d%c%d%c%d%c", &m.Width, &x, &m.Height, &plus1, &m.X,
                        &plus2, &m.Y, &extra) != 7 ||
            x != 'x' || plus1 != '+' || plus2 != '+' || !Plausible(m))
            return false;
        m.Name = "SCREEN-" + std::to_string(parsed.size() + 1);
        m.Primary = parsed.empty();
        parsed.push_back(m);
        start = comma + 1;
    }
    monitors = std::move(parsed);
    return !monitors.empty();
}

TScreenFacts LayoutScreenFacts(const std::vector<TMonitor>& monitors)
{
    if (monitors.empty())
        return {};
    int left = monitors[0].X, top = monitors[0].Y, right = left, bottom = top;
    for (const TMonitor& m : monitors) {
        left = std::min(left, m.X);
        top = std::min(top, m.Y);
        right = std::max(right, m.X + m.Width);
        bottom = std::max(bottom, m.Y + m.Height);
    }
    return {right - left, bottom - top, 24};
}

} // namespace scenaria
