#pragma once
// Composing wallpaper bitmaps for a desktop of several monitors: one picture fitted to one
// monitor, the monitors' bitmaps joined into one bitmap of the whole layout (or one picture
// spanned across it), and a monitor's part cut back out. Everything comes in by parameters, so
// that the platform decides where the monitors are and the settings how a picture is fitted.

#include "imaging/Types.h"
#include "platform/Platform.h"

#include <vector>

namespace scenaria {

class TPixelGraphic;

// How a picture is fitted to one monitor.
enum TFitMode : int { fmTile, fmCentre, fmStretch, fmProportional, fmFill };

struct TFitStyle {
    TFitMode Mode = fmCentre;
    TColor Background = RGB(0, 0, 0); // around a centred or proportional picture (letterbox)
    bool Smooth = true;               // area-average/interpolating resampling, else nearest pixel
};

// The smallest rectangle holding every monitor (X, Y may be negative, as on Windows). Raises
// std::invalid_argument for no monitors, a monitor of no area, or edges no int holds.
TRect LayoutBounds(const std::vector<TMonitor>& monitors);

// Makes target a 24-bit bitmap of width x height showing the picture fitted by the style:
//  tile: repeated from the top-left corner;
//  centre: at its own size, centred, cropped when larger; an odd leftover puts the extra pixel
//   right and below (left = (width - pictureWidth) / 2, truncated toward zero);
//  stretch: scaled to width x height;
//  proportional: scaled by ProportionalScale (sizes truncated, at least 1), centred;
//  fill: scaled by the larger ratio so that it covers the monitor, centred, the overflow
//   cropped equally on both sides (the odd pixel right and below).
// Centre and proportional leave the style's background around the picture. A picture of any
// bit count keeps its colours. Raises std::runtime_error for a non-positive size, an empty
// picture, or a scaled picture beyond the library's image size ceiling.
void ComposeForMonitor(TPixelGraphic& target, const TPixelGraphic& picture, int width, int height,
                       const TFitStyle& style);

// Makes target one 24-bit bitmap of the layout's bounds with each monitor's bitmap
// (perMonitor[i] is monitors[i].Width x Height, of any bit count) at the monitor's place;
// pixels outside every monitor are black, and where monitors overlap (mirrored outputs) the later
// one wins. Raises std::invalid_argument when counts or sizes disagree, or the bounds exceed the
// image ceiling.
void ComposeLayout(TPixelGraphic& target, const std::vector<TMonitor>& monitors,
                   const std::vector<const TPixelGraphic*>& perMonitor);

// One picture across the whole layout: composed for the bounds' size by the style, then black
// outside every monitor. Raises as LayoutBounds and ComposeForMonitor do, and
// std::invalid_argument for bounds beyond the image ceiling.
void ComposeSpanned(TPixelGraphic& target, const std::vector<TMonitor>& monitors,
                    const TPixelGraphic& picture, const TFitStyle& style);

// The part of a layout bitmap (bounds as LayoutBounds gave them) that one monitor shows. Raises
// std::invalid_argument when the bitmap is not 24-bit of the bounds' size, or the monitor lies
// outside the bounds.
void CropMonitor(TPixelGraphic& target, const TPixelGraphic& layout, const TRect& bounds,
                 const TMonitor& monitor);

// Turns a layout bitmap (bounds as LayoutBounds gave them) into the tile that, repeated from
// the point 0,0 of the monitors' coordinates, shows each monitor its part: a desktop that tiles
// from its primary monitor's corner, with monitors left of it or above it (Windows), then lines
// up. A layout that starts at 0,0 stays as it is. Raises std::invalid_argument when the bitmap
// is not 24-bit of the bounds' size.
void AlignToOrigin(TPixelGraphic& layout, const TRect& bounds);

} // namespace scenaria
