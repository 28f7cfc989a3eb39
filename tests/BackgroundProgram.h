#pragma once
// A program left running beside a Linux test (the tray, the remote control, start-up).

#include "RunProgram.h"

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <optional>
#include <thread>

namespace scenaria::testing {

// The null-terminated pointer array that exec and spawn take.
std::vector<char*> Pointers(const std::vector<std::string>& strings);

// A program left running while the test goes on; killed when the object goes.
class TBackgroundProgram {
public:
    TBackgroundProgram(const std::vector<std::string>& argv,
                       const std::vector<std::string>& extraEnv = {})
    {
        const std::vector<std::string> env = Environment(extraEnv);
        std::vector<char*> args = Pointers(argv), envp = Pointers(env);
        if (::posix_spawnp(&pid_, args[0], nullptr, nullptr, args.data(), envp.data()) != 0)
            throw std::runtime_error("cannot start " + argv[0]);
    }
    ~TBackgroundProgram()
    {
        if (!exitCode_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    TBackgroundProgram(const TBackgroundProgram&) = delete;
    TBackgroundProgram& operator=(const TBackgroundProgram&) = delete;

    pid_t Pid() const { return pid_; }

    // The exit code once the program has ended within the time given (-1: killed by a
    // signal); nothing while it still runs.
    std::optional<int> WaitFor(std::chrono::milliseconds timeout)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (!exitCode_) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_)
                exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            else if (std::chrono::steady_clock::now() >= end)
                break;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return exitCode_;
    }

    void Signal(int signal) { ::kill(pid_, signal); }

private:
    pid_t pid_ = 0;
    std::optional<int> exitCode_;
};

} // namespace scenaria::testing
