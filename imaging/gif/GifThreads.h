#pragma once
// What the animation painter needs from threads without knowing the toolkit: running a method
// on the user-interface thread on behalf of a worker, an event a worker waits on, and a clock
// that tests can replace.
//
// A worker's request is queued here and the toolkit is only asked to wake its event loop, which
// then serves the queue. Every wait of the user-interface thread for a painter serves the queue
// itself, so a worker holding the picture's lock while it waits for its drawing never blocks
// the thread that wants the lock.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace scenaria {

// The framework's silent abort: ends an operation without an error to report.
class EAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

// The toolkit's side of the synchronisation, set once by the program (widgets/ implements it
// with Qt). Without one, requests are served only by the waits of the user-interface thread.
class IGIFEventLoop {
public:
    virtual ~IGIFEventLoop() = default;
    // From any thread: have the user-interface thread call ServeGIFSynchronization soon.
    virtual void Wake() = 0;
    // On the user-interface thread: handle the waiting window events; false once the program
    // is quitting.
    virtual bool ProcessEvents() = 0;
    // True once the program has been asked to quit.
    virtual bool Quitting() const = 0;
};

// Installs the toolkit's event loop (nullptr: none) and makes the calling thread the
// user-interface thread. Until called, the thread that started the program is taken.
void SetGIFEventLoop(IGIFEventLoop* loop);
IGIFEventLoop* GIFEventLoop();
bool IsGIFMainThread();

// Runs method on the user-interface thread and waits until it has run; an exception it raises
// is raised again here. On the user-interface thread it runs at once.
void GIFSynchronize(const std::function<void()>& method);
// On the user-interface thread: runs the requests waiting, at most maxRequests of them, and
// answers how many ran. With waitMs, waits that long for a first request when none waits.
int ServeGIFSynchronization(int maxRequests = 1 << 30, int waitMs = 0);
// True once the toolkit has been asked to quit (the waits of the user-interface thread give
// up then).
bool GIFQuitting();

// An auto-reset event, initially not set.
class TGIFEvent {
public:
    void Set();
    // Waits up to ms milliseconds; true when the event was set (which resets it).
    bool WaitFor(int ms);

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool set_ = false;
};

// The painter's clock: tick counts, sleeps and waits on its stop event.
class IGIFClock {
public:
    virtual ~IGIFClock() = default;
    virtual std::uint32_t TickCount() = 0;
    virtual void Sleep(int ms) = 0;
    // Waits on event for up to ms; true when the event was set.
    virtual bool Wait(TGIFEvent& event, int ms) = 0;
};

// The real clock unless a test has put another in its place (nullptr: the real one again).
IGIFClock& GIFClock();
void SetGIFClock(IGIFClock* clock);

} // namespace scenaria
