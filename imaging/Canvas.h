#pragma once
// TPGCanvas: drawing into a TPixelGraphic. It stands where a GDI device context would: the
// wallpaper composition stretch-draws a picture onto a new image through it, the viewer fills
// and draws tiles with it.

#include "imaging/Types.h"

namespace scenaria {

class TPixelGraphic;

class TPGCanvas {
public:
    explicit TPGCanvas(TPixelGraphic& image) : image_(image) {}
    TPGCanvas(const TPGCanvas&) = delete;
    TPGCanvas& operator=(const TPGCanvas&) = delete;

    TPixelGraphic& Image() const { return image_; }

    // Fills the part of rect inside the image; palette images get the nearest entry.
    void FillRect(const TRect& rect, TColor color);
    // Stretches graphic onto rect (nearest pixel, as GDI's COLORONCOLOR mode); a rect with
    // Right < Left or Bottom < Top draws it mirrored.
    void StretchDraw(const TRect& rect, const TPixelGraphic& graphic);
    // Draws graphic at its own size with its top-left corner at (x, y).
    void Draw(int x, int y, const TPixelGraphic& graphic);

private:
    TPixelGraphic& image_;
};

} // namespace scenaria
