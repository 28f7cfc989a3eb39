#pragma once
// TPGImage: the picture viewer of the Bitmap Explorer. A scroll area that loads a picture file
// into a TPixelGraphic, lays it out (stretched, centred, zoomed), paints it (tiled or mirrored
// when asked), lets a worker build a copy the screen can show when the screen has fewer colours
// than the picture, and lets the user drag a picture larger than the window.
//
// Inside it stands a TPicBox that marks the picture's area and receives the mouse; the viewer
// itself paints the picture, the margins and the tiles on its viewport, so the box is
// transparent. The decisions live in widgets/PGImageRules.h.

#include "imaging/PixelGraphic.h"
#include "widgets/PGImageRules.h"

#include <QAbstractScrollArea>
#include <QCursor>
#include <QImage>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>

class QMenu;

namespace scenaria {

class TCreatePaintPGThread;
class TPGImage;

// The bits per pixel (times planes) of the screen the viewer paints on; 0 when unknown, which
// counts as true colour.
using TScreenDepthSource = std::function<int()>;

using TPGImageNotifyEvent = std::function<void(TPGImage& sender)>;
using TPGImageProgressEvent = std::function<void(TPGImage& sender, int step, int max, bool& abort)>;
using TPGImageNewAutoSizeEvent = std::function<void(TPGImage& sender, int width, int height)>;
// A handler may replace the cursor the viewer chose.
using TPGImageSetCursorEvent = std::function<void(TPGImage& sender, QCursor& cursor)>;
using TPicBoxMouseEvent = std::function<void(TPGImage& sender, Qt::MouseButton button,
                                             Qt::KeyboardModifiers modifiers, int x, int y)>;

enum TDragMode : int { dmManual, dmAutomatic };

class TPicBox : public QWidget {
    Q_OBJECT
public:
    explicit TPicBox(TPGImage& owner);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    TPGImage& owner_;
};

class TPGImage : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TPGImage(QWidget* parent = nullptr);
    ~TPGImage() override;

    // Where every new viewer learns the screen's depth (the program hands it the platform's
    // screen facts at start-up); without one the screen counts as true colour.
    static void SetDefaultScreenDepthSource(TScreenDepthSource source);
    // This viewer's source; asked again when the screen changes.
    void SetScreenDepthSource(TScreenDepthSource source);
    int ScreenDepth() const { return screenDepth_; }
    // The screen changed: ask its depth again, rebuild the display copy, repaint.
    void DisplayChanged();

    // --- The picture ------------------------------------------------------------------
    // Setting the name loads the file (an empty name clears the view). A file that cannot be
    // loaded leaves the view empty and without a name, and the library's error propagates.
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName);
    // The loaded image; null when none. Changes to it lay the view out again.
    TPixelGraphic* PixelGraphic() const { return graphic_.get(); }
    // The copy the screen shows when the picture itself cannot be; null when none.
    const TPixelGraphic* DisplayImage() const { return displayImage_.get(); }
    bool DisplayImageUnderWay() const { return worker_ != nullptr; }
    // The picture's pixels scaled to the picture box as the last paint kept them (null when
    // the box is painted region by region); kept until the picture or the box size changes.
    const QImage& ScaledPixels() const { return cache_.Plain; }
    // Saves the loaded image (EPGEmpty naming "PixelGraphic" when nothing is loaded).
    void SaveToFile(const std::string& fileName);
    // Invalidates the viewer and its picture box.
    void Repaint();

    // --- Layout -----------------------------------------------------------------------
    TStretch Stretch() const { return stretch_; }
    void SetStretch(TStretch value);
    TStretchMode StretchMode() const { return stretchMode_; }
    void SetStretchMode(TStretchMode value);
    TTiling Tiling() const { return tiling_; }
    void SetTiling(TTiling value);
    bool Center() const { return center_; }
    void SetCenter(bool value);
    double ZoomFactor() const { return zoomFactor_; }
    void SetZoomFactor(double value);
    // The scale the picture is shown at; -1.0 when stretched without keeping its proportions.
    double ZoomInEffect() const { return zoom_; }
    bool FlipHorizontal() const { return flipHorizontal_; }
    void SetFlipHorizontal(bool value);
    bool FlipVertical() const { return flipVertical_; }
    void SetFlipVertical(bool value);
    bool RearrangeAlways() const { return rearrangeAlways_; }
    void SetRearrangeAlways(bool value) { rearrangeAlways_ = value; }
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    const TAutoSizeLimits& AutoSizeLimits() const { return autoSizeLimits_; }
    void SetAutoSizeMinWidth(int value);
    void SetAutoSizeMaxWidth(int value);
    void SetAutoSizeMinHeight(int value);
    void SetAutoSizeMaxHeight(int value);
    // The picture box's place in the viewport (scrolled).
    QRect PicBoxRect() const;
    TPicBox* PicBox() const { return picBox_; }

    // --- Display adaptation -----------------------------------------------------------
    bool UseThread() const { return useThread_; }
    void SetUseThread(bool value);
    bool Dither() const { return dither_; }
    void SetDither(bool value) { SetAndMarkStale(dither_, value); }
    std::uint8_t DitherErrorLimit() const { return ditherErrorLimit_; }
    void SetDitherErrorLimit(std::uint8_t value) { SetAndMarkStale(ditherErrorLimit_, value); }
    bool DitherErrorLimitAuto() const { return ditherErrorLimitAuto_; }
    void SetDitherErrorLimitAuto(bool value) { SetAndMarkStale(ditherErrorLimitAuto_, value); }
    bool DitherErrorLimitSoft() const { return ditherErrorLimitSoft_; }
    void SetDitherErrorLimitSoft(bool value) { SetAndMarkStale(ditherErrorLimitSoft_, value); }
    bool RGBWeighting() const { return rgbWeighting_; }
    void SetRGBWeighting(bool value) { SetAndMarkStale(rgbWeighting_, value); }
    TPalette8BitSys24BitGraphic Palette8BitSys24BitGraphic() const { return palette24_; }
    void SetPalette8BitSys24BitGraphic(TPalette8BitSys24BitGraphic value);
    TPalette8BitSys8BitGraphic Palette8BitSys8BitGraphic() const { return palette8_; }
    void SetPalette8BitSys8BitGraphic(TPalette8BitSys8BitGraphic value);
    bool Allow24BitStretch() const { return allow24BitStretch_; }
    void SetAllow24BitStretch(bool value) { SetAndMarkStale(allow24BitStretch_, value); }
    bool ReduceOnLoad() const { return reduceOnLoad_; }
    void SetReduceOnLoad(bool value) { SetAndMarkStale(reduceOnLoad_, value); }
    bool KeepOldPaintPixelGraphic() const { return keepOld_; }
    void SetKeepOldPaintPixelGraphic(bool value) { keepOld_ = value; }

    // --- Loading ----------------------------------------------------------------------
    bool ShowHourGlass() const { return showHourGlass_; }
    void SetShowHourGlass(bool value) { showHourGlass_ = value; }
    TColor BackGroundColor() const { return backGroundColor_; }
    void SetBackGroundColor(TColor value) { backGroundColor_ = value; }
    TPGWarningAction ReadWarningAction() const { return readWarningAction_; }
    void SetReadWarningAction(TPGWarningAction value) { readWarningAction_ = value; }
    // Turn each picture loaded from here on upright by its orientation tag (off by default:
    // the pixels are shown as stored).
    bool AutoOrient() const { return autoOrient_; }
    void SetAutoOrient(bool value) { autoOrient_ = value; }
    TPGWarningAction SaveColorResWarningAction() const { return saveColorResWarningAction_; }
    void SetSaveColorResWarningAction(TPGWarningAction value)
    {
        saveColorResWarningAction_ = value;
    }

    // --- Looks ------------------------------------------------------------------------
    bool ProgressClockVisible() const { return progressClockVisible_; }
    void SetProgressClockVisible(bool value) { SetAndRepaint(progressClockVisible_, value); }
    bool Progress5Clocks() const { return progress5Clocks_; }
    void SetProgress5Clocks(bool value) { SetAndRepaint(progress5Clocks_, value); }
    QColor ProgressClockBkColor() const { return clockBkColor_; }
    void SetProgressClockBkColor(const QColor& value) { SetAndRepaint(clockBkColor_, value); }
    QColor ProgressClockLineColor() const { return clockLineColor_; }
    void SetProgressClockLineColor(const QColor& value) { SetAndRepaint(clockLineColor_, value); }
    QColor PicBoxFrameColor() const { return frameColor_; }
    void SetPicBoxFrameColor(const QColor& value) { SetAndRepaint(frameColor_, value); }
    // The colour of the margins: the viewer's window colour.
    QColor Color() const;
    // The phase, number of phases and per cent of the worker's progress.
    int ProgressPhase() const { return progressPhase_; }
    int ProgressPhases() const { return progressPhases_; }
    int ProgressPercent() const { return progressPercent_; }

    // --- Mouse ------------------------------------------------------------------------
    TActionMode ActionMode() const { return actionMode_; }
    void SetActionMode(TActionMode value)
    {
        actionMode_ = value;
        UpdateCursor();
    }
    bool Panning() const { return panning_; }
    // The picture is larger than the window on an axis with a scroll bar: it can be dragged.
    bool CanPan() const;
    const QCursor& PanHoverCursor() const { return panHover_; }
    const QCursor& PanGrabCursor() const { return panGrab_; }

    // Selection rectangle (kept for the form's sake; this program draws none).
    bool Selection() const { return selection_; }
    void SetSelection(bool value) { selection_ = value; }
    QRect SelectionRect() const { return selectionRect_; }
    void SetSelectionRect(const QRect& value) { selectionRect_ = value; }
    QColor SelectionColor1() const { return selectionColor1_; }
    void SetSelectionColor1(const QColor& value) { selectionColor1_ = value; }
    QColor SelectionColor2() const { return selectionColor2_; }
    void SetSelectionColor2(const QColor& value) { selectionColor2_ = value; }

    // --- The picture box's own properties ---------------------------------------------
    QColor PicBoxColor() const;
    void SetPicBoxColor(const QColor& value);
    bool PicBoxParentColor() const { return picBoxParentColor_; }
    void SetPicBoxParentColor(bool value);
    QCursor PicBoxCursor() const { return picBoxCursor_; }
    void SetPicBoxCursor(const QCursor& value);
    QCursor PicBoxDragCursor() const { return picBoxDragCursor_; }
    void SetPicBoxDragCursor(const QCursor& value) { picBoxDragCursor_ = value; }
    TDragMode PicBoxDragMode() const { return picBoxDragMode_; }
    void SetPicBoxDragMode(TDragMode value) { picBoxDragMode_ = value; }
    QString PicBoxHint() const;
    void SetPicBoxHint(const QString& value);
    bool PicBoxShowHint() const { return picBoxShowHint_; }
    void SetPicBoxShowHint(bool value);
    bool PicBoxParentShowHint() const { return picBoxParentShowHint_; }
    void SetPicBoxParentShowHint(bool value);
    QMenu* PicBoxPopupMenu() const;
    void SetPicBoxPopupMenu(QMenu* value);
    int PicBoxTag() const { return picBoxTag_; }
    void SetPicBoxTag(int value) { picBoxTag_ = value; }

    // --- Events -----------------------------------------------------------------------
    TPGImageNewAutoSizeEvent OnNewAutoSize;
    TPGImageNotifyEvent OnZoomFactorChange;
    TPGImageNotifyEvent OnPixelGraphicChange;
    TPGImageNotifyEvent OnPixelGraphicProgressStart;
    TPGImageProgressEvent OnPixelGraphicProgress;
    TPGImageNotifyEvent OnPixelGraphicProgressEnd;
    TPGImageNotifyEvent OnPainting;
    TPGImageNotifyEvent OnPaint;
    TPGImageSetCursorEvent OnSetCursor;
    TPGImageNotifyEvent PicBoxOnClick;
    TPGImageNotifyEvent PicBoxOnDblClick;
    TPicBoxMouseEvent PicBoxOnMouseDown;
    TPicBoxMouseEvent PicBoxOnMouseMove;
    TPicBoxMouseEvent PicBoxOnMouseUp;
    TPGImageNotifyEvent PicBoxOnPaint;
    TPGImageSetCursorEvent PicBoxOnSetCursor;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    friend class TPicBox;

    template <typename T> void SetAndMarkStale(T& field, const T& value)
    {
        if (field == value)
            return;
        field = value;
        MarkStale();
    }
    template <typename T> void SetAndRepaint(T& field, const T& value)
    {
        field = value;
        viewport()->update();
    }

    void StopWorker();
    void MarkStale();
    void FullLayout(bool forced);
    void PictureLayout(bool forced);
    void PlaceBox();
    void UpdateCursor();
    void ConnectGraphic(TPixelGraphic& graphic);
    void DropDisplayImage();
    void InvalidatePaintCache();
    // Decides on the display copy and starts building it; the picture to paint (or null).
    const TPixelGraphic* PrepareDisplayImage();
    void StartDisplayImage();
    void HandOver(std::unique_ptr<TPixelGraphic> image);
    void WorkerDone(quint64 serial);
    void WorkerProgress(quint64 serial, int phase, int percent);
    void PaintPicture(QPainter& painter, const TPixelGraphic& picture, const QRect& clip);
    void PaintPattern(QPainter& painter, const QImage& tile, const QRect& box, const QRect& clip);
    void PaintClocks(QPainter& painter, const QRect& box);
    const QImage* CachedBox(const TPixelGraphic& picture, int width, int height);

    void PicBoxMouseDown(QMouseEvent* event);
    void PicBoxMouseMove(QMouseEvent* event);
    void PicBoxMouseUp(QMouseEvent* event);
    void PicBoxPaint(QPainter& painter);

    static TScreenDepthSource& DefaultScreenDepthSource();

    TScreenDepthSource screenDepthSource_;
    int screenDepth_ = 24;

    std::string fileName_;
    std::unique_ptr<TPixelGraphic> graphic_;
    std::unique_ptr<TPixelGraphic> displayImage_;
    int madeWidth_ = 0; // the box size the display copy is (being) made for
    int madeHeight_ = 0;
    bool staleMarked_ = false;
    // The last build failed: paint the picture itself until something changes.
    bool displayFailed_ = false;
    std::unique_ptr<TCreatePaintPGThread> worker_;
    quint64 workerSerial_ = 0;
    int progressPhase_ = 1;
    int progressPhases_ = 1;
    int progressPercent_ = 0;

    TPicBox* picBox_ = nullptr;
    int boxLeft_ = 0; // in the content, before scrolling
    int boxTop_ = 0;
    TPictureLayout layout_;
    bool layingOut_ = false;
    double zoom_ = 1.0;

    // The picture scaled to the box, kept while the box keeps its size.
    struct TPaintCache {
        const TPixelGraphic* Picture = nullptr;
        int Width = 0;
        int Height = 0;
        QImage Plain;
        QImage Mirrored[3]; // horizontal, vertical, both
    } cache_;

    TStretch stretch_ = sNeverKAR;
    TStretchMode stretchMode_ = smFast;
    TTiling tiling_ = tNone;
    bool center_ = false;
    double zoomFactor_ = 1.0;
    bool flipHorizontal_ = false;
    bool flipVertical_ = false;
    bool useThread_ = true;
    bool showHourGlass_ = true;
    bool progressClockVisible_ = true;
    bool progress5Clocks_ = true;
    QColor clockBkColor_;
    QColor clockLineColor_;
    QColor frameColor_;
    TColor backGroundColor_ = 0;
    TPGWarningAction readWarningAction_ = pgwaOKCancelBox;
    TPGWarningAction saveColorResWarningAction_ = pgwaOKCancelBox;
    bool dither_ = true;
    std::uint8_t ditherErrorLimit_ = 32;
    bool ditherErrorLimitAuto_ = true;
    bool ditherErrorLimitSoft_ = true;
    bool rgbWeighting_ = true;
    TPalette8BitSys24BitGraphic palette24_ = pOptimized252Sys16;
    TPalette8BitSys8BitGraphic palette8_ = pOptimized252Sys16;
    bool allow24BitStretch_ = false;
    bool reduceOnLoad_ = false;
    bool keepOld_ = false;
    bool autoOrient_ = false;
    bool rearrangeAlways_ = false;
    bool autoSize_ = false;
    TAutoSizeLimits autoSizeLimits_;
    TActionMode actionMode_ = amMoveImage;
    bool selection_ = false;
    QRect selectionRect_{0, 0, 1, 1};
    QColor selectionColor1_{Qt::white};
    QColor selectionColor2_{Qt::red};

    QColor picBoxColor_;
    bool picBoxParentColor_ = true;
    QString picBoxHint_;
    QCursor picBoxCursor_;
    QCursor picBoxDragCursor_{Qt::ClosedHandCursor};
    TDragMode picBoxDragMode_ = dmManual;
    bool picBoxShowHint_ = false;
    bool picBoxParentShowHint_ = true;
    QPointer<QMenu> picBoxPopupMenu_;
    int picBoxTag_ = 0;

    QCursor panHover_;
    QCursor panGrab_;
    bool panning_ = false;
    QPoint anchor_; // viewport coordinates
};

} // namespace scenaria
