#pragma once
// The viewer's own cursors for dragging a picture: an open hand over a picture that can be
// dragged and a closed one while it is dragged, both 32 x 32 with the hot spot at 16, 12.

#include <QCursor>

namespace scenaria {

inline constexpr int PanCursorSize = 32;
inline constexpr int PanHotSpotX = 16;
inline constexpr int PanHotSpotY = 12;

QCursor MakePanHoverCursor();
QCursor MakePanGrabCursor();

} // namespace scenaria
