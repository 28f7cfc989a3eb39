#pragma once
// The GIF picture: a GIF 87a or 89a stream read into a model of header, frames and extensions
// that stays in memory after loading and can be written back.

#include "imaging/PixelGraphic.h"
#include "imaging/Types.h"
#include "imaging/gif/GifCanvas.h"
#include "imaging/gif/GifColorMap.h"
#include "imaging/gif/GifException.h"
#include "imaging/gif/GifExtensions.h"
#include "imaging/gif/GifItem.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace scenaria {

enum TGIFDrawOption : int {
    doThreaded = 0x001,       // animation is painted by a worker thread
    doTransparent = 0x002,    // a frame's transparent colour is not painted
    doAnimate = 0x004,        // a picture of more than one frame is animated
    doLoop = 0x008,           // the animation repeats as the loop count says
    doLoopForever = 0x010,    // the animation repeats without end
    doCheckCanvas = 0x020,    // the painter stops when its target has gone
    doDirect = 0x040,         // the painter draws straight onto the target
    doDither = 0x080,         // frames are dithered to the web colour cube
    doDitherLowColor = 0x100, // with doDither: only on low-colour displays
};
using TGIFDrawOptions = std::uint16_t;
constexpr TGIFDrawOptions GIFDefaultDrawOptions = 0x018F;

enum TThreadPriority : int {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// The colour value that means "no colour".
constexpr TColor GIFColorNone = 0x1FFFFFFF;

// Frames cannot hold more pixels than their data can encode: a 12-bit code stands for at most
// 4096 pixels, so a byte carries at most 4096 * 8 / 12 of them. Loading refuses frames that
// would need more data than the stream holds before it allocates their pixels.
constexpr std::int64_t GIFMaxPixelsPerByte = 2731;

// The logical screen descriptor, byte for byte.
struct TGIFScreenDescriptor {
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    std::uint8_t Packed = 0; // 7 global table; 4-6 colour resolution; 3 sorted; 0-2 size
    std::uint8_t BackgroundColorIndex = 0;
    std::uint8_t AspectRatio = 0;
};

class TGIFHeader : public TGIFItem {
public:
    explicit TGIFHeader(TGIFImage* image) : TGIFItem(image), colorMap_(this) {}

    TGIFScreenDescriptor Descriptor;
    // The three version bytes of the stream last read ("87a", "89a" or anything), or of the
    // stream last written; empty before either.
    std::string Version;

    TGIFGlobalColorMap& ColorMap() { return colorMap_; }
    const TGIFGlobalColorMap& ColorMap() const { return colorMap_; }

    void LoadFromStream(TPGStream& stream) override;
    // Writes the signature with the picture's version, the descriptor and the global table.
    void SaveToStream(TPGStream& stream) override;
    // Recomputes the packed byte from the tables: bit 7 for a global table, bit 3 for a sorted
    // one, and colour resolution and size from the highest bit depth of all tables.
    void Prepare();
    void Assign(const TGIFHeader& source);

private:
    TGIFGlobalColorMap colorMap_;
};

// The image descriptor, byte for byte.
struct TGIFImageDescriptor {
    std::uint8_t Separator = 0x2C;
    std::uint16_t Left = 0;
    std::uint16_t Top = 0;
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    std::uint8_t Packed = 0; // 7 local table; 6 interlaced; 5 sorted; 0-2 size
};

// One frame: descriptor, local colour table, the extensions before it and its pixels, one
// colour index a byte, rows top to bottom in display order.
class TGIFSubImage : public TGIFItem {
public:
    explicit TGIFSubImage(TGIFImage* image);
    ~TGIFSubImage() override;

    void LoadFromStream(TPGStream& stream) override;
    // Writes the extensions and, unless the frame is empty, its descriptor, local table and
    // compressed pixels.
    void SaveToStream(TPGStream& stream) override;
    void LoadFromFile(const std::string& fileName);
    // Back to a frame without extensions, colours or pixels.
    void Clear();
    void Assign(const TGIFSubImage& source);

    bool Empty() const;
    const TGIFImageDescriptor& Descriptor() const { return descriptor_; }
    int Left() const { return descriptor_.Left; }
    int Top() const { return descriptor_.Top; }
    int Width() const { return descriptor_.Width; }
    int Height() const { return descriptor_.Height; }
    void SetLeft(int left);
    void SetTop(int top);
    // New dimensions and a new pixel buffer cleared to 0.
    void SetSize(int width, int height);
    bool Interlaced() const { return (descriptor_.Packed & 0x40) != 0; }
    void SetInterlaced(bool interlaced);

    TGIFLocalColorMap& ColorMap() { return colorMap_; }
    const TGIFLocalColorMap& ColorMap() const { return colorMap_; }
    // The local table when it has entries, else the picture's global table (else the empty
    // local table).
    const TGIFColorMap& ActiveColorMap() const;

    TGIFExtensionList& Extensions() { return extensions_; }
    const TGIFExtensionList& Extensions() const { return extensions_; }
    // The first graphic control extension made for this frame, or nullptr.
    TGIFGraphicControlExtension* GraphicControlExtension() const { return graphicControl_; }
    // Set while the frame's graphic control extension has its transparency bit.
    bool Transparent() const { return transparent_; }

    std::uint8_t* Data() { return pixels_.data(); }
    const std::uint8_t* Data() const { return pixels_.data(); }
    std::int32_t DataSize() const { return static_cast<std::int32_t>(pixels_.size()); }
    std::uint8_t Pixel(int x, int y) const { return pixels_[std::size_t(y) * Width() + x]; }

    // The version this frame needs: 89 with a sorted local table or any extension, else 87.
    int Version() const;
    // Recomputes the descriptor's packed byte from the local table, keeping the interlace bit.
    void Prepare();

    // Rendering. The palette the frame is drawn with: the bitmap's, the cached one, the web
    // colour cube when dithering, the local table's, or else the picture's (not cached).
    TGIFPalette Palette();
    // A new palette replaces the cached one and drops a bitmap made with another.
    void SetPalette(TGIFPalette palette);
    // The frame's bitmap, 8 bits a pixel, rendered on first use (dithered to the web colour
    // cube when the picture dithers) together with its mask.
    TPixelGraphic& Bitmap();
    // Makes sure the mask is current; true when the frame has one (a transparent frame with at
    // least one pixel of its transparent colour).
    bool HasMask();
    const TGIFMask* Mask() const { return mask_.get(); }
    // The frame's place on the logical screen mapped into rect, a rectangle of the whole
    // picture, rounding as MulDiv does.
    TRect ScaleRect(const TRect& rect) const;
    // Draws the frame into its place within rect, the picture's rectangle; with transparent,
    // pixels of its transparent colour are left out.
    void Draw(TGIFCanvas& canvas, const TRect& rect, bool transparent);
    // Forgets the bitmap, mask and palette made from the frame; the next use makes them anew.
    void DropCaches();

private:
    friend class TGIFGraphicControlExtension;

    std::unique_ptr<TPixelGraphic> NewFrameBitmap(const TGIFPalette& palette);
    void RenderPlain(TPixelGraphic& bitmap, bool buildMask);
    void RenderDithered(TPixelGraphic& bitmap, bool buildMask);
    void KeepMask(std::vector<std::uint8_t> bits, bool anySet);

    void Decode(TPGStream& stream);
    void Encode(TPGStream& stream) const;

    TGIFImageDescriptor descriptor_;
    TGIFLocalColorMap colorMap_;
    TGIFExtensionList extensions_;
    std::vector<std::uint8_t> pixels_;
    TGIFGraphicControlExtension* graphicControl_ = nullptr;
    bool transparent_ = false;

    std::unique_ptr<TPixelGraphic> bitmap_;
    TGIFPalette bitmapPalette_;
    std::unique_ptr<TGIFMask> mask_;
    bool needMask_ = true;
    TGIFPalette palette_;
};

class TGIFImageList : public TGIFList<TGIFSubImage> {
public:
    explicit TGIFImageList(TGIFImage* image) : TGIFList(image) {}

    void LoadFromStream(TPGStream& stream);
    void SaveToStream(TPGStream& stream);
};

// The trailer byte ";" that ends a stream.
class TGIFTrailer : public TGIFItem {
public:
    explicit TGIFTrailer(TGIFImage* image) : TGIFItem(image) {}
    // A byte other than ";" gives the warning "Invalid Image trailer"; the end of the stream is
    // accepted silently.
    void LoadFromStream(TPGStream& stream) override;
    void SaveToStream(TPGStream& stream) override;
};

// The lock that keeps a picture's model still while another thread (the animation painter)
// reads it. It may be taken again by the thread that holds it. The user-interface thread never
// blocks on it: while a painter holds it, waiting for its drawing to run on the user-interface
// thread, that thread serves the painter's requests until the lock comes free.
class TGIFPictureLock {
public:
    void lock();
    void unlock();
    bool try_lock();

private:
    std::recursive_mutex mutex_;
    std::atomic<std::int32_t> count_{0};
    std::atomic<std::thread::id> owner_{};
};

class TGIFPainter;

class TGIFImage {
public:
    TGIFImage();
    ~TGIFImage();
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    TGIFDrawOptions DrawOptions = GIFDefaultDrawOptions;
    TGIFWarningHandler WarningHandler;
    TThreadPriority PainterPriority = tpNormal;
    TColor BackgroundColor = GIFColorNone;
    TGIFProgressHandler OnProgress;
    std::function<void()> OnChange;

    TGIFHeader& Header() { return header_; }
    const TGIFHeader& Header() const { return header_; }
    TGIFImageList& Images() { return images_; }
    const TGIFImageList& Images() const { return images_; }
    TGIFPictureLock& PictureLock() { return lock_; }

    // Parses a whole GIF stream positioned at its signature; the stream may go on past the
    // trailer. When loading fails part way, the frames read before stay.
    void LoadFromStream(TPGStream& stream);
    // Fails with "Unsupported GIF version" for a picture without frames.
    void SaveToStream(TPGStream& stream);
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);

    int Width() const { return header_.Descriptor.Width; }
    int Height() const { return header_.Descriptor.Height; }
    // Fail with "Image width/height too small for contained frames" when a frame would reach
    // beyond the new size.
    void SetWidth(int width);
    void SetHeight(int height);
    bool Empty() const { return images_.Empty(); }
    bool Equals(const TGIFImage& other) const { return this == &other; }

    void Clear();
    // Adds a copy of a frame (any other item: "Object type not supported for operation"); a
    // frame that reaches beyond the logical screen enlarges it, with the warning "Image exceeds
    // Logical Screen size".
    TGIFSubImage& Add(const TGIFItem& source);
    void Assign(const TGIFImage& source);

    // A GIF picture has no clipboard form: both fail with "Clipboard operations not supported
    // for GIF objects".
    void LoadFromClipboardFormat(std::uint16_t format, const std::vector<std::uint8_t>& data);
    void SaveToClipboardFormat(std::uint16_t& format, std::vector<std::uint8_t>& data) const;

    // 87 or 89, the highest that a frame needs (looking no further than the first that needs
    // 89); 0 without frames.
    int Version() const;
    // The highest bit depth of the global and all local tables.
    int BitsPerPixel() const;

    // Rendering. Frames are dithered to the web colour cube when doDither is set and either
    // doDitherLowColor is clear or the display shows few colours.
    bool Dithering() const;
    // The picture's palette: the composed bitmap's, the cached one, the web colour cube when
    // dithering, the global table's, or the first frame's. Fails with "No global or local
    // color table defined" when needed while it is being worked out (no table anywhere).
    TGIFPalette Palette();
    void SetPalette(TGIFPalette palette);
    // The whole picture as a true-colour bitmap of the logical screen's size with the first
    // frame drawn; nullptr for an empty picture. The painter keeps it current.
    TPixelGraphic* Bitmap();
    // A composed bitmap without a frame drawn, for the painter to fill.
    TPixelGraphic& NewBitmap();
    // Draws the picture into rect of canvas: the first frame when there is one frame or
    // doAnimate is clear; otherwise the animation, which a painter keeps running.
    void Draw(TGIFCanvas& canvas, const TRect& rect);

    // Painters. Called on the user-interface thread.
    // The painter the picture's own drawing started, or nullptr.
    std::shared_ptr<TGIFPainter> OwnPainter() const { return ownPainter_; }
    // Starts a painter of this picture drawing into area of canvas: nullptr for an empty
    // picture or when it has played to its end on the caller's thread (without doThreaded).
    std::shared_ptr<TGIFPainter> StartPainter(TGIFCanvas& canvas, const TRect& area,
                                              TGIFDrawOptions options);
    // Stops the own painter and drops the composed bitmap.
    void StopOwnPainter();
    // Stops every painter of the picture and waits until none of them touches it any more.
    void StopAllPainters();
    int PainterCount() const;
    // Called on the user-interface thread after a painter has drawn a frame (its index).
    std::function<void(int frame)> OnPainterFrame;

    void Warning(const TGIFItem* sender, int severity, const std::string& message) const;
    void Progress(const TGIFItem* sender, TGIFProgressStage stage, int percentDone,
                  const std::string& message) const;
    void Changed() const;

private:
    friend class TGIFSubImage;
    friend class TGIFPainter;

    void DropBitmap();
    void MakeBitmap(bool drawFirstFrame);
    void PainterEnded(TGIFPainter& painter);
    void JoinEndedPainters(bool all);

    TGIFPalette palette_;
    std::unique_ptr<TPixelGraphic> bitmap_;
    std::unique_ptr<TGIFBitmapCanvas> bitmapCanvas_;
    TGIFPalette bitmapPalette_;
    mutable std::mutex paintersMutex_;
    std::vector<std::shared_ptr<TGIFPainter>> painters_;
    std::vector<std::shared_ptr<TGIFPainter>> endedPainters_;
    std::shared_ptr<TGIFPainter> ownPainter_;
    // Dropped when the picture goes: a painter running on the caller's thread looks at it
    // after the window events it served, which may have freed the picture.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    // Pixels that loading may still allocate (see GIFMaxPixelsPerByte); unlimited otherwise.
    std::int64_t pixelBudget_ = -1;

    TGIFHeader header_;
    TGIFImageList images_;
    TGIFPictureLock lock_;
};

} // namespace scenaria
