#pragma once
// TCreatePaintPGThread: builds the viewer's display-adapted copy on a worker thread. It reads
// the source (which the viewer keeps alive and unchanged until the worker has stopped) and writes
// only its own target; it reports through queued signals that carry its serial number, so the
// viewer can tell a report of the current job from a late one of a job it has since stopped.

#include "widgets/DisplayJob.h"

#include <QThread>

#include <memory>

namespace scenaria {

class TCreatePaintPGThread : public QThread {
    Q_OBJECT
public:
    TCreatePaintPGThread(const TPixelGraphic& source, const TDisplayJobPlan& plan,
                         const TDisplayJobSettings& settings, quint64 serial,
                         QObject* parent = nullptr);
    ~TCreatePaintPGThread() override;

    quint64 Serial() const { return serial_; }
    // Asks the job to stop and waits until the thread has ended.
    void Stop();
    // The job on the calling thread, for a viewer that does not use threads; progress goes
    // straight to progress.
    void RunHere(const TDisplayJobProgress& progress);
    // The finished copy; null when the job was stopped or failed.
    std::unique_ptr<TPixelGraphic> TakeResult();
    bool Failed() const { return failed_; }

signals:
    void JobDone(quint64 serial);
    void JobProgress(quint64 serial, int phase, int percent);

protected:
    void run() override;

private:
    void Job(const TDisplayJobProgress& progress, const TDisplayJobStop& stop);

    const TPixelGraphic& source_;
    const TDisplayJobPlan plan_;
    const TDisplayJobSettings settings_;
    const quint64 serial_;
    std::unique_ptr<TPixelGraphic> result_;
    bool failed_ = false;
};

} // namespace scenaria
