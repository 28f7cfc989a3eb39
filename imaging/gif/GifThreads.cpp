#include "imaging/gif/GifThreads.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <memory>

namespace scenaria {

namespace {

struct TRequest {
    std::function<void()> Method;
    std::exception_ptr Error;
    bool Done = false;
};

struct TQueue {
    std::mutex Mutex;
    std::condition_variable Arrived;  // the user-interface thread waits for requests
    std::condition_variable Finished; // workers wait for their requests
    std::deque<std::shared_ptr<TRequest>> Waiting;
};

TQueue& Queue()
{
    static TQueue queue;
    return queue;
}

std::atomic<IGIFEventLoop*> eventLoop{nullptr};
// Static initialisation runs on the thread that starts the program.
std::atomic<std::thread::id> mainThread{std::this_thread::get_id()};

class TSystemClock : public IGIFClock {
public:
    std::uint32_t TickCount() override
    {
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    void Sleep(int ms) override
    {
        if (ms <= 0)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    bool Wait(TGIFEvent& event, int ms) override { return event.WaitFor(ms); }
};

TSystemClock systemClock;
std::atomic<IGIFClock*> activeClock{&systemClock};

} // namespace

void SetGIFEventLoop(IGIFEventLoop* loop)
{
    eventLoop = loop;
    mainThread = std::this_thread::get_id();
}

IGIFEventLoop* GIFEventLoop()
{
    return eventLoop;
}

bool IsGIFMainThread()
{
    return std::this_thread::get_id() == mainThread.load();
}

bool GIFQuitting()
{
    IGIFEventLoop* loop = eventLoop;
    return loop && loop->Quitting();
}

void GIFSynchronize(const std::function<void()>& method)
{
    if (IsGIFMainThread()) {
        method();
        return;
    }
    auto request = std::make_shared<TRequest>();
    request->Method = method;
    TQueue& queue = Queue();
    {
        std::lock_guard guard(queue.Mutex);
        queue.Waiting.push_back(request);
    }
    queue.Arrived.notify_all();
    if (IGIFEventLoop* loop = eventLoop)
        loop->Wake();
    std::unique_lock guard(queue.Mutex);
    queue.Finished.wait(guard, [&] { return request->Done; });
    if (request->Error)
        std::rethrow_exception(request->Error);
}

int ServeGIFSynchronization(int maxRequests, int waitMs)
{
    TQueue& queue = Queue();
    int served = 0;
    while (served < maxRequests) {
        std::shared_ptr<TRequest> request;
        {
            std::unique_lock guard(queue.Mutex);
            if (queue.Waiting.empty() && served == 0 && waitMs > 0)
                queue.Arrived.wait_for(guard, std::chrono::milliseconds(waitMs),
                                       [&] { return !queue.Waiting.empty(); });
            if (queue.Waiting.empty())
                break;
            request = queue.Waiting.front();
            queue.Waiting.pop_front();
        }
        try {
            request->Method();
        } catch (...) {
            request->Error = std::current_exception();
        }
        {
            std::lock_guard guard(queue.Mutex);
            request->Done = true;
        }
        queue.Finished.notify_all();
        ++served;
    }
    return served;
}

void TGIFEvent::Set()
{
    {
        std::lock_guard guard(mutex_);
        set_ = true;
    }
    changed_.notify_all();
}

bool TGIFEvent::WaitFor(int ms)
{
    std::unique_lock guard(mutex_);
    const bool set =
        changed_.wait_for(guard, std::chrono::milliseconds(std::max(ms, 0)), [&] { return set_; });
    set_ = false;
    return set;
}

IGIFClock& GIFClock()
{
    return *activeClock.load();
}

void SetGIFClock(IGIFClock* replacement)
{
    activeClock = replacement ? replacement : &systemClock;
}

} // namespace scenaria
