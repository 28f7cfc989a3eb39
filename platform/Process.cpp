#include "platform/Process.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace scenaria {
namespace {

bool IsExecutableFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

std::string FirstLine(const std::string& text)
{
    const auto start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos)
        return {};
    const auto end = text.find_first_of("\r\n", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv)
{
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const auto& arg : argv)
        pointers.push_back(const_cast<char*>(arg.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

// Spawns with stdin from /dev/null and stdout/stderr to the given descriptors (-1: /dev/null).
int Spawn(const std::string& path, const std::vector<std::string>& argv, int outFd, int errFd,
          bool newSession, pid_t& pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (errFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    else
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // The child must not inherit whatever signal mask or ignored SIGPIPE its parent runs with.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (newSession)
        flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setflags(&attributes, flags);
    auto pointers = ArgvPointers(argv);
    const int rc =
        ::posix_spawn(&pid, path.c_str(), &actions, &attributes, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return rc;
}

} // namespace

std::string TProcessResult::Failure(const std::string& what) const
{
    if (!Started)
        return what + ": " + Error;
    if (TimedOut)
        return what + ": did not finish in time";
    std::string detail = FirstLine(Err);
    if (detail.empty())
        detail = FirstLine(Out);
    std::string text = what + ": exit status " + std::to_string(ExitCode);
    return detail.empty() ? text : text + ": " + detail;
}

std::string FindProgram(const std::string& name)
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return IsExecutableFile(name) ? name : std::string();
    const char* pathVariable = std::getenv("PATH");
    const std::string path = pathVariable ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string folder = end > start ? path.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + name;
        if (IsExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return {};
}

TProcessResult RunProcess(const std::vector<std::string>& argv, int timeoutMs)
{
    TProcessResult result;
    if (argv.empty()) {
        result.Error = "nothing to run";
        return result;
    }
    const std::string path = FindProgram(argv[0]);
    if (path.empty()) {
        result.Error = argv[0] + " is not installed (not found on PATH)";
        return result;
    }
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        result.Error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return result;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        result.Error = std::string("cannot make a pipe: ") + std::strerror(errno);
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return result;
    }
    pid_t pid = -1;
    const int rc = Spawn(path, argv, outPipe[1], errPipe[1], false, pid);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (rc != 0) {
        result.Error = "cannot start " + path + ": " + std::strerror(rc);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return result;
    }
    result.Started = true;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.Out, &result.Err};
    bool open[2] = {true, true};
    int status = 0;
    bool exited = false;
    char buffer[4096];
    while (true) {
        if (!exited) {
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            exited = done == pid || (done < 0 && errno != EINTR);
        }
        if (exited) {
            // Take what is already there, but do not wait for a grandchild that kept the pipes.
            for (int i = 0; i < 2; ++i) {
                if (!open[i])
                    continue;
                ::fcntl(fds[i].fd, F_SETFL, ::fcntl(fds[i].fd, F_GETFL) | O_NONBLOCK);
                ssize_t n;
                while ((n = ::read(fds[i].fd, buffer, sizeof buffer)) > 0)
                    sinks[i]->append(buffer, static_cast<std::size_t>(n));
            }
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            result.TimedOut = true;
            break;
        }
        for (int i = 0; i < 2; ++i)
            fds[i].fd = open[i] ? (i == 0 ? outPipe[0] : errPipe[0]) : -1;
        const int ready = ::poll(fds, 2, static_cast<int>(std::min<long long>(left, 50)));
        if (ready < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (!open[i] || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0)
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            else if (n == 0 || errno != EINTR)
                open[i] = false;
        }
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    if (!result.TimedOut && exited && WIFEXITED(status))
        result.ExitCode = WEXITSTATUS(status);
    return result;
}

bool StartDetached(const std::vector<std::string>& argv, std::string& error)
{
    if (argv.empty()) {
        error = "nothing to run";
        return false;
    }
    const std::string path = FindProgram(argv[0]);
    if (path.empty()) {
        error = argv[0] + " is not installed (not found on PATH)";
        return false;
    }
    pid_t pid = -1;
    const int rc = Spawn(path, argv, -1, -1, true, pid);
    if (rc != 0) {
        error = "cannot start " + path + ": " + std::strerror(rc);
        return false;
    }
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

} // namespace scenaria
