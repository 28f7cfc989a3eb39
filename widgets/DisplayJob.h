#pragma once
// The job that builds the viewer's display-adapted copy of a picture: resampled to the picture
// box, reduced to what the screen can show. It only reads the source and writes images of its
// own, so it may run on a worker thread while the interface thread paints from the source.

#include "imaging/PixelGraphic.h"
#include "widgets/PGImageRules.h"

#include <functional>
#include <memory>

namespace scenaria {

struct TDisplayJobSettings {
    TStretchMode StretchMode = smFast;
    bool Dither = true;
    std::uint8_t DitherErrorLimit = 32;
    bool DitherErrorLimitAuto = true;
    bool DitherErrorLimitSoft = true;
    bool RGBWeighting = true;
};

// phase (1-based) and per cent of it, already thinned out to one report per change of per cent
// and 50 ms.
using TDisplayJobProgress = std::function<void(int phase, int percent)>;
using TDisplayJobStop = std::function<bool()>;

// Runs the plan on the source; null when stop() said so before the copy was complete. Failures
// of the library (no memory for the copy, say) propagate.
std::unique_ptr<TPixelGraphic> RunDisplayJob(const TPixelGraphic& source,
                                             const TDisplayJobPlan& plan,
                                             const TDisplayJobSettings& settings,
                                             const TDisplayJobProgress& progress,
                                             const TDisplayJobStop& stop);

} // namespace scenaria
