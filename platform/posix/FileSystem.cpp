// The file questions of core/ on a POSIX system.

#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace scenaria {

namespace {

// target + "." + six ASCII letters or digits that nobody can guess in advance, as mkstemp
// would choose them.
std::string TemporaryName(const std::string& target)
{
    static const char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::string name = target + ".";
    for (int i = 0; i < 6; ++i)
        name += Letters[random() % 62];
    return name;
}

} // namespace

std::optional<TFolderListing> ReadFolder(const std::string& folder)
{
    // One read of the folder gives every name with its type: plain files, the bulk of any
    // picture folder, and real folders need no further question; only links and file
    // systems that do not say are left to a stat, and only by a caller that needs to know.
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return std::nullopt;
    // The open folder itself says who it is, without looking the path up again.
    struct stat st {};
    if (::fstat(::dirfd(dir.get()), &st) != 0)
        return std::nullopt;
    TFolderListing listing;
    listing.Id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    while (const dirent* entry = ::readdir(dir.get())) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        const TFolderEntryKind kind = entry->d_type == DT_DIR ? fekFolder
                                      : entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN
                                          ? fekAsk
                                          : fekOther;
        listing.Entries.push_back({name, kind});
    }
    return listing;
}

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSearchableFolder(const std::string& path)
{
    return IsFolder(path) && ::access(path.c_str(), X_OK) == 0;
}

std::string ResolvedPath(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string resolved = real;
    std::free(real);
    return resolved;
}

bool RemoveRegularFile(const std::string& path)
{
    // lstat: a link of that name may point at anything, and a folder is no file to remove.
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path.c_str()) == 0;
}

bool WriteFileAtomically(const std::string& file, std::string_view bytes)
{
    // A read-only file must stay unwritten, although the rename below would replace it
    // without asking.
    struct stat old {};
    const bool exists = ::stat(file.c_str(), &old) == 0;
    if (exists && (!S_ISREG(old.st_mode) || ::access(file.c_str(), W_OK) != 0))
        return false;

    std::string target = file;
    if (exists) {
        const std::string resolved = ResolvedPath(file);
        if (!resolved.empty())
            target = resolved;
    }
    // Not mkstemp: its file is private to its owner, and a new settings file is to get the
    // mode any new file of the user gets, which open() works out from the umask itself.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = TemporaryName(target);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    // A replaced file keeps what it had.
    bool ok = !exists || ::fchmod(fd, old.st_mode & 07777) == 0;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace scenaria
