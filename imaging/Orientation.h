#pragma once
// Turning a picture the way its camera held it. Readers only report the orientation tag
// (TPixelGraphic::Orientation, Exif's numbering); whoever shows the picture calls
// ApplyOrientation once, so that a picture is never turned twice.
//
//   1 upright           2 mirrored left to right   3 turned half round   4 mirrored top to bottom
//   5 mirrored along the main diagonal (transposed) 6 to be turned a quarter clockwise
//   7 mirrored along the other diagonal             8 to be turned a quarter anticlockwise

#include "imaging/PixelGraphic.h"

namespace scenaria {

// Rearranges the pixels so that the picture stands upright, for every bit count, and sets
// Orientation to 1. Width and height change places for 5 to 8. A value outside 1..8 counts as
// 1 (Exif readers treat an unknown tag as absent).
void ApplyOrientation(TPixelGraphic& image);

// The upright size of a picture stored width x height with this orientation.
void OrientedSize(int orientation, int& width, int& height);

// Whether the value is one of Exif's eight orientations.
inline bool ValidOrientation(int orientation)
{
    return orientation >= 1 && orientation <= 8;
}

} // namespace scenaria
