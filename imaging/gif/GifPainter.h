#pragma once
// TGIFPainter: plays an animated GIF picture frame by frame into a canvas, with the frames'
// delays, the looping extension's count and the disposal methods. Threaded, it is a worker that
// only waits, reads the model and takes the picture's lock; preparing bitmaps and drawing run
// on the user-interface thread through GIFSynchronize, so canvases are touched by that thread
// only.

#include "imaging/gif/GifCanvas.h"
#include "imaging/gif/GifImage.h"
#include "imaging/gif/GifThreads.h"

#include <atomic>
#include <memory>
#include <thread>

namespace scenaria {

class TGIFPainter : public std::enable_shared_from_this<TGIFPainter> {
public:
    // Made by TGIFImage::StartPainter on the user-interface thread, not yet running.
    TGIFPainter(TGIFImage& image, TGIFCanvas& canvas, const TRect& area, TGIFDrawOptions options);
    ~TGIFPainter();
    TGIFPainter(const TGIFPainter&) = delete;
    TGIFPainter& operator=(const TGIFPainter&) = delete;

    TGIFCanvas* Canvas() const { return canvas_; }
    const TRect& Area() const { return area_; }
    TGIFDrawOptions Options() const { return options_; }
    bool Threaded() const { return (options_ & doThreaded) != 0; }
    int ActiveImage() const { return activeImage_; }
    bool FirstFrameDrawn() const { return firstFrameDrawn_; }
    // Set once the painter has been told to stop.
    bool Terminated() const { return terminated_; }
    // Set once the painter has ended and let go of its picture.
    bool Finished() const { return finished_; }
    TColor BackgroundColor() const { return backgroundColor_; }

    // Starts the worker of a threaded painter; nothing for one that is not threaded.
    void Resume();
    // Asks the painter to stop; it honours the request at its next check, a waiting worker at
    // once through its stop event.
    void Stop();

private:
    friend class TGIFImage;

    void Execute();
    bool Wait(int delay);
    void Prepare();
    void DrawFrame();
    void DirectDraw();
    void BufferedDraw();
    // Runs on the user-interface thread: lets go of the picture and frees the buffers.
    void End();
    void Synchronized(const std::function<void()>& method);

    TGIFImage* image_;
    TGIFCanvas* canvas_;
    TRect area_;
    TGIFDrawOptions options_;
    int activeImage_ = -1;
    int disposal_ = 1;
    int previousDisposal_ = 1;
    std::atomic<bool> firstFrameDrawn_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> exited_{false};
    bool canvasValid_ = true;
    TColor backgroundColor_ = 0;
    std::unique_ptr<TGIFEvent> stopEvent_;
    std::unique_ptr<TPixelGraphic> workBuffer_;
    std::unique_ptr<TPixelGraphic> previousBuffer_;
    std::unique_ptr<TPixelGraphic> backgroundSnapshot_;
    std::thread thread_;
};

} // namespace scenaria
