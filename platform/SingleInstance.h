#pragma once
// Lets one copy of the program run per user and program file name. The guard is an advisory
// lock on a file in the user's runtime folder; the kernel drops it when the process ends, so
// a crashed copy never blocks the next start.

#include <string>

namespace scenaria {

class TSingleInstance {
public:
    // Takes the lock for the program file's name (with its extension).
    explicit TSingleInstance(const std::string& programFileName);
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // True when another copy holds the lock.
    bool Previous() const { return previous_; }
    const std::string& LockFile() const { return lockFile_; }

private:
    std::string lockFile_;
    int fd_ = -1;
    bool previous_ = false;
};

} // namespace scenaria
