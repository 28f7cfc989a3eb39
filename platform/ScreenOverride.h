#pragma once
// SCENARIA_SCREEN: the screen (or the monitors) that tests, and anyone composing for another
// desktop, put in place of what the system reports.

#include "platform/Platform.h"

#include <string>
#include <vector>

namespace scenaria {

// "WIDTHxHEIGHTxBITS" (the SCENARIA_SCREEN override); false when malformed.
bool ParseScreenFacts(const std::string& text, TScreenFacts& facts);
// The form of SCENARIA_SCREEN for several monitors: "WIDTHxHEIGHT+X+Y" for each, joined by
// commas, the primary first ("1920x1080+0+0,1080x1920+1920+0"); X and Y may be negative
// ("+-1280+0"). The single form "WIDTHxHEIGHTxBITS" is one monitor at 0,0. False when
// malformed.
bool ParseMonitors(const std::string& text, std::vector<TMonitor>& monitors);

// The screen that holds every monitor: the size of their bounding rectangle, 24 bits.
TScreenFacts LayoutScreenFacts(const std::vector<TMonitor>& monitors);

} // namespace scenaria
