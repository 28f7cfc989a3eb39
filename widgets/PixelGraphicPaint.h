#pragma once
// Turning a TPixelGraphic into pixels Qt can draw, only as far as a paint needs them: a region
// of the picture stretched (nearest pixel) to the size of the picture box, optionally mirrored.

#include "imaging/PixelGraphic.h"

#include <QImage>
#include <QRect>

namespace scenaria {

// The part region (in box coordinates, inside 0, 0 .. boxWidth, boxHeight) of the picture
// stretched to boxWidth x boxHeight; mirrored tiles count their pixels from the other edge.
// An empty picture or region gives a null image.
QImage RenderBoxRegion(const TPixelGraphic& graphic, int boxWidth, int boxHeight,
                       const QRect& region, bool mirrorHorizontal = false,
                       bool mirrorVertical = false);

} // namespace scenaria
