#pragma once
// The image viewer's decisions as plain functions: how big the picture box is and where it
// stands, which scroll bars appear, whether a display-adapted copy of the picture is needed
// and how it is built, which tiles a paint draws and where the progress clocks go. TPGImage
// (widgets/PGImage.h) only feeds them its state; tests call them without a window.

#include "imaging/Types.h"

#include <cstdint>
#include <vector>

namespace scenaria {

// KAR: keep aspect ratio.
enum TStretch : int {
    sNeverKAR,
    sAlways,
    sAlwaysKAR,
    sShrink,
    sShrinkKAR,
    sEnlarge,
    sEnlargeKAR,
    sAlwaysLongerEdgeKAR,
    sShrinkLongerEdgeKAR,
    sEnlargeShrinkLongerEdgeKAR,
    sEnlargeLongerEdgeKAR,
    sZoomKAR
};

enum TTiling : int { tNone, tRepeat, tMirrorHorizontal, tMirrorVertical, tMirror };

enum TActionMode : int {
    amMoveImage,
    amMoveResizeCreateSelection,
    amMoveSelection,
    amMoveSelectionMoveImage,
    amNone
};

// The palettes a display-adapted copy may get on an 8-bit display.
using TPalette8BitSys24BitGraphic = TPaletteIdent;
using TPalette8BitSys8BitGraphic = TPaletteIdent;

// A picture box larger than this on either axis is cut to it: no window system scrolls further,
// and a huge zoom factor must not overflow the arithmetic that follows.
inline constexpr int MaxPicBoxExtent = 1 << 22;

// ---- Picture layout -------------------------------------------------------------------------

struct TBoxSize {
    int Width = 0;
    int Height = 0;
    double Zoom = 1.0; // -1.0 when the aspect ratio is not kept
};

// The picture box's size for a W x H picture in A x B of space. vScrollWidth and
// hScrollHeight are the widths of a vertical and the height of a horizontal scroll bar.
TBoxSize PicBoxSize(int w, int h, int a, int b, TStretch stretch, double zoomFactor,
                    int vScrollWidth, int hScrollHeight);

struct TScrollBars {
    bool Horizontal = false;
    bool Vertical = false;
    int ClientWidth = 0; // the space left beside the scroll bars
    int ClientHeight = 0;
};

// Which scroll bars content reaching (extentWidth, extentHeight) needs in A x B of space: one
// axis's bar takes room from the other, so the question is asked twice.
TScrollBars ScrollBarsFor(int extentWidth, int extentHeight, int a, int b, int vScrollWidth,
                          int hScrollHeight);

struct TPictureLayout {
    int BoxLeft = 0; // in the scrolled content, before scrolling
    int BoxTop = 0;
    int BoxWidth = 0;
    int BoxHeight = 0;
    double Zoom = 1.0;
    TScrollBars Bars;
    int ScrollX = 0; // the scroll positions a fresh layout opens at
    int ScrollY = 0;
};

// The whole picture layout: box size, its place (centred in the space the scroll bars leave),
// the scroll bars and, with center, a larger picture scrolled to its middle.
TPictureLayout PictureLayout(int w, int h, int a, int b, TStretch stretch, double zoomFactor,
                             bool center, int vScrollWidth, int hScrollHeight);

// The control size AutoSize asks for: the picture, the border on both sides, a scroll bar
// where the picture is larger than the maximum, limited to the minimum and maximum.
struct TAutoSizeLimits {
    int MinWidth = 0;
    int MaxWidth = 0x7FFFFFFF;
    int MinHeight = 0;
    int MaxHeight = 0x7FFFFFFF;
};
TBoxSize AutoSizeFor(int w, int h, int borderWidth, const TAutoSizeLimits& limits, int vScrollWidth,
                     int hScrollHeight);

// ---- The display-adapted copy ---------------------------------------------------------------

struct TDisplayImageState {
    int DisplayBits = 24; // bits per pixel times planes of the screen
    int GraphicBits = 0;  // of the loaded image; 0 without one
    TPaletteIdent GraphicPalette = pNone;
    TStretchMode StretchMode = smFast;
    bool ReduceOnLoad = false;
    bool KeepOld = false; // KeepOldPaintPixelGraphic
    bool UseThread = true;
    TPalette8BitSys8BitGraphic Palette8Bit8Bit = pOptimized252Sys16;
    int BoxWidth = 0;
    int BoxHeight = 0;
    int GraphicWidth = 0;
    int GraphicHeight = 0;
    bool MarkedStale = false;
    bool Present = false; // a display image exists
    int MadeWidth = 0;    // the box size it was made for
    int MadeHeight = 0;
    bool UnderWay = false; // a worker is building one
};

struct TDisplayImageDecision {
    bool Stale = false;
    bool Needed = false;
    bool Drop = false;  // drop the existing one (stopping the worker first)
    bool Build = false; // start building a new one
};

TDisplayImageDecision DecideDisplayImage(const TDisplayImageState& state);

// How the worker builds the copy.
enum TTargetPalette : int {
    tpNone,      // a true-colour target
    tpStandard,  // the standard palette named by TargetPaletteKind
    tpOptimized, // an optimised palette of 252 colours, the 16 system colours included
    tpSource     // a copy of the source's own palette
};

struct TDisplayJobPlan {
    bool Intermediate = false; // resample into a true-colour image of the box size first
    TBitCount TargetBits = bc24Bit;
    TTargetPalette Palette = tpNone;
    TPaletteIdent TargetPaletteKind = pNone;
    int TargetWidth = 0;
    int TargetHeight = 0;
    int Phases = 1;
};

struct TDisplayJobInput {
    int DisplayBits = 24;
    TBitCount SourceBits = bc24Bit;
    int SourceWidth = 0;
    int SourceHeight = 0;
    int BoxWidth = 0;
    int BoxHeight = 0;
    TStretchMode StretchMode = smFast;
    bool Allow24BitStretch = false;
    TPalette8BitSys24BitGraphic Palette8Bit24Bit = pOptimized252Sys16;
    TPalette8BitSys8BitGraphic Palette8Bit8Bit = pOptimized252Sys16;
};

TDisplayJobPlan PlanDisplayJob(const TDisplayJobInput& input);

// Progress from the worker: per cent of a row count, reported only when it changed and the
// 50 ms period (counted in milliseconds by the caller's clock) moved on.
int RowPercent(int row, int rows);
class TProgressThrottle {
public:
    // True when (percent at time ms) is to be reported.
    bool Report(int percent, std::int64_t milliseconds);

private:
    int lastPercent_ = -1;
    std::int64_t lastPeriod_ = -1;
};

// ---- Painting -------------------------------------------------------------------------------

struct TTile {
    TRect Rect;
    bool MirrorHorizontal = false;
    bool MirrorVertical = false;
};

// More tiles than this are not listed one by one (a tiny picture tiled over a large window
// would make millions); the plan then says to paint the repeating pattern as a whole.
inline constexpr std::int64_t MaxPlannedTiles = 4096;

struct TTilePlan {
    std::vector<TTile> Tiles;
    bool Pattern = false; // too many tiles: fill the clip with the pattern instead
    // Per kind of mirroring (horizontal only, vertical only, both): make a mirrored copy of
    // the picture once instead of drawing each tile mirrored.
    bool CopyHorizontal = false;
    bool CopyVertical = false;
    bool CopyBoth = false;
};

// The tiles that cover the client area (clip: the part to be painted) around the picture box
// at box; without tiling only the box itself. Mirrored copies are worth making only when more
// than two visible tiles need the same kind.
TTilePlan PlanTiles(const TRect& box, int clientWidth, int clientHeight, const TRect& clip,
                    TTiling tiling, bool flipHorizontal, bool flipVertical);

// The four margins around the box inside the client area (empty ones left out).
std::vector<TRect> Margins(const TRect& box, int clientWidth, int clientHeight);

struct TClockHands {
    int LongX, LongY;   // end of the 7-pixel hand, the centre at 0, 0
    int ShortX, ShortY; // end of the 6-pixel hand
};
TClockHands ClockHands(int phase, int percent);

// Top-left corners of the 15 x 15 clocks drawn over an empty picture box.
std::vector<TRect> ClockRects(const TRect& box, bool fiveClocks);

} // namespace scenaria
