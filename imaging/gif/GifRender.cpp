// Turning the GIF model into pixels: palettes, frame bitmaps with their masks, drawing a frame
// into a rectangle, and the composed bitmap of the whole picture.

#include "imaging/gif/GifImage.h"
#include "imaging/gif/GifPainter.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace scenaria {

namespace {

const char* const RenderingText = "Rendering...";

// Neither guard is locked: both only stop re-entry on the user-interface thread, where all
// rendering and drawing runs.
std::atomic<bool> picturePaletteBusy{false};
std::atomic<bool> drawing{false};

TGIFPalette PaletteOf(const TGIFColorMap& map)
{
    auto entries = std::make_shared<std::vector<TColor>>();
    entries->reserve(std::size_t(map.Count()));
    for (int i = 0; i < map.Count(); ++i) {
        const TGIFColor& c = map.Data()[i];
        entries->push_back(RGB(c.Red, c.Green, c.Blue));
    }
    return entries;
}

void ApplyPalette(TPixelGraphic& bitmap, const TGIFPalette& palette)
{
    const int count = palette ? std::min<int>(int(palette->size()), 256) : 0;
    bitmap.SetPaletteCount(count);
    for (int i = 0; i < count; ++i)
        bitmap.SetPaletteEntry(i, (*palette)[std::size_t(i)]);
}

// Clears a flag on every way out.
struct TFlagScope {
    std::atomic<bool>& Flag;
    ~TFlagScope() { Flag = false; }
};

// Reports the end of rendering whichever way it ends: 100 per cent, 0 when failing.
struct TRenderProgress {
    const TGIFSubImage& Frame;
    bool Done = false;
    ~TRenderProgress()
    {
        if (Frame.Image())
            Frame.Image()->Progress(&Frame, gpsEnding, Done ? 100 : 0, RenderingText);
    }
};

int Level(int value)
{
    // round(value / 51), limited to the cube's six levels.
    const int level = (value >= 0 ? value + 25 : value - 25) / 51;
    return std::clamp(level, 0, 5);
}

// The transparent pixels' bits, gathered while a frame is rendered and handed to the frame when
// rendering ends, also when a progress handler aborts part way.
class TMaskBits {
public:
    using TKeep = std::function<void(std::vector<std::uint8_t> bits, bool anySet)>;

    TMaskBits(int width, int height, bool build, TKeep keep)
        : rowBytes_(TGIFMask::RowBytes(width)), build_(build), keep_(std::move(keep))
    {
        if (build_)
            bits_.assign(std::size_t(rowBytes_) * std::size_t(height), 0);
    }
    ~TMaskBits()
    {
        if (build_)
            keep_(std::move(bits_), anySet_);
    }
    TMaskBits(const TMaskBits&) = delete;
    TMaskBits& operator=(const TMaskBits&) = delete;

    bool Building() const { return build_; }
    void Set(int x, int y)
    {
        bits_[std::size_t(y) * std::size_t(rowBytes_) + std::size_t(x / 8)] |=
            std::uint8_t(0x80 >> (x % 8));
        anySet_ = true;
    }

private:
    int rowBytes_;
    bool build_;
    TKeep keep_;
    std::vector<std::uint8_t> bits_;
    bool anySet_ = false;
};

} // namespace

// Picture lock

namespace {
std::mutex& LockBookkeeping()
{
    static std::mutex bookkeeping;
    return bookkeeping;
}
} // namespace

bool TGIFPictureLock::try_lock()
{
    std::lock_guard guard(LockBookkeeping());
    const std::thread::id self = std::this_thread::get_id();
    if (count_ != 0 && owner_.load() != self)
        return false;
    mutex_.lock();
    ++count_;
    owner_ = self;
    return true;
}

void TGIFPictureLock::lock()
{
    while (!try_lock()) {
        if (IsGIFMainThread()) {
            // The holder may be a painter waiting for its drawing to run on this thread.
            if (GIFQuitting())
                throw EAbort();
            ServeGIFSynchronization(1, 1);
        } else {
            std::this_thread::yield();
        }
    }
}

void TGIFPictureLock::unlock()
{
    {
        std::lock_guard guard(LockBookkeeping());
        if (--count_ == 0)
            owner_ = std::thread::id();
    }
    mutex_.unlock();
}

// Frame

TGIFPalette TGIFSubImage::Palette()
{
    if (bitmap_ && bitmapPalette_)
        return bitmapPalette_;
    if (palette_)
        return palette_;
    if (image_ && image_->Dithering())
        palette_ = WebCubePalette();
    else if (!colorMap_.Empty())
        palette_ = PaletteOf(colorMap_);
    else if (image_)
        return image_->Palette();
    return palette_;
}

void TGIFSubImage::SetPalette(TGIFPalette palette)
{
    if (palette == palette_)
        return;
    std::unique_lock<TGIFPictureLock> guard;
    if (image_)
        guard = std::unique_lock(image_->PictureLock());
    palette_ = std::move(palette);
    if (bitmap_ && bitmapPalette_ != palette_) {
        DropCaches();
        if (image_)
            image_->Changed();
    }
}

void TGIFSubImage::DropCaches()
{
    bitmap_.reset();
    bitmapPalette_.reset();
    mask_.reset();
    needMask_ = true;
}

std::unique_ptr<TPixelGraphic> TGIFSubImage::NewFrameBitmap(const TGIFPalette& palette)
{
    auto bitmap = std::make_unique<TPixelGraphic>();
    bitmap->SetSize(Width(), Height(), bc8Bit);
    ApplyPalette(*bitmap, palette);
    return bitmap;
}

TPixelGraphic& TGIFSubImage::Bitmap()
{
    if (bitmap_)
        return *bitmap_;
    const bool dither = image_ && image_->Dithering();
    TGIFPalette palette = dither ? WebCubePalette() : Palette();
    std::unique_ptr<TPixelGraphic> bitmap = NewFrameBitmap(palette);
    if (image_)
        image_->Progress(this, gpsStarting, 0, RenderingText);
    TRenderProgress progress{*this};
    const bool buildMask = needMask_ && transparent_;
    needMask_ = false;
    try {
        if (!Empty()) {
            if (dither)
                RenderDithered(*bitmap, buildMask);
            else
                RenderPlain(*bitmap, buildMask);
        }
        progress.Done = true;
    } catch (const EAbort&) {
        // A progress handler that aborts keeps what was rendered so far.
        progress.Done = true;
    }
    bitmap_ = std::move(bitmap);
    bitmapPalette_ = std::move(palette);
    return *bitmap_;
}

void TGIFSubImage::KeepMask(std::vector<std::uint8_t> bits, bool anySet)
{
    mask_.reset();
    if (anySet)
        mask_ = std::make_unique<TGIFMask>(Width(), Height(), std::move(bits));
}

void TGIFSubImage::RenderPlain(TPixelGraphic& bitmap, bool buildMask)
{
    const int width = Width(), height = Height();
    const int transparentIndex =
        buildMask && graphicControl_ ? graphicControl_->TransparentColorIndex : -1;
    TMaskBits mask(width, height, buildMask, [this](std::vector<std::uint8_t> bits, bool anySet) {
        KeepMask(std::move(bits), anySet);
    });
    for (int y = 0; y < height; ++y) {
        if (y % 32 == 0 && image_)
            image_->Progress(this, gpsRunning, y * 100 / height, RenderingText);
        const std::uint8_t* source = pixels_.data() + std::size_t(y) * width;
        std::copy(source, source + width, bitmap.ScanLine(y));
        if (!mask.Building())
            continue;
        for (int x = 0; x < width; ++x)
            if (source[x] == transparentIndex)
                mask.Set(x, y);
    }
}

void TGIFSubImage::RenderDithered(TPixelGraphic& bitmap, bool buildMask)
{
    const int width = Width(), height = Height();
    const int transparentIndex =
        buildMask && graphicControl_ ? graphicControl_->TransparentColorIndex : -1;
    TMaskBits mask(width, height, buildMask, [this](std::vector<std::uint8_t> bits, bool anySet) {
        KeepMask(std::move(bits), anySet);
    });

    const TGIFColorMap& colors = ActiveColorMap();
    std::array<TGIFColor, 256> table{};
    for (int i = 0; i < std::min(colors.Count(), 256); ++i)
        table[std::size_t(i)] = colors.Data()[i];
    // Errors in units of 1/1024, for this row and the next, with a pixel of margin either side.
    std::vector<std::array<int, 3>> current(std::size_t(width) + 2), next(std::size_t(width) + 2);
    for (int y = 0; y < height; ++y) {
        if (y % 32 == 0 && image_)
            image_->Progress(this, gpsRunning, y * 100 / height, RenderingText);
        const bool forward = y % 2 == 0;
        const int step = forward ? 1 : -1;
        const std::uint8_t* source = pixels_.data() + std::size_t(y) * width;
        std::uint8_t* target = bitmap.ScanLine(y);
        std::fill(next.begin(), next.end(), std::array<int, 3>{0, 0, 0});
        for (int i = 0; i < width; ++i) {
            const int x = forward ? i : width - 1 - i;
            const std::uint8_t index = source[x];
            const TGIFColor& c = table[index];
            const int component[3] = {c.Red, c.Green, c.Blue};
            int level[3];
            if (index == transparentIndex) {
                for (int k = 0; k < 3; ++k)
                    level[k] = Level(component[k]);
                mask.Set(x, y);
            } else {
                for (int k = 0; k < 3; ++k) {
                    const int value = component[k] + current[std::size_t(x) + 1][k] / 1024;
                    level[k] = Level(value);
                    const int error = (value - 51 * level[k]) * 1024;
                    current[std::size_t(x + step) + 1][k] += error * 7 / 16;
                    next[std::size_t(x - step) + 1][k] += error * 3 / 16;
                    next[std::size_t(x) + 1][k] += error * 5 / 16;
                    next[std::size_t(x + step) + 1][k] += error * 1 / 16;
                }
            }
            target[x] = static_cast<std::uint8_t>(36 * level[0] + 6 * level[1] + level[2]);
        }
        std::swap(current, next);
    }
}

bool TGIFSubImage::HasMask()
{
    if (needMask_ && transparent_) {
        DropCaches();
        Bitmap();
    }
    return mask_ != nullptr;
}

TRect TGIFSubImage::ScaleRect(const TRect& rect) const
{
    const int width = rect.Right - rect.Left, height = rect.Bottom - rect.Top;
    const int screenWidth = image_ ? image_->Width() : Width();
    const int screenHeight = image_ ? image_->Height() : Height();
    return TRect{rect.Left + MulDiv(Left(), width, screenWidth),
                 rect.Top + MulDiv(Top(), height, screenHeight),
                 rect.Left + MulDiv(Left() + Width(), width, screenWidth),
                 rect.Top + MulDiv(Top() + Height(), height, screenHeight)};
}

void TGIFSubImage::Draw(TGIFCanvas& canvas, const TRect& rect, bool transparent)
{
    if (Empty())
        return; // a frame without pixels is drawn as nothing
    const TRect target = ScaleRect(rect);
    if (transparent && transparent_ && HasMask()) {
        canvas.MaskedStretchDraw(target, Bitmap(), *mask_);
        canvas.Changed();
    } else {
        canvas.StretchDraw(target, Bitmap());
    }
}

// Picture

bool TGIFImage::Dithering() const
{
    return (DrawOptions & doDither) && (!(DrawOptions & doDitherLowColor) || LowColorDisplay);
}

TGIFPalette TGIFImage::Palette()
{
    // A picture without any colour table comes back here from its first frame.
    if (picturePaletteBusy.exchange(true))
        throw GIFException("No global or local color table defined");
    TFlagScope scope{picturePaletteBusy};
    if (bitmap_ && bitmapPalette_)
        return bitmapPalette_;
    if (palette_)
        return palette_;
    if (Dithering())
        return palette_ = WebCubePalette();
    if (!header_.ColorMap().Empty())
        return palette_ = PaletteOf(header_.ColorMap());
    if (!images_.Empty())
        return images_[0].Palette();
    return nullptr;
}

void TGIFImage::SetPalette(TGIFPalette palette)
{
    if (palette == palette_)
        return;
    {
        std::lock_guard guard(lock_);
        palette_ = std::move(palette);
    }
    // Not under the lock: the painter stopped here may be waiting for it.
    if (bitmap_ && bitmapPalette_ != palette_) {
        StopOwnPainter();
        Changed();
    }
}

void TGIFImage::DropBitmap()
{
    if (ownPainter_)
        ownPainter_->Stop();
    std::lock_guard guard(lock_);
    bitmapCanvas_.reset();
    bitmap_.reset();
    bitmapPalette_.reset();
}

void TGIFImage::MakeBitmap(bool drawFirstFrame)
{
    std::lock_guard guard(lock_);
    auto bitmap = std::make_unique<TPixelGraphic>();
    bitmap->OnChange = [this](TPixelGraphic&) { Changed(); };
    bitmapPalette_ = Palette();
    bitmap->SetSize(std::max(Width(), 1), std::max(Height(), 1), bc24Bit);
    bitmap_ = std::move(bitmap);
    bitmapCanvas_ = std::make_unique<TGIFBitmapCanvas>(*bitmap_);
    if (drawFirstFrame)
        images_[0].Draw(*bitmapCanvas_, TRect{0, 0, Width(), Height()}, false);
}

TPixelGraphic* TGIFImage::Bitmap()
{
    if (Empty())
        return nullptr;
    if (!bitmap_)
        MakeBitmap(true);
    return bitmap_.get();
}

TPixelGraphic& TGIFImage::NewBitmap()
{
    MakeBitmap(false);
    return *bitmap_;
}

void TGIFImage::Draw(TGIFCanvas& canvas, const TRect& rect)
{
    if (drawing.exchange(true))
        return;
    TFlagScope scope{drawing};
    if (Empty())
        return;
    if (images_.Count() == 1 || !(DrawOptions & doAnimate)) {
        images_[0].Draw(canvas, rect, (DrawOptions & doTransparent) != 0);
        return;
    }
    const bool direct = (DrawOptions & doDirect) != 0;
    if (bitmap_ && !direct) {
        canvas.StretchDraw(rect, *bitmap_);
        return;
    }
    if (ownPainter_ && ownPainter_->Canvas() == &canvas) {
        const TRect& area = ownPainter_->Area();
        if (area.Left == rect.Left && area.Top == rect.Top && area.Right == rect.Right &&
            area.Bottom == rect.Bottom)
            return;
    }
    StopOwnPainter();
    TGIFCanvas* target = &canvas;
    TRect area = rect;
    if (!direct) {
        canvas.CopyTo(rect, NewBitmap());
        target = bitmapCanvas_.get();
        area = TRect{0, 0, bitmap_->Width(), bitmap_->Height()};
    }
    const std::shared_ptr<bool> alive = alive_;
    std::shared_ptr<TGIFPainter> painter = StartPainter(*target, area, DrawOptions);
    if (!*alive || !painter)
        return;
    ownPainter_ = painter;
    painter->Resume();
    if (direct)
        return;
    while (!painter->FirstFrameDrawn() && !painter->Terminated() && !painter->Finished()) {
        if (GIFQuitting())
            return;
        ServeGIFSynchronization(1, 1);
    }
    if (*alive && bitmap_)
        canvas.StretchDraw(rect, *bitmap_);
}

} // namespace scenaria
