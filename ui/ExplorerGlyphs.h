#pragma once
// The pictures on the Explorer's tool buttons, drawn here rather than stored, so that they
// scale with the screen and need no image files.

#include <QIcon>
#include <QString>

namespace scenaria {

// The glyph of a tool button by its control name ("btSelect", ...); the toggles Swap and Fit
// get a second picture for their down state. A null icon for an unknown name.
QIcon ExplorerGlyph(const QString& button);

} // namespace scenaria
