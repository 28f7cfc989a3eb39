#include "imaging/FittedLoad.h"

#include "imaging/Orientation.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Resample.h"
#include "imaging/RowSink.h"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace scenaria {

namespace {

// Hands rows to the resampler on a second thread, so that decoding the next rows and
// resampling the last ones overlap. One consumer takes the batches in order: the pixels are
// those of resampling on the decoding thread.
class TResampleWorker {
public:
    TResampleWorker(TRowResampler& resampler, std::size_t rowBytes, bool gray)
        : resampler_(resampler), rowBytes_(rowBytes), gray_(gray), thread_([this] { Run(); })
    {
        batch_.reserve(BatchRows * rowBytes_);
    }
    ~TResampleWorker()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    TResampleWorker(const TResampleWorker&) = delete;
    TResampleWorker& operator=(const TResampleWorker&) = delete;

    void Row(const std::uint8_t* row)
    {
        batch_.insert(batch_.end(), row, row + rowBytes_);
        if (batch_.size() >= BatchRows * rowBytes_)
            Hand();
    }

    // Waits until every row has been resampled; raises what the resampler raised.
    void Finish()
    {
        if (!batch_.empty())
            Hand();
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return (queue_.empty() && !busy_) || failure_; });
        if (failure_)
            std::rethrow_exception(failure_);
    }

private:
    static constexpr std::size_t BatchRows = 32;
    static constexpr std::size_t MaxQueued = 4;

    void Hand()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return queue_.size() < MaxQueued || failure_; });
        if (failure_)
            std::rethrow_exception(failure_);
        queue_.push_back(std::move(batch_));
        batch_ = TakeSpare();
        lock.unlock();
        changed_.notify_all();
    }

    std::vector<std::uint8_t> TakeSpare()
    {
        std::vector<std::uint8_t> buffer;
        if (!spare_.empty()) {
            buffer = std::move(spare_.back());
            spare_.pop_back();
        }
        buffer.clear();
        buffer.reserve(BatchRows * rowBytes_);
        return buffer;
    }

    void Run()
    {
        for (;;) {
            std::vector<std::uint8_t> work;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return !queue_.empty() || stopping_; });
                if (queue_.empty())
                    return;
                work = std::move(queue_.front());
                queue_.pop_front();
                busy_ = true;
            }
            changed_.notify_all();
            std::exception_ptr failure;
            try {
                for (std::size_t at = 0; at + rowBytes_ <= work.size(); at += rowBytes_)
                    resampler_.PushRow(work.data() + at, gray_);
            } catch (...) {
                failure = std::current_exception();
            }
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                busy_ = false;
                if (failure && !failure_)
                    failure_ = failure;
                if (spare_.size() < MaxQueued)
                    spare_.push_back(std::move(work));
            }
            changed_.notify_all();
        }
    }

    TRowResampler& resampler_;
    const std::size_t rowBytes_;
    const bool gray_;
    std::vector<std::uint8_t> batch_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::uint8_t>> queue_;
    std::vector<std::vector<std::uint8_t>> spare_;
    bool busy_ = false;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread thread_; // last: it starts running in the constructor
};

// A gray picture stays gray, as its reader gives it: the resampled colours of gray rows are
// gray levels, kept as they are.
void MakeGray(TPixelGraphic& image)
{
    TPixelGraphic gray;
    gray.SetSize(image.Width(), image.Height(), bc8Bit);
    for (int y = 0; y < image.Height(); ++y) {
        const std::uint8_t* from = image.ScanLine(y);
        std::uint8_t* to = gray.ScanLine(y);
        for (int x = 0; x < image.Width(); ++x)
            to[x] = from[3 * static_cast<std::size_t>(x)];
    }
    image.SetSize(image.Width(), image.Height(), bc8Bit);
    image.SetPaletteIdent(pGray256);
    std::memcpy(image.PixelData(), gray.PixelData(), gray.ImageSize());
}

// Resamples the rows a reader sends straight into the image being loaded, which the reader
// itself leaves empty while it has a sink.
class TFitSink final : public TRowSink {
public:
    TFitSink(TPixelGraphic& image, const TFitRule& rule, const TFitOptions& options)
        : image_(image), rule_(rule), options_(options)
    {
    }

    int Reduction(int width, int height, int orientation) override
    {
        // Turning comes before resampling, and needs the whole picture: the rows are left to
        // the image.
        if (options_.Upright && orientation != 1)
            return 0;
        asked_ = true;
        pictureWidth_ = width;
        pictureHeight_ = height;
        size_ = rule_(width, height);
        if (size_.Width <= 0 || size_.Height <= 0 ||
            (size_.Width == width && size_.Height == height))
            return 0;
        return options_.ReducedDecode ? ReductionFor(width, height, size_.Width, size_.Height) : 1;
    }

    void Begin(int width, int height, bool gray) override
    {
        image_.SetSize(size_.Width, size_.Height, bc24Bit);
        resampler_ = std::make_unique<TRowResampler>(image_, width, height, options_.Rounding);
        if (ImagingWorkerThreads() > 1)
            worker_ = std::make_unique<TResampleWorker>(
                *resampler_, static_cast<std::size_t>(width) * (gray ? 1 : 3), gray);
        gray_ = gray;
    }

    void Row(const std::uint8_t* row) override
    {
        if (worker_)
            worker_->Row(row);
        else
            resampler_->PushRow(row, gray_);
    }

    void End() override
    {
        if (worker_)
            worker_->Finish();
        worker_.reset();
        if (gray_)
            MakeGray(image_);
        fitted_ = true;
    }

    bool Asked() const { return asked_; }
    bool Fitted() const { return fitted_; }
    int PictureWidth() const { return pictureWidth_; }
    int PictureHeight() const { return pictureHeight_; }

private:
    TPixelGraphic& image_;
    const TFitRule& rule_;
    const TFitOptions& options_;
    TFitSize size_;
    bool asked_ = false;
    bool fitted_ = false;
    bool gray_ = false;
    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
    std::unique_ptr<TRowResampler> resampler_;
    std::unique_ptr<TResampleWorker> worker_; // after the resampler: it stops first
};

// Clears the sink from the image however loading ends: it lives on this function's stack.
class TSinkScope {
public:
    TSinkScope(TPixelGraphic& image, TRowSink& sink) : image_(image) { image_.RowSink = &sink; }
    ~TSinkScope() { image_.RowSink = nullptr; }
    TSinkScope(const TSinkScope&) = delete;
    TSinkScope& operator=(const TSinkScope&) = delete;

private:
    TPixelGraphic& image_;
};

} // namespace

int ReductionFor(int width, int height, int targetWidth, int targetHeight)
{
    for (int n = 8; n > 1; n /= 2)
        if ((width + n - 1) / n >= targetWidth && (height + n - 1) / n >= targetHeight)
            return n;
    return 1;
}

TFittedLoad LoadFitted(TPixelGraphic& image, const std::string& fileName, const TFitRule& rule,
                       const TFitOptions& options)
{
    TFitSink sink(image, rule, options);
    {
        const TSinkScope scope(image, sink);
        image.LoadFromFile(fileName);
    }
    if (options.Upright && !sink.Fitted())
        ApplyOrientation(image);
    TFittedLoad result;
    result.Fitted = sink.Fitted();
    result.PictureWidth = sink.Asked() ? sink.PictureWidth() : image.Width();
    result.PictureHeight = sink.Asked() ? sink.PictureHeight() : image.Height();
    return result;
}

} // namespace scenaria
