#include "widgets/CreatePaintPGThread.h"

#include <exception>

namespace scenaria {

TCreatePaintPGThread::TCreatePaintPGThread(const TPixelGraphic& source, const TDisplayJobPlan& plan,
                                           const TDisplayJobSettings& settings, quint64 serial,
                                           QObject* parent)
    : QThread(parent), source_(source), plan_(plan), settings_(settings), serial_(serial)
{
}

TCreatePaintPGThread::~TCreatePaintPGThread()
{
    Stop();
}

void TCreatePaintPGThread::Stop()
{
    requestInterruption();
    wait();
}

void TCreatePaintPGThread::Job(const TDisplayJobProgress& progress, const TDisplayJobStop& stop)
{
    try {
        result_ = RunDisplayJob(source_, plan_, settings_, progress, stop);
    } catch (const std::exception&) {
        // The viewer then paints the picture as it is; nothing to tell the user about.
        result_.reset();
        failed_ = true;
    }
}

void TCreatePaintPGThread::RunHere(const TDisplayJobProgress& progress)
{
    Job(progress, {});
}

void TCreatePaintPGThread::run()
{
    Job([this](int phase, int percent) { emit JobProgress(serial_, phase, percent); },
        [this] { return isInterruptionRequested(); });
    if (isInterruptionRequested()) {
        // Told to stop: the result is never handed over.
        result_.reset();
        return;
    }
    emit JobDone(serial_);
}

std::unique_ptr<TPixelGraphic> TCreatePaintPGThread::TakeResult()
{
    return std::move(result_);
}

} // namespace scenaria
