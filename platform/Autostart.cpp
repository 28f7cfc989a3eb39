#include "platform/Autostart.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace scenaria {

std::string AutostartEntryPath(const TEnvLookup& env)
{
    return ConfigHome(env) + "/autostart/Scenarix.desktop";
}

std::string DesktopEntryExec(const std::string& programPath)
{
    // First the argument quoting of the Exec key: inside double quotes, ", `, $ and \ take a
    // backslash; a literal % is written %% so that it is no field code.
    std::string quoted = "\"";
    for (const char c : programPath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    quoted += '"';
    // Then the escapes of every string value, which readers undo first.
    std::string value;
    for (const char c : quoted) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

int WriteAutostartEntry(const std::string& programPath, const TEnvLookup& env)
{
    const std::string entry = AutostartEntryPath(env);
    const std::string folder = entry.substr(0, entry.rfind('/'));
    if (!EnsureFolders(folder, 0755))
        return errno ? errno : ENOTDIR;
    const std::string text = "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Scenaria\n"
                             "Comment=Shortcut to Scenaria\n"
                             "Exec=" +
                             DesktopEntryExec(programPath) + "\n";
    // Written beside the entry and renamed over it, so that a failure never leaves half an
    // entry behind.
    std::string temporary = entry + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return errno;
    std::size_t done = 0;
    int error = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!error && ::fchmod(fd, 0644) != 0)
        error = errno;
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.c_str(), entry.c_str()) != 0)
        error = errno;
    if (error)
        ::unlink(temporary.c_str());
    return error;
}

} // namespace scenaria
