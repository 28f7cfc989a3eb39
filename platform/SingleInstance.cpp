#include "platform/SingleInstance.h"

#include "platform/Folders.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace scenaria {

TSingleInstance::TSingleInstance(const std::string& programFileName)
{
    const std::string runtime = ProcessEnv("XDG_RUNTIME_DIR");
    if (!runtime.empty() && runtime[0] == '/') {
        lockFile_ = runtime + "/" + programFileName + ".lock";
    } else {
        // The shared temporary folder is seen by every user: keep each user's lock apart.
        std::string temp = ProcessEnv("TMPDIR");
        if (temp.empty() || temp[0] != '/')
            temp = "/tmp";
        lockFile_ = temp + "/" + programFileName + "." + std::to_string(::getuid()) + ".lock";
    }
    fd_ = ::open(lockFile_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0)
        return; // as with a mutex that cannot be made: run, unguarded
    int rc;
    do
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        previous_ = errno == EWOULDBLOCK;
        ::close(fd_);
        fd_ = -1;
    }
}

TSingleInstance::~TSingleInstance()
{
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace scenaria
