#include "imaging/gif/GifPainter.h"

#include "imaging/Canvas.h"

#include <algorithm>
#include <set>

namespace scenaria {

namespace {

// A delay is in hundredths of a second; a frame without one waits ten of them.
constexpr int DelayUnitMs = 10;
constexpr int DefaultDelay = 10;
constexpr int MaxUnthreadedDelay = 1000;
constexpr int UnthreadedWaitStepMs = 100;
// The system's window colour, shown behind a picture without a global table.
constexpr TColor WindowColor = RGB(255, 255, 255);

std::unique_ptr<TPixelGraphic> NewBuffer(const TRect& area)
{
    auto buffer = std::make_unique<TPixelGraphic>();
    buffer->SetSize(std::max(area.Right - area.Left, 1), std::max(area.Bottom - area.Top, 1),
                    bc24Bit);
    return buffer;
}

TRect WholeOf(const TPixelGraphic& buffer)
{
    return TRect{0, 0, buffer.Width(), buffer.Height()};
}

} // namespace

TGIFPainter::TGIFPainter(TGIFImage& image, TGIFCanvas& canvas, const TRect& area,
                         TGIFDrawOptions options)
    : image_(&image), canvas_(&canvas), area_(area), options_(options)
{
    // Every worker gets one, so that even a worker without doAnimate can be woken to stop.
    if (options_ & doThreaded)
        stopEvent_ = std::make_unique<TGIFEvent>();

    std::set<int> disposals;
    {
        std::lock_guard guard(image.PictureLock());
        const TGIFColorMap& global = image.Header().ColorMap();
        if (image.BackgroundColor != GIFColorNone) {
            backgroundColor_ = image.BackgroundColor;
        } else if (global.Empty()) {
            backgroundColor_ = WindowColor;
        } else {
            const TGIFColor c = global.Colors(image.Header().Descriptor.BackgroundColorIndex);
            backgroundColor_ = RGB(c.Red, c.Green, c.Blue);
        }
        for (const auto& frame : image.Images())
            if (const TGIFGraphicControlExtension* control = frame->GraphicControlExtension())
                disposals.insert(control->Disposal());
    }
    if (disposals.count(2) && (options_ & doTransparent)) {
        backgroundSnapshot_ = NewBuffer(area_);
        canvas_->CopyTo(area_, *backgroundSnapshot_);
    }
    if (disposals.count(2) || disposals.count(3)) {
        workBuffer_ = NewBuffer(area_);
        workBuffer_->Canvas().FillRect(WholeOf(*workBuffer_), backgroundColor_);
        canvas_->CopyTo(area_, *workBuffer_);
        previousBuffer_ = NewBuffer(area_);
        previousBuffer_->Canvas().FillRect(WholeOf(*previousBuffer_), backgroundColor_);
    }
}

TGIFPainter::~TGIFPainter()
{
    if (!thread_.joinable())
        return;
    // The worker lets go of its painter as its last step; it may be the last to hold it.
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

void TGIFPainter::Resume()
{
    if (!Threaded() || thread_.joinable())
        return;
    // The worker keeps its painter alive until its last step.
    thread_ = std::thread([self = shared_from_this()] {
        try {
            self->Execute();
        } catch (...) {
            // A failure ends the animation; the picture shows the frame drawn last.
        }
        GIFSynchronize([&self] { self->End(); });
        self->exited_ = true;
    });
}

void TGIFPainter::Stop()
{
    terminated_ = true;
    if (stopEvent_)
        stopEvent_->Set();
    // A worker never started is started now, so that it ends and lets go of its picture.
    if (Threaded() && !thread_.joinable())
        Resume();
}

void TGIFPainter::Synchronized(const std::function<void()>& method)
{
    if (Threaded())
        GIFSynchronize(method);
    else
        method();
}

void TGIFPainter::Execute()
{
    if (options_ & doCheckCanvas)
        canvasValid_ = canvas_->Valid();
    const bool threaded = Threaded();
    const bool forever = (options_ & doLoopForever) != 0;
    int loops = 1;
    int startFrame = 0;
    bool loopSeen = false;
    int delay = threaded ? 0 : 1;
    previousDisposal_ = 1;
    firstFrameDrawn_ = false;

    while ((loops != 0 || forever) && !terminated_) {
        activeImage_ = startFrame;
        // The model does not change while a painter runs: clearing the picture stops it first.
        const int count = image_->Images().Count();
        for (; activeImage_ < count && !terminated_; ++activeImage_) {
            TGIFSubImage& frame = image_->Images()[activeImage_];
            if (frame.Empty())
                break;
            if (!Wait(delay) || terminated_)
                return;

            disposal_ = 1;
            for (const auto& extension : frame.Extensions()) {
                if (const auto* loop = dynamic_cast<const TGIFAppExtNSLoop*>(extension.get())) {
                    if (!loopSeen) {
                        loopSeen = true;
                        loops = (loop->Loops == 0 || forever) && threaded ? -1 : loop->Loops;
                        startFrame = activeImage_;
                    }
                } else if (const auto* control =
                               dynamic_cast<const TGIFGraphicControlExtension*>(extension.get())) {
                    // Reserved methods 4 to 7 leave the frame in place, as 1 does.
                    disposal_ = control->Disposal() <= 3 ? control->Disposal() : 1;
                }
            }

            {
                std::lock_guard guard(image_->PictureLock());
                if (terminated_)
                    return;
                Synchronized([this] { DrawFrame(); });
            }
            previousDisposal_ = disposal_;
            if (!(options_ & doAnimate))
                break;
            if (terminated_)
                return;
            const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
            delay = control && control->Delay != 0 ? control->Delay : DefaultDelay;
            if (!threaded)
                delay = std::min(delay, MaxUnthreadedDelay);
        }
        if (loops > 0)
            --loops;
        if (!((options_ & doAnimate) && (options_ & doLoop)))
            break;
    }
}

bool TGIFPainter::Wait(int delay)
{
    IGIFClock& clock = GIFClock();
    if (delay < 1) {
        clock.Sleep(0);
        return true;
    }
    const std::uint32_t start = clock.TickCount();
    Synchronized([this] { Prepare(); });
    // The time spent preparing the frame is taken off its wait, so timing does not drift.
    int wait = delay * DelayUnitMs - static_cast<int>(clock.TickCount() - start);
    if (Threaded()) {
        if (wait > 0 && clock.Wait(*stopEvent_, wait))
            return false;
        return true;
    }
    wait = std::max(wait, 1);
    while (wait > 0 && !terminated_) {
        clock.Sleep(UnthreadedWaitStepMs);
        wait -= UnthreadedWaitStepMs;
        ServeGIFSynchronization();
        if (IGIFEventLoop* loop = GIFEventLoop(); loop && !loop->ProcessEvents())
            Stop();
    }
    return true;
}

void TGIFPainter::Prepare()
{
    if (terminated_ || !image_)
        return;
    const int index = std::max(activeImage_, 0);
    if (index < image_->Images().Count())
        image_->Images()[index].Bitmap();
}

void TGIFPainter::DrawFrame()
{
    // A request queued before the painter was told to stop may run after its target has gone.
    if (terminated_ || !image_)
        return;
    if ((options_ & doCheckCanvas) && (!canvasValid_ || !canvas_->Valid())) {
        Stop();
        return;
    }
    if (workBuffer_)
        BufferedDraw();
    else
        DirectDraw();
    firstFrameDrawn_ = true;
    if (image_->OnPainterFrame)
        image_->OnPainterFrame(activeImage_);
}

void TGIFPainter::DirectDraw()
{
    image_->Images()[activeImage_].Draw(*canvas_, area_, (options_ & doTransparent) != 0);
    canvas_->Changed();
}

void TGIFPainter::BufferedDraw()
{
    TGIFSubImage& frame = image_->Images()[activeImage_];
    const bool transparent = (options_ & doTransparent) != 0;
    TGIFBitmapCanvas work(*workBuffer_);
    const TRect whole = WholeOf(*workBuffer_);
    switch (disposal_) {
    case 2:
        frame.Draw(work, whole, transparent);
        canvas_->StretchDraw(area_, *workBuffer_);
        {
            // Mapped within the work buffer, which is what the target area shows.
            const TRect restored = frame.ScaleRect(whole);
            if (transparent) {
                const int width = restored.Right - restored.Left;
                const int height = restored.Bottom - restored.Top;
                if (width > 0 && height > 0)
                    workBuffer_->CopyRect(*backgroundSnapshot_, restored.Left, restored.Top, width,
                                          height, restored.Left, restored.Top, width, height);
            } else {
                work.FillRect(restored, backgroundColor_);
            }
        }
        break;
    case 3:
        if (previousDisposal_ <= 1) {
            // The work buffer keeps the picture as it was before this frame.
            frame.Draw(*canvas_, area_, transparent);
        } else {
            previousBuffer_->Assign(workBuffer_.get());
            TGIFBitmapCanvas previous(*previousBuffer_);
            frame.Draw(previous, whole, transparent);
            canvas_->StretchDraw(area_, *previousBuffer_);
        }
        break;
    default:
        frame.Draw(work, whole, transparent);
        canvas_->StretchDraw(area_, *workBuffer_);
        break;
    }
    canvas_->Changed();
}

void TGIFPainter::End()
{
    finished_ = true;
    if (image_)
        image_->PainterEnded(*this);
    image_ = nullptr;
    workBuffer_.reset();
    previousBuffer_.reset();
    backgroundSnapshot_.reset();
}

// The picture's side

std::shared_ptr<TGIFPainter> TGIFImage::StartPainter(TGIFCanvas& canvas, const TRect& area,
                                                     TGIFDrawOptions options)
{
    if (Empty())
        return nullptr;
    JoinEndedPainters(false);
    if (images_.Count() == 1)
        options &= static_cast<TGIFDrawOptions>(~doThreaded);
    auto painter = std::make_shared<TGIFPainter>(*this, canvas, area, options);
    {
        std::lock_guard guard(paintersMutex_);
        painters_.push_back(painter);
    }
    if (painter->Threaded())
        return painter;
    const std::shared_ptr<bool> alive = alive_;
    try {
        painter->Execute();
    } catch (...) {
        if (*alive)
            painter->End();
        throw;
    }
    // The window events served while it waited may have freed the picture.
    if (*alive)
        painter->End();
    return nullptr;
}

void TGIFImage::PainterEnded(TGIFPainter& painter)
{
    if (ownPainter_.get() == &painter)
        ownPainter_.reset();
    std::lock_guard guard(paintersMutex_);
    auto it = std::find_if(painters_.begin(), painters_.end(),
                           [&](const auto& p) { return p.get() == &painter; });
    if (it != painters_.end()) {
        // Its worker is still returning from this call; it is joined later.
        if (painter.Threaded())
            endedPainters_.push_back(*it);
        painters_.erase(it);
    }
}

void TGIFImage::JoinEndedPainters(bool all)
{
    std::vector<std::shared_ptr<TGIFPainter>> ended;
    {
        std::lock_guard guard(paintersMutex_);
        for (auto it = endedPainters_.begin(); it != endedPainters_.end();) {
            if (all || (*it)->exited_) {
                ended.push_back(*it);
                it = endedPainters_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& painter : ended)
        if (painter->thread_.joinable())
            painter->thread_.join();
}

void TGIFImage::StopOwnPainter()
{
    while (std::shared_ptr<TGIFPainter> painter = ownPainter_) {
        painter->Stop();
        if (!painter->Threaded() || GIFQuitting())
            break;
        ServeGIFSynchronization(1, 1);
    }
    DropBitmap();
}

void TGIFImage::StopAllPainters()
{
    for (;;) {
        bool threaded = false;
        {
            std::lock_guard guard(paintersMutex_);
            if (painters_.empty())
                break;
            for (auto it = painters_.rbegin(); it != painters_.rend(); ++it) {
                (*it)->Stop();
                threaded = threaded || (*it)->Threaded();
            }
        }
        if (!threaded)
            break;
        // Serving needs no event loop, so this ends even while the program quits: each stopped
        // worker lets go of the picture through the request it sends here.
        ServeGIFSynchronization(1, 1);
    }
    JoinEndedPainters(true);
    if (ownPainter_)
        ownPainter_->Stop();
    std::lock_guard guard(lock_);
    bitmapCanvas_.reset();
    bitmap_.reset();
    bitmapPalette_.reset();
}

int TGIFImage::PainterCount() const
{
    std::lock_guard guard(paintersMutex_);
    return static_cast<int>(painters_.size());
}

} // namespace scenaria
