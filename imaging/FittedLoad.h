#pragma once
// Loading a picture straight to the size it is to be shown at. A reader that decodes its rows in
// order hands them to the resampler as they come, so the whole picture is never held; a JPEG
// that is to shrink to half its size or less is first divided by the codec itself (1/2, 1/4 or
// 1/8 scale). Resampling follows the image's StretchMode (smPrecise: averages when shrinking,
// interpolates when enlarging). Other readers load the whole picture, for the caller to
// resample as it always has.

#include "imaging/Resample.h"

#include <functional>
#include <string>

namespace scenaria {

class TPixelGraphic;

// The size a picture of the given size is to have; zeros leave it as it is.
struct TFitSize {
    int Width = 0;
    int Height = 0;
};
using TFitRule = std::function<TFitSize(int pictureWidth, int pictureHeight)>;

struct TFittedLoad {
    int PictureWidth = 0; // the picture's own size (upright when asked), whatever the image's
    int PictureHeight = 0;
    // The image holds the picture at the rule's size: 24 bits a pixel, or 8-bit gray levels for
    // a gray JPEG.
    bool Fitted = false;
};

struct TFitOptions {
    // Let a JPEG decoder divide the picture before the resampler sees it; off, the pixels are
    // exactly those of loading the whole picture and resampling it with CopyFrom.
    bool ReducedDecode = true;
    // Nearest levels (rrNearest) or CopyFrom's (rrDown); see imaging/Resample.h.
    TResampleRounding Rounding = rrDown;
    // Turn the picture the way its camera was held (ApplyOrientation) before resampling; the
    // rule is then given the upright size. A picture that must be turned is loaded whole.
    bool Upright = false;
};

// Loads the file as LoadFromFile does (same readers, same errors), resampled on the way to the
// size the rule asks for where the reader can; otherwise (Fitted false) the image holds the
// whole picture. Errors of reading and of resampling reach the caller.
TFittedLoad LoadFitted(TPixelGraphic& image, const std::string& fileName, const TFitRule& rule,
                       const TFitOptions& options = {});

// The largest of 1, 2, 4 and 8 by which a decoder may divide a picture of width x height
// (rounding up) and still leave at least target pixels each way.
int ReductionFor(int width, int height, int targetWidth, int targetHeight);

} // namespace scenaria
