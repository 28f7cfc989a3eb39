#pragma once
// Resampling beyond CopyRect: a picture that arrives one row at a time, and the number of
// threads the library's resampling may use.

#include "imaging/Types.h"

#include <cstdint>
#include <memory>

namespace scenaria {

class TPixelGraphic;

// How many threads resampling may use: 0 (the default) lets the library take the processor's
// cores (at most 8); 1 keeps it on the calling thread. Set once when the program starts; the
// pixels are the same whatever the number.
extern int ImagingThreads;
int ImagingWorkerThreads();

// How averaged and interpolated colours become whole levels: rrDown as CopyRect does (the
// level below, which darkens by half a level on average), rrNearest to the nearest level.
enum TResampleRounding : int { rrDown, rrNearest };

// Resamples a picture of sourceWidth x sourceHeight whose rows arrive in order, top first,
// onto the whole of a 24-bit target by the target's StretchMode. With rrDown the pixels are
// exactly those of target.CopyFrom(picture), yet only the few source rows that the next target
// row needs are kept. The target must already have its size.
class TRowResampler {
public:
    TRowResampler(TPixelGraphic& target, int sourceWidth, int sourceHeight,
                  TResampleRounding rounding = rrDown);
    ~TRowResampler();
    TRowResampler(const TRowResampler&) = delete;
    TRowResampler& operator=(const TRowResampler&) = delete;

    // The next source row: sourceWidth pixels of blue, green, red, or of gray levels.
    void PushRow(const std::uint8_t* row, bool gray);
    // Source rows taken so far.
    int RowsPushed() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// Resamples the whole of source onto the whole of a 24-bit target by the target's StretchMode
// through a TRowResampler: CopyFrom's arithmetic with the rounding asked for, from a source of
// any bit count.
void ResampleWhole(TPixelGraphic& target, const TPixelGraphic& source, TResampleRounding rounding);

} // namespace scenaria
