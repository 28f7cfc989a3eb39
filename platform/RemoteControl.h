#pragma once
// How other processes reach the running copy: a second start, scenarix-tool, the desktop
// entry's actions. On a desktop without a notification area this is the only way to the
// copy's menu commands. Both ends take the names from here, so they always agree.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace scenaria {

enum TRemoteOutcome : int {
    roDone,       // the copy did what was asked
    roBusy,       // a dialog is open: the copy did nothing, as its menu would
    roFailed,     // the copy tried and could not (no picture to show, the trash refused)
    roUnreachable // no copy of that name answered
};

struct TRemoteAnswer {
    TRemoteOutcome Outcome = roUnreachable;
    // roDone: one fact a line; otherwise one line saying why.
    std::vector<std::string> Lines;
};

// The commands the running copy answers, in the order a help text lists them.
const std::vector<std::string>& RemoteCommandNames();

// The copy running under a program file name answers under a bus name of its own, so that two
// copies under different names (which both run) never answer for each other.
std::string RemoteServiceName(const std::string& programFileName);
inline constexpr const char* RemoteObjectPath = "/org/scenaria/Scenaria";
inline constexpr const char* RemoteInterfaceName = "org.scenaria.Scenaria";

// Sends one command to the copy running under programFileName and waits at most timeoutMs
// for its answer.
TRemoteAnswer CallRunningCopy(const std::string& programFileName, const std::string& command,
                              int timeoutMs);

// Answers the commands for this copy for as long as it lives. The handler runs on the thread
// that made the server (the interface thread), between other events, also while a dialog is
// open; a command that opens a window must answer first and open it afterwards.
class TRemoteServer {
public:
    using THandler = std::function<TRemoteAnswer(const std::string& command)>;
    TRemoteServer(const std::string& programFileName, THandler handler);
    ~TRemoteServer();
    TRemoteServer(const TRemoteServer&) = delete;
    TRemoteServer& operator=(const TRemoteServer&) = delete;

    // False when nobody can reach this copy (no session bus, the name taken); Error says why.
    bool Listening() const;
    const std::string& Error() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

} // namespace scenaria
