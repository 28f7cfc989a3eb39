#include "platform/Trash.h"
#include "platform/FileSystem.h"

#include "platform/Uri.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace scenaria {
namespace {

std::string Join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string Canonical(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

bool IsRealFolder(const std::string& path, struct stat* info = nullptr)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if (info)
        *info = st;
    return true;
}

// Creates the folder (mode 0700) unless it is there; true when a real folder, not a link,
// stands there afterwards.
bool EnsureFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    return IsRealFolder(path);
}

// The nearest folder of the path that exists, to learn its file system before creating it.
std::string ExistingAncestor(std::string path)
{
    struct stat st {};
    while (!path.empty() && path != "/" && ::stat(path.c_str(), &st) != 0)
        path = FolderOf(path);
    return path.empty() ? "/" : path;
}

// The mount point of the file system that holds the folder: the highest folder above it on
// the same device.
std::string TopFolderOf(const std::string& canonicalFolder, dev_t device)
{
    std::string top = canonicalFolder;
    while (top != "/") {
        const std::string parent = FolderOf(top);
        struct stat st {};
        if (::stat(parent.c_str(), &st) != 0 || st.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

std::string LocalTimeStamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string ErrnoText(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

struct TTrashPlace {
    std::string Folder;     // the trash folder, holding files/ and info/
    std::string PathPrefix; // "" in the home trash (absolute Path); the top folder elsewhere
};

// The top folder's trash: $topdir/.Trash/$uid when .Trash is a real sticky folder, else
// $topdir/.Trash-$uid, each created when missing and used only when it is a real folder that
// belongs to the user.
bool TopFolderTrash(const std::string& top, TTrashPlace& place)
{
    const std::string uid = std::to_string(::getuid());
    struct stat shared {};
    const std::string sharedTrash = Join(top, ".Trash");
    if (IsRealFolder(sharedTrash, &shared) && (shared.st_mode & S_ISVTX)) {
        const std::string mine = Join(sharedTrash, uid);
        struct stat st {};
        if (EnsureFolder(mine) && IsRealFolder(mine, &st) && st.st_uid == ::getuid()) {
            place = {mine, top};
            return true;
        }
    }
    const std::string own = Join(top, ".Trash-" + uid);
    struct stat st {};
    if (EnsureFolder(own) && IsRealFolder(own, &st) && st.st_uid == ::getuid()) {
        place = {own, top};
        return true;
    }
    return false;
}

} // namespace

std::string TrashCandidateName(const std::string& name, int attempt)
{
    if (attempt <= 1)
        return name;
    const auto dot = name.rfind('.');
    const std::string counter = "." + std::to_string(attempt);
    if (dot == std::string::npos || dot == 0)
        return name + counter;
    return name.substr(0, dot) + counter + name.substr(dot);
}

TTrashResult MoveToTrash(const std::string& file, const TEnvLookup& env)
{
    TTrashResult result;
    struct stat fileInfo {};
    if (file.empty() || ::lstat(file.c_str(), &fileInfo) != 0) {
        result.Error = ErrnoText(file);
        return result;
    }
    const std::string name = FileNameOf(file);
    if (name.empty() || name == "." || name == "..") {
        result.Error = file + ": not a file name";
        return result;
    }
    // The folder is resolved, the name is not: a link is trashed, never its target.
    const std::string folder = Canonical(FolderOf(AbsolutePath(file)));
    if (folder.empty()) {
        result.Error = ErrnoText(FolderOf(file));
        return result;
    }
    const std::string absolute = Join(folder, name);

    TTrashPlace place;
    const std::string homeTrash = DataHome(env) + "/Trash";
    struct stat homeInfo {};
    const bool homeKnown = ::stat(ExistingAncestor(homeTrash).c_str(), &homeInfo) == 0;
    if (homeKnown && homeInfo.st_dev == fileInfo.st_dev) {
        if (!EnsureFolders(homeTrash, 0700)) {
            result.Error = ErrnoText("cannot create the trash " + homeTrash);
            return result;
        }
        place = {homeTrash, ""};
    } else {
        const std::string top = TopFolderOf(folder, fileInfo.st_dev);
        if (!TopFolderTrash(top, place)) {
            result.Error =
                "no trash can be used on the file system of " + absolute + " (" + top + ")";
            return result;
        }
    }
    const std::string filesFolder = place.Folder + "/files";
    const std::string infoFolder = place.Folder + "/info";
    if (!EnsureFolders(filesFolder, 0700) || !EnsureFolders(infoFolder, 0700)) {
        result.Error = ErrnoText("cannot create the trash folders in " + place.Folder);
        return result;
    }

    std::string relative = absolute;
    if (!place.PathPrefix.empty()) {
        relative = place.PathPrefix == "/" ? absolute.substr(1)
                                           : absolute.substr(place.PathPrefix.size() + 1);
    }
    const std::string info = "[Trash Info]\nPath=" + PercentEncodePath(relative) +
                             "\nDeletionDate=" + LocalTimeStamp() + "\n";

    for (int attempt = 1; attempt < 10000; ++attempt) {
        const std::string candidate = TrashCandidateName(name, attempt);
        const std::string infoFile = infoFolder + "/" + candidate + ".trashinfo";
        // The info file is the claim on the name: whoever creates it first owns it.
        const int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            result.Error = ErrnoText("cannot write " + infoFile);
            return result;
        }
        const std::string target = filesFolder + "/" + candidate;
        struct stat existing {};
        if (::lstat(target.c_str(), &existing) == 0) {
            // A file without its info (left by another program): leave both alone.
            ::close(fd);
            ::unlink(infoFile.c_str());
            continue;
        }
        const bool written = WriteAll(fd, info) && ::fsync(fd) == 0;
        const int savedErrno = errno;
        if (::close(fd) != 0 || !written) {
            errno = written ? errno : savedErrno;
            result.Error = ErrnoText("cannot write " + infoFile);
            ::unlink(infoFile.c_str());
            return result;
        }
        // Never over a file that appeared there meanwhile (where the file system cannot promise
        // that, the check above has to do).
        int moved =
            ::renameat2(AT_FDCWD, absolute.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL)
            moved = ::rename(absolute.c_str(), target.c_str());
        if (moved != 0) {
            const int error = errno;
            ::unlink(infoFile.c_str());
            if (error == EEXIST)
                continue;
            errno = error;
            result.Error = ErrnoText("cannot move " + absolute + " to the trash");
            return result;
        }
        result.Ok = true;
        result.TrashedFile = target;
        result.InfoFile = infoFile;
        return result;
    }
    result.Error = "no free name in the trash for " + name;
    return result;
}

} // namespace scenaria
