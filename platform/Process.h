#pragma once
// Runs the desktop's own command-line tools. A tool that is missing, hangs or fails becomes an
// error text for the caller; nothing here throws or waits without limit.

#include <chrono>
#include <string>
#include <vector>

namespace scenaria {

// The tray program does its desktop calls on the thread that answers the user, so a call may
// keep it from answering a click for no more than 5 s. Of those, the desktop's own tools get
// 3.5 s in all for one wallpaper; asking the screen's size takes up to 1 s more (sway), and the
// rest is left for composing the bitmap and writing the settings file. A desktop that has not
// taken a picture in 3.5 s has hung: on a healthy one each tool answers in well under a second.
constexpr int DesktopCallBudgetMs = 3500;

// The time left of a budget that started when the object was made; never less than 1 ms, so
// that a call made after the budget is spent is ended at once rather than waited for.
class TDeadline {
public:
    explicit TDeadline(int budgetMs)
        : end_(std::chrono::steady_clock::now() + std::chrono::milliseconds(budgetMs))
    {
    }
    int LeftMs() const
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end_ - std::chrono::steady_clock::now())
                              .count();
        return left < 1 ? 1 : static_cast<int>(left);
    }

private:
    std::chrono::steady_clock::time_point end_;
};

struct TProcessResult {
    bool Started = false;  // false: not found on PATH or could not be started (see Error)
    bool TimedOut = false; // killed after the time limit
    int ExitCode = -1;     // exit status, or -1 when it did not exit normally
    std::string Out;       // what it wrote to stdout
    std::string Err;       // what it wrote to stderr
    std::string Error;     // why it could not be started

    bool Succeeded() const { return Started && !TimedOut && ExitCode == 0; }
    // One line saying what went wrong, for an error status ("" when it succeeded).
    std::string Failure(const std::string& what) const;
};

// The full path of an executable found on PATH (a name with a slash is taken as it is);
// "" when there is none.
std::string FindProgram(const std::string& name);

// Runs argv[0] (looked up on PATH) with the rest as arguments, stdin from /dev/null, in the
// process's environment; waits at most timeoutMs, then kills it (SIGKILL: pcmanfm, for one,
// outlives SIGTERM). A tool that leaves a daemon behind holding its output open does not keep
// the caller waiting: its own exit ends the wait. Every caller states its bound.
TProcessResult RunProcess(const std::vector<std::string>& argv, int timeoutMs);

// Starts argv[0] without waiting for it (a browser may run for hours); the child is reaped in
// the background. False with a reason when it cannot be started.
bool StartDetached(const std::vector<std::string>& argv, std::string& error);

} // namespace scenaria
