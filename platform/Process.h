#pragma once
// Runs the desktop's own command-line tools. A tool that is missing, hangs or fails becomes an
// error text for the caller; nothing here throws or waits without limit.

#include <string>
#include <vector>

namespace scenaria {

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
// process's environment; waits at most timeoutMs. A tool that leaves a daemon behind holding
// its output open does not keep the caller waiting: its own exit ends the wait.
TProcessResult RunProcess(const std::vector<std::string>& argv, int timeoutMs = 30000);

// Starts argv[0] without waiting for it (a browser may run for hours); the child is reaped in
// the background. False with a reason when it cannot be started.
bool StartDetached(const std::vector<std::string>& argv, std::string& error);

} // namespace scenaria
