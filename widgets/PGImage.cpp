#include "widgets/PGImage.h"

#include "imaging/Messages.h"
#include "imaging/Orientation.h"
#include "widgets/CreatePaintPGThread.h"
#include "widgets/PanCursors.h"
#include "widgets/PixelGraphicPaint.h"

#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

#include <exception>

namespace scenaria {

namespace {

int DepthFrom(const TScreenDepthSource& source)
{
    const int depth = source ? source() : 0;
    return depth > 0 ? depth : 24;
}

QRect ToQRect(const TRect& r)
{
    return QRect(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

TRect ToTRect(const QRect& r)
{
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

} // namespace

// ---- TPicBox --------------------------------------------------------------------------------

TPicBox::TPicBox(TPGImage& owner) : QWidget(owner.viewport()), owner_(owner)
{
    // The viewer paints the picture underneath; the box lets it show through.
    setAutoFillBackground(false);
    setMouseTracking(false);
}

void TPicBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    owner_.PicBoxPaint(painter);
}

void TPicBox::mousePressEvent(QMouseEvent* event)
{
    owner_.PicBoxMouseDown(event);
    if (owner_.PicBoxOnMouseDown)
        owner_.PicBoxOnMouseDown(owner_, event->button(), event->modifiers(),
                                 event->position().toPoint().x(), event->position().toPoint().y());
    if (event->button() == Qt::RightButton && owner_.picBoxPopupMenu_)
        owner_.picBoxPopupMenu_->popup(event->globalPosition().toPoint());
}

void TPicBox::mouseMoveEvent(QMouseEvent* event)
{
    owner_.PicBoxMouseMove(event);
    if (owner_.PicBoxOnMouseMove)
        owner_.PicBoxOnMouseMove(owner_, event->button(), event->modifiers(),
                                 event->position().toPoint().x(), event->position().toPoint().y());
}

void TPicBox::mouseReleaseEvent(QMouseEvent* event)
{
    if (owner_.PicBoxOnMouseUp)
        owner_.PicBoxOnMouseUp(owner_, event->button(), event->modifiers(),
                               event->position().toPoint().x(), event->position().toPoint().y());
    owner_.PicBoxMouseUp(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        owner_.PicBoxOnClick)
        owner_.PicBoxOnClick(owner_);
}

void TPicBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && owner_.PicBoxOnDblClick)
        owner_.PicBoxOnDblClick(owner_);
    else
        mousePressEvent(event);
}

// ---- TPGImage -------------------------------------------------------------------------------

TScreenDepthSource& TPGImage::DefaultScreenDepthSource()
{
    static TScreenDepthSource source;
    return source;
}

void TPGImage::SetDefaultScreenDepthSource(TScreenDepthSource source)
{
    DefaultScreenDepthSource() = std::move(source);
}

TPGImage::TPGImage(QWidget* parent)
    : QAbstractScrollArea(parent), screenDepthSource_(DefaultScreenDepthSource()),
      screenDepth_(DepthFrom(screenDepthSource_))
{
    const QPalette colours = palette();
    clockBkColor_ = colours.color(QPalette::Button);
    clockLineColor_ = colours.color(QPalette::Dark);
    frameColor_ = colours.color(QPalette::Dark);
    picBoxColor_ = colours.color(QPalette::Button);
    panHover_ = MakePanHoverCursor();
    panGrab_ = MakePanGrabCursor();

    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Every pixel of the viewport is painted: margins, picture or tiles.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    picBox_ = new TPicBox(*this);
    picBox_->setGeometry(0, 0, 0, 0);
    resize(100, 100);
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::primaryScreenChanged, this, [this] { DisplayChanged(); });
}

TPGImage::~TPGImage()
{
    StopWorker();
}

void TPGImage::SetScreenDepthSource(TScreenDepthSource source)
{
    screenDepthSource_ = std::move(source);
    DisplayChanged();
}

void TPGImage::DisplayChanged()
{
    screenDepth_ = DepthFrom(screenDepthSource_);
    MarkStale();
}

void TPGImage::MarkStale()
{
    staleMarked_ = true;
    displayFailed_ = false;
    viewport()->update();
}

void TPGImage::StopWorker()
{
    if (!worker_)
        return;
    worker_->disconnect(this);
    worker_->Stop();
    worker_.reset();
}

void TPGImage::InvalidatePaintCache()
{
    cache_ = TPaintCache{};
}

void TPGImage::DropDisplayImage()
{
    StopWorker();
    if (!displayImage_)
        return;
    displayImage_.reset();
    InvalidatePaintCache();
}

void TPGImage::ConnectGraphic(TPixelGraphic& graphic)
{
    graphic.OnProgressStart = [this](TPixelGraphic&) {
        if (OnPixelGraphicProgressStart)
            OnPixelGraphicProgressStart(*this);
    };
    graphic.OnProgress = [this](TPixelGraphic&, int step, int max, bool& abort) {
        if (OnPixelGraphicProgress)
            OnPixelGraphicProgress(*this, step, max, abort);
    };
    graphic.OnProgressEnd = [this](TPixelGraphic&) {
        if (OnPixelGraphicProgressEnd)
            OnPixelGraphicProgressEnd(*this);
    };
}

void TPGImage::SetFileName(const std::string& fileName)
{
    fileName_.clear();
    const bool hourGlass = showHourGlass_;
    if (hourGlass)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    StopWorker();
    graphic_.reset();
    if (keepOld_ && useThread_ && displayImage_)
        staleMarked_ = true;
    else
        displayImage_.reset();
    InvalidatePaintCache();

    std::exception_ptr failure;
    if (!fileName.empty() && fileName.back() != '/') {
        auto graphic = std::make_unique<TPixelGraphic>();
        graphic->ReadWarningAction = readWarningAction_;
        graphic->SetFillColor(backGroundColor_);
        ConnectGraphic(*graphic);
        try {
            graphic->LoadFromFile(fileName);
            if (autoOrient_)
                ApplyOrientation(*graphic);
            graphic->OnChange = [this](TPixelGraphic&) {
                InvalidatePaintCache();
                FullLayout(false);
            };
            graphic_ = std::move(graphic);
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (!failure)
        fileName_ = fileName;
    if (hourGlass)
        QApplication::restoreOverrideCursor();
    FullLayout(false);
    if (failure)
        std::rethrow_exception(failure);
}

void TPGImage::SaveToFile(const std::string& fileName)
{
    if (!graphic_)
        throw EPGEmpty(PGMessage(pgmIsEmpty, "PixelGraphic"));
    graphic_->SaveColorResWarningAction = saveColorResWarningAction_;
    graphic_->SaveToFile(fileName);
}

void TPGImage::Repaint()
{
    viewport()->update();
    picBox_->update();
}

void TPGImage::FullLayout(bool forced)
{
    StopWorker();
    const int w = graphic_ ? graphic_->Width() : 0, h = graphic_ ? graphic_->Height() : 0;
    TBoxSize wanted;
    if (autoSize_) {
        wanted = AutoSizeFor(w, h, frameWidth(), autoSizeLimits_,
                             verticalScrollBar()->sizeHint().width(),
                             horizontalScrollBar()->sizeHint().height());
        if (OnNewAutoSize)
            OnNewAutoSize(*this, wanted.Width, wanted.Height);
    }
    staleMarked_ = true;
    displayFailed_ = false;
    if (autoSize_ && size() != QSize(wanted.Width, wanted.Height))
        resize(wanted.Width, wanted.Height);
    PictureLayout(forced);
    if (OnPixelGraphicChange)
        OnPixelGraphicChange(*this);
}

void TPGImage::PictureLayout(bool forced)
{
    if (layingOut_)
        return;
    const int border = frameWidth();
    const int w = graphic_ ? graphic_->Width() : 0, h = graphic_ ? graphic_->Height() : 0;
    QScrollBar* hBar = horizontalScrollBar();
    QScrollBar* vBar = verticalScrollBar();
    const TPictureLayout layout = scenaria::PictureLayout(
        w, h, width() - 2 * border, height() - 2 * border, stretch_, zoomFactor_, center_,
        vBar->sizeHint().width(), hBar->sizeHint().height());
    if (layout.Zoom != zoom_) {
        zoom_ = layout.Zoom;
        if (OnZoomFactorChange)
            OnZoomFactorChange(*this);
    }
    const bool sameSize =
        picBox_->width() == layout.BoxWidth && picBox_->height() == layout.BoxHeight;
    if (!sameSize)
        StopWorker(); // the next paint decides afresh for the new box
    const bool inPlace = boxLeft_ == layout.BoxLeft && boxTop_ == layout.BoxTop &&
                         hBar->value() == layout.ScrollX && vBar->value() == layout.ScrollY;
    // A picture box that keeps its size keeps the user's scroll position, unless a setter asked
    // for a fresh layout. Its centred place is always brought up to date: a window that grew
    // must not leave a small picture off-centre.
    const bool keepScroll = sameSize && (!(forced || rearrangeAlways_) || inPlace);
    const int oldX = hBar->value(), oldY = vBar->value();

    layingOut_ = true;
    layout_ = layout;
    setHorizontalScrollBarPolicy(layout.Bars.Horizontal ? Qt::ScrollBarAlwaysOn
                                                        : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(layout.Bars.Vertical ? Qt::ScrollBarAlwaysOn
                                                    : Qt::ScrollBarAlwaysOff);
    boxLeft_ = layout.BoxLeft;
    boxTop_ = layout.BoxTop;
    hBar->setRange(0, std::max(0, layout.BoxLeft + layout.BoxWidth - layout.Bars.ClientWidth));
    vBar->setRange(0, std::max(0, layout.BoxTop + layout.BoxHeight - layout.Bars.ClientHeight));
    hBar->setPageStep(std::max(1, layout.Bars.ClientWidth));
    vBar->setPageStep(std::max(1, layout.Bars.ClientHeight));
    hBar->setSingleStep(std::max(1, layout.Bars.ClientWidth / 20));
    vBar->setSingleStep(std::max(1, layout.Bars.ClientHeight / 20));
    picBox_->resize(layout.BoxWidth, layout.BoxHeight);
    hBar->setValue(keepScroll ? oldX : layout.ScrollX);
    vBar->setValue(keepScroll ? oldY : layout.ScrollY);
    layingOut_ = false;

    PlaceBox();
    UpdateCursor();
    Repaint();
}

void TPGImage::PlaceBox()
{
    picBox_->move(boxLeft_ - horizontalScrollBar()->value(),
                  boxTop_ - verticalScrollBar()->value());
}

QRect TPGImage::PicBoxRect() const
{
    return picBox_->geometry();
}

void TPGImage::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    PictureLayout(false);
}

void TPGImage::scrollContentsBy(int, int)
{
    PlaceBox();
    viewport()->update();
}

// ---- Properties -----------------------------------------------------------------------------

void TPGImage::SetStretch(TStretch value)
{
    if (stretch_ == value)
        return;
    stretch_ = value;
    PictureLayout(true);
}

void TPGImage::SetCenter(bool value)
{
    if (center_ == value)
        return;
    center_ = value;
    PictureLayout(true);
}

void TPGImage::SetZoomFactor(double value)
{
    if (zoomFactor_ == value)
        return;
    zoomFactor_ = value;
    PictureLayout(true);
}

void TPGImage::SetStretchMode(TStretchMode value)
{
    if (stretchMode_ == value)
        return;
    stretchMode_ = value;
    FullLayout(true);
}

void TPGImage::SetPalette8BitSys24BitGraphic(TPalette8BitSys24BitGraphic value)
{
    if (palette24_ == value)
        return;
    palette24_ = value;
    FullLayout(true);
}

void TPGImage::SetPalette8BitSys8BitGraphic(TPalette8BitSys8BitGraphic value)
{
    if (palette8_ == value)
        return;
    palette8_ = value;
    FullLayout(true);
}

void TPGImage::SetTiling(TTiling value)
{
    tiling_ = value;
    viewport()->update();
}

void TPGImage::SetFlipHorizontal(bool value)
{
    flipHorizontal_ = value;
    viewport()->update();
}

void TPGImage::SetFlipVertical(bool value)
{
    flipVertical_ = value;
    viewport()->update();
}

void TPGImage::SetUseThread(bool value)
{
    StopWorker();
    useThread_ = value;
    MarkStale();
}

void TPGImage::SetAutoSize(bool value)
{
    if (autoSize_ == value)
        return;
    autoSize_ = value;
    FullLayout(false);
}

void TPGImage::SetAutoSizeMinWidth(int value)
{
    autoSizeLimits_.MinWidth = value;
    if (autoSize_)
        FullLayout(false);
}

void TPGImage::SetAutoSizeMaxWidth(int value)
{
    autoSizeLimits_.MaxWidth = value;
    if (autoSize_)
        FullLayout(false);
}

void TPGImage::SetAutoSizeMinHeight(int value)
{
    autoSizeLimits_.MinHeight = value;
    if (autoSize_)
        FullLayout(false);
}

void TPGImage::SetAutoSizeMaxHeight(int value)
{
    autoSizeLimits_.MaxHeight = value;
    if (autoSize_)
        FullLayout(false);
}

QColor TPGImage::Color() const
{
    return palette().color(QPalette::Window);
}

QColor TPGImage::PicBoxColor() const
{
    return picBoxParentColor_ ? Color() : picBoxColor_;
}

void TPGImage::SetPicBoxColor(const QColor& value)
{
    picBoxColor_ = value;
    picBoxParentColor_ = false;
    viewport()->update();
}

void TPGImage::SetPicBoxParentColor(bool value)
{
    picBoxParentColor_ = value;
    viewport()->update();
}

void TPGImage::SetPicBoxCursor(const QCursor& value)
{
    picBoxCursor_ = value;
    UpdateCursor();
}

QString TPGImage::PicBoxHint() const
{
    return picBoxHint_;
}

void TPGImage::SetPicBoxHint(const QString& value)
{
    picBoxHint_ = value;
    picBox_->setToolTip(picBoxShowHint_ ? picBoxHint_ : QString());
}

void TPGImage::SetPicBoxShowHint(bool value)
{
    picBoxShowHint_ = value;
    picBox_->setToolTip(picBoxShowHint_ ? picBoxHint_ : QString());
}

QMenu* TPGImage::PicBoxPopupMenu() const
{
    return picBoxPopupMenu_;
}

void TPGImage::SetPicBoxPopupMenu(QMenu* value)
{
    picBoxPopupMenu_ = value;
}

void TPGImage::SetPicBoxParentShowHint(bool value)
{
    picBoxParentShowHint_ = value;
}

// ---- The display copy -----------------------------------------------------------------------

const TPixelGraphic* TPGImage::PrepareDisplayImage()
{
    if (!graphic_) {
        DropDisplayImage();
        return nullptr;
    }
    TDisplayImageState state;
    state.DisplayBits = screenDepth_;
    state.GraphicBits = graphic_->BitCountNum();
    state.GraphicPalette = graphic_->PaletteIdent();
    state.StretchMode = stretchMode_;
    state.ReduceOnLoad = reduceOnLoad_;
    state.KeepOld = keepOld_;
    state.UseThread = useThread_;
    state.Palette8Bit8Bit = palette8_;
    state.BoxWidth = picBox_->width();
    state.BoxHeight = picBox_->height();
    state.GraphicWidth = graphic_->Width();
    state.GraphicHeight = graphic_->Height();
    state.MarkedStale = staleMarked_;
    state.Present = displayImage_ != nullptr;
    state.MadeWidth = madeWidth_;
    state.MadeHeight = madeHeight_;
    state.UnderWay = worker_ != nullptr;
    const TDisplayImageDecision decision = DecideDisplayImage(state);
    if (decision.Drop)
        DropDisplayImage();
    // A build that failed is not retried until something about it changes.
    if (decision.Build && !(displayFailed_ && !decision.Stale))
        StartDisplayImage();
    if (!decision.Needed)
        return graphic_.get();
    if (displayImage_)
        return displayImage_.get();
    return displayFailed_ ? graphic_.get() : nullptr;
}

void TPGImage::StartDisplayImage()
{
    StopWorker();
    TDisplayJobInput input;
    input.DisplayBits = screenDepth_;
    input.SourceBits = graphic_->BitCount();
    input.SourceWidth = graphic_->Width();
    input.SourceHeight = graphic_->Height();
    input.BoxWidth = picBox_->width();
    input.BoxHeight = picBox_->height();
    input.StretchMode = stretchMode_;
    input.Allow24BitStretch = allow24BitStretch_;
    input.Palette8Bit24Bit = palette24_;
    input.Palette8Bit8Bit = palette8_;
    const TDisplayJobPlan plan = PlanDisplayJob(input);
    const TDisplayJobSettings settings{stretchMode_,          dither_,
                                       ditherErrorLimit_,     ditherErrorLimitAuto_,
                                       ditherErrorLimitSoft_, rgbWeighting_};
    progressPhase_ = 1;
    progressPhases_ = plan.Phases;
    progressPercent_ = 0;
    madeWidth_ = input.BoxWidth;
    madeHeight_ = input.BoxHeight;
    staleMarked_ = false;
    displayFailed_ = false;
    worker_ = std::make_unique<TCreatePaintPGThread>(*graphic_, plan, settings, ++workerSerial_);
    if (useThread_) {
        connect(worker_.get(), &TCreatePaintPGThread::JobDone, this, &TPGImage::WorkerDone,
                Qt::QueuedConnection);
        connect(worker_.get(), &TCreatePaintPGThread::JobProgress, this, &TPGImage::WorkerProgress,
                Qt::QueuedConnection);
        worker_->start();
        return;
    }
    // Without a thread the job runs here and now; its progress cannot be drawn meanwhile.
    worker_->RunHere([this](int phase, int percent) {
        progressPhase_ = phase;
        progressPercent_ = percent;
    });
    const std::unique_ptr<TCreatePaintPGThread> done = std::move(worker_);
    HandOver(done->TakeResult());
}

void TPGImage::HandOver(std::unique_ptr<TPixelGraphic> image)
{
    if (!image) {
        displayFailed_ = true;
        viewport()->update();
        return;
    }
    InvalidatePaintCache();
    if (reduceOnLoad_) {
        ConnectGraphic(*image);
        image->OnChange = [this](TPixelGraphic&) {
            InvalidatePaintCache();
            FullLayout(false);
        };
        graphic_ = std::move(image);
        displayImage_.reset();
    } else {
        displayImage_ = std::move(image);
    }
    Repaint();
}

void TPGImage::WorkerDone(quint64 serial)
{
    if (!worker_ || worker_->Serial() != serial)
        return;
    worker_->wait();
    const std::unique_ptr<TCreatePaintPGThread> done = std::move(worker_);
    HandOver(done->TakeResult());
}

void TPGImage::WorkerProgress(quint64 serial, int phase, int percent)
{
    if (!worker_ || worker_->Serial() != serial)
        return;
    progressPhase_ = phase;
    progressPercent_ = percent;
    viewport()->update(PicBoxRect());
}

// ---- Painting -------------------------------------------------------------------------------

const QImage* TPGImage::CachedBox(const TPixelGraphic& picture, int width, int height)
{
    // Keeping a box far larger than the window costs memory for pixels nobody sees; such a
    // box (a big picture at full size, or zoomed in) is painted region by region instead.
    const std::int64_t area = std::int64_t{width} * height;
    const std::int64_t window = std::int64_t{viewport()->width()} * viewport()->height();
    if (area > std::max<std::int64_t>(4 * window, 1 << 20))
        return nullptr;
    if (cache_.Picture != &picture || cache_.Width != width || cache_.Height != height) {
        InvalidatePaintCache();
        cache_.Plain = RenderBoxRegion(picture, width, height, QRect(0, 0, width, height));
        if (cache_.Plain.isNull())
            return nullptr;
        cache_.Picture = &picture;
        cache_.Width = width;
        cache_.Height = height;
    }
    return &cache_.Plain;
}

void TPGImage::PaintPicture(QPainter& painter, const TPixelGraphic& picture, const QRect& clip)
{
    const QRect box = PicBoxRect();
    const TTilePlan plan = PlanTiles(ToTRect(box), viewport()->width(), viewport()->height(),
                                     ToTRect(clip), tiling_, flipHorizontal_, flipVertical_);
    const QImage* full = CachedBox(picture, box.width(), box.height());
    if (plan.Pattern) {
        if (full)
            PaintPattern(painter, *full, box, clip);
        return;
    }
    const bool copy[3] = {plan.CopyHorizontal, plan.CopyVertical, plan.CopyBoth};
    for (const TTile& tile : plan.Tiles) {
        const QRect rect = ToQRect(tile.Rect);
        const QRect visible = rect & clip;
        if (visible.isEmpty())
            continue;
        const QRect part = visible.translated(-rect.topLeft());
        const int kind = tile.MirrorHorizontal && tile.MirrorVertical ? 2
                         : tile.MirrorHorizontal                      ? 0
                         : tile.MirrorVertical                        ? 1
                                                                      : -1;
        if (full && kind < 0) {
            painter.drawImage(visible.topLeft(), *full, part);
        } else if (full && copy[kind]) {
            QImage& mirrored = cache_.Mirrored[kind];
            if (mirrored.isNull())
                mirrored = full->mirrored(kind != 1, kind != 0);
            painter.drawImage(visible.topLeft(), mirrored, part);
        } else {
            painter.drawImage(visible.topLeft(),
                              RenderBoxRegion(picture, box.width(), box.height(), part,
                                              tile.MirrorHorizontal, tile.MirrorVertical));
        }
    }
}

void TPGImage::PaintPattern(QPainter& painter, const QImage& tile, const QRect& box,
                            const QRect& clip)
{
    // Two tiles each way hold every kind of mirroring; the brush repeats them from the box on.
    const bool mirrorColumns = tiling_ == tMirrorHorizontal || tiling_ == tMirror;
    const bool mirrorRows = tiling_ == tMirrorVertical || tiling_ == tMirror;
    const int w = tile.width(), h = tile.height();
    QImage pattern(mirrorColumns ? 2 * w : w, mirrorRows ? 2 * h : h, QImage::Format_RGB32);
    {
        QPainter p(&pattern);
        for (int r = 0; r < (mirrorRows ? 2 : 1); ++r)
            for (int c = 0; c < (mirrorColumns ? 2 : 1); ++c) {
                const bool horizontal = flipHorizontal_ != (mirrorColumns && c == 1);
                const bool vertical = flipVertical_ != (mirrorRows && r == 1);
                p.drawImage(c * w, r * h, tile.mirrored(horizontal, vertical));
            }
    }
    painter.setBrushOrigin(box.topLeft());
    painter.fillRect(clip, QBrush(pattern));
}

void TPGImage::PaintClocks(QPainter& painter, const QRect& box)
{
    const TClockHands hands = ClockHands(progressPhase_, progressPercent_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const TRect& clock : ClockRects(ToTRect(box), progress5Clocks_)) {
        painter.setPen(clockLineColor_);
        painter.setBrush(clockBkColor_);
        painter.drawEllipse(QRect(clock.Left, clock.Top, 14, 14));
        const QPoint centre(clock.Left + 7, clock.Top + 7);
        painter.drawLine(centre, centre + QPoint(hands.LongX, hands.LongY));
        painter.drawLine(centre, centre + QPoint(hands.ShortX, hands.ShortY));
    }
}

void TPGImage::paintEvent(QPaintEvent* event)
{
    if (layingOut_)
        return;
    QPainter painter(viewport());
    const QRect clip = event->rect();
    const QRect box = PicBoxRect();
    const TPixelGraphic* picture = nullptr;
    try {
        picture = PrepareDisplayImage();
    } catch (const std::exception&) {
        picture = graphic_.get();
    }
    if (OnPainting)
        OnPainting(*this);
    try {
        if (tiling_ == tNone || !picture)
            for (const TRect& margin :
                 Margins(ToTRect(box), viewport()->width(), viewport()->height()))
                painter.fillRect(ToQRect(margin), Color());
        if (picture) {
            PaintPicture(painter, *picture, clip);
        } else if (!box.isEmpty()) {
            painter.setPen(frameColor_);
            painter.setBrush(PicBoxColor());
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            if (progressClockVisible_)
                PaintClocks(painter, box);
        }
    } catch (const std::exception&) {
        // A paint that fails shows what it got so far; the next one tries again.
    }
    if (OnPaint)
        OnPaint(*this);
}

void TPGImage::PicBoxPaint(QPainter&)
{
    if (PicBoxOnPaint)
        PicBoxOnPaint(*this);
}

// ---- Mouse ----------------------------------------------------------------------------------

bool TPGImage::CanPan() const
{
    return (layout_.Bars.Horizontal && layout_.BoxWidth > layout_.Bars.ClientWidth) ||
           (layout_.Bars.Vertical && layout_.BoxHeight > layout_.Bars.ClientHeight);
}

void TPGImage::UpdateCursor()
{
    QCursor boxCursor = picBoxCursor_;
    if ((actionMode_ == amMoveImage || actionMode_ == amMoveSelectionMoveImage) && CanPan())
        boxCursor = panning_ ? panGrab_ : panHover_;
    if (PicBoxOnSetCursor)
        PicBoxOnSetCursor(*this, boxCursor);
    picBox_->setCursor(boxCursor);
    if (OnSetCursor) {
        QCursor own = viewport()->cursor();
        OnSetCursor(*this, own);
        viewport()->setCursor(own);
    }
}

void TPGImage::PicBoxMouseDown(QMouseEvent* event)
{
    if (actionMode_ != amMoveImage || event->button() != Qt::LeftButton || !CanPan())
        return;
    panning_ = true;
    anchor_ = viewport()->mapFromGlobal(event->globalPosition().toPoint());
    UpdateCursor();
}

void TPGImage::PicBoxMouseMove(QMouseEvent* event)
{
    if (!panning_)
        return;
    const QPoint current = viewport()->mapFromGlobal(event->globalPosition().toPoint());
    const QPoint delta = anchor_ - current;
    QScrollBar* hBar = horizontalScrollBar();
    QScrollBar* vBar = verticalScrollBar();
    const int oldX = hBar->value(), oldY = vBar->value();
    hBar->setValue(oldX + delta.x());
    vBar->setValue(oldY + delta.y());
    // The anchor follows the picture as far as it really moved: at an edge the grabbed point
    // stays under the mouse once the mouse comes back.
    anchor_ -= QPoint(hBar->value() - oldX, vBar->value() - oldY);
}

void TPGImage::PicBoxMouseUp(QMouseEvent* event)
{
    if (!panning_ || event->button() != Qt::LeftButton)
        return;
    panning_ = false;
    UpdateCursor();
}

} // namespace scenaria
