#pragma once
// What the platform tests share: an environment of their own (no session's DISPLAY, D-Bus,
// HOME or desktop leaks in), recording stand-ins for desktop tools, and child processes that
// are always ended.

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace scenaria::testing {

// Sets variables for the test's lifetime and puts the old values back afterwards.
class TScopedEnv {
public:
    TScopedEnv() = default;
    ~TScopedEnv()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

    void Set(const std::string& name, const std::string& value)
    {
        Save(name);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    void Unset(const std::string& name)
    {
        Save(name);
        ::unsetenv(name.c_str());
    }

private:
    void Save(const std::string& name)
    {
        if (saved_.count(name))
            return;
        const char* value = std::getenv(name.c_str());
        saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
    }
    std::map<std::string, std::optional<std::string>> saved_;
};

// A home of the test's own, and none of the session's desktop facts.
class TIsolatedTest : public ::testing::Test {
protected:
    TIsolatedTest()
    {
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION",
              "DBUS_SESSION_BUS_ADDRESS", "SCENARIA_SCREEN", "GSETTINGS_BACKEND", "XDG_DATA_HOME",
              "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
            env_.Unset(name);
        env_.Set("HOME", home_.Path().string());
        env_.Set("XDG_CONFIG_HOME", (home_.Path() / ".config").string());
        env_.Set("XDG_DATA_HOME", (home_.Path() / ".local/share").string());
        env_.Set("XDG_CACHE_HOME", (home_.Path() / ".cache").string());
    }

    const std::filesystem::path& Home() const { return home_.Path(); }

    TTempDir home_;
    TScopedEnv env_;
};

// One call of a stand-in tool: its name, then its arguments.
using TInvocation = std::vector<std::string>;

// A folder put first on PATH whose tools write each call to a log and may print a prepared
// answer. Only the tools it makes are found: PATH holds it and the system's basic folders.
class TFakeTools {
public:
    explicit TFakeTools(TScopedEnv& env, bool keepSystemPath = true)
    {
        std::filesystem::create_directories(Bin());
        env.Set("PATH", Bin() + (keepSystemPath ? ":/usr/bin:/bin" : ""));
    }

    std::string Bin() const { return dir_ / "bin"; }
    std::string Log() const { return dir_ / "calls.log"; }

    // A tool that logs its call, prints `output` and exits with `exitCode`. A non-empty
    // `onlyWhenArgument` prints the output only for calls that have that argument.
    void Add(const std::string& name, const std::string& output = {}, int exitCode = 0,
             const std::string& errorOutput = {}, const std::string& onlyWhenArgument = {})
    {
        const std::string outFile = dir_ / (name + ".out");
        const std::string errFile = dir_ / (name + ".err");
        std::ofstream(outFile, std::ios::binary) << output;
        std::ofstream(errFile, std::ios::binary) << errorOutput;
        // The call is logged with one write, so that tools running at once (detached ones)
        // never interleave their records.
        std::string script = "#!/bin/sh\n"
                             "us=$(printf '\\037')\n"
                             "record=\"$(basename \"$0\")$us\"\n"
                             "for a in \"$@\"; do record=\"$record$a$us\"; done\n"
                             "printf '%s\\n' \"$record\" >> '" +
                             Log() + "'\n";
        if (onlyWhenArgument.empty()) {
            script += "cat '" + outFile + "'\n";
        } else {
            script += "for a in \"$@\"; do [ \"$a\" = '" + onlyWhenArgument + "' ] && cat '" +
                      outFile + "'; done\n";
        }
        script += "cat '" + errFile + "' >&2\nexit " + std::to_string(exitCode) + "\n";
        const std::string path = Bin() + "/" + name;
        std::ofstream(path, std::ios::binary) << script;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    }

    std::vector<TInvocation> Calls() const
    {
        std::vector<TInvocation> calls;
        std::string text = ReadFile(Log());
        // A call still being written (detached tools) is not counted yet.
        text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            TInvocation call;
            std::size_t start = 0, end;
            while ((end = line.find('\037', start)) != std::string::npos) {
                call.push_back(line.substr(start, end - start));
                start = end + 1;
            }
            calls.push_back(call);
        }
        return calls;
    }
    void ClearCalls() const { std::filesystem::remove(Log()); }

private:
    TTempDir dir_;
};

// A child process with its stdout on a pipe; ended (SIGTERM, then SIGKILL) when it goes.
class TChild {
public:
    explicit TChild(const std::vector<std::string>& argv, bool keepStdout = true)
    {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (keepStdout)
            posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        const int rc = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
        if (rc != 0) {
            pid_ = -1;
            error_ = std::string("cannot start ") + argv[0] + ": " + std::strerror(rc);
        }
    }
    ~TChild() { Stop(); }
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    bool Started() const { return pid_ > 0; }
    const std::string& Error() const { return error_; }

    // The next line of its stdout, waiting at most timeoutMs; nullopt on timeout or end.
    std::optional<std::string> ReadLine(int timeoutMs = 10000)
    {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (true) {
            if (const auto newline = buffer_.find('\n'); newline != std::string::npos) {
                std::string line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0)
                return std::nullopt;
            pollfd fd{out_, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left)) <= 0)
                continue;
            char chunk[512];
            const ssize_t n = ::read(out_, chunk, sizeof chunk);
            if (n <= 0)
                return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    void Stop()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            for (int i = 0; i < 100; ++i) {
                if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                    pid_ = -1;
                    break;
                }
                ::usleep(20000);
            }
            if (pid_ > 0) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                pid_ = -1;
            }
        }
        if (out_ >= 0) {
            ::close(out_);
            out_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
    std::string error_;
};

// Fails the test (naming what is missing) unless the program is installed.
inline bool RequireProgram(const std::string& name, const std::string& package)
{
    const std::string command = "command -v '" + name + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0)
        return true;
    ADD_FAILURE() << name << " is missing: install the Debian package " << package;
    return false;
}

} // namespace scenaria::testing
