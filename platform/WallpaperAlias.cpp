#include "platform/WallpaperAlias.h"

#include "platform/Folders.h"
#include "platform/Uri.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace scenaria {
namespace {

std::string NameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file's extension when it is plain letters and digits (the alias must be a name that no
// desktop can misread), else none.
std::string PlainExtension(const std::string& name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        return {};
    const std::string extension = name.substr(dot);
    const bool plain = std::all_of(extension.begin() + 1, extension.end(),
                                   [](unsigned char c) { return c < 0x80 && std::isalnum(c); });
    return plain ? extension : std::string();
}

// Copies into a new file that must not exist yet; false with errno set when it cannot.
bool CopyExclusively(const std::string& from, const std::string& to)
{
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        errno = error;
        return false;
    }
    char buffer[65536];
    bool ok = true;
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t written = ::write(out, buffer + done, static_cast<std::size_t>(n - done));
            if (written < 0 && errno == EINTR)
                continue;
            ok = written > 0;
            done += std::max<ssize_t>(written, 0);
        }
    }
    const int error = errno;
    ::close(in);
    if (::close(out) != 0)
        ok = false;
    if (!ok) {
        ::unlink(to.c_str());
        errno = error ? error : EIO;
    }
    return ok;
}

std::string PercentDecode(const std::string& text)
{
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() &&
            std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

std::string AliasStem()
{
    std::string stem = TemporaryBitmapName;
    return stem.erase(stem.rfind('.'));
}

} // namespace

bool IsWallpaperAliasName(const std::string& fileName)
{
    const std::string prefix = AliasStem() + ".";
    if (fileName.rfind(prefix, 0) != 0)
        return false;
    std::size_t i = prefix.size();
    const std::size_t digits = i;
    while (i < fileName.size() && std::isdigit(static_cast<unsigned char>(fileName[i])))
        ++i;
    if (i == digits)
        return false;
    if (i == fileName.size())
        return true;
    if (fileName[i] != '.' || i + 1 == fileName.size())
        return false;
    return std::all_of(fileName.begin() + static_cast<std::ptrdiff_t>(i) + 1, fileName.end(),
                       [](unsigned char c) { return c < 0x80 && std::isalnum(c); });
}

void TWallpaperAliases::Load()
{
    if (stateFile_.empty())
        return;
    std::ifstream in(stateFile_);
    if (!in)
        return;
    std::string shown;
    std::vector<std::string> aliases;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 3 || line[1] != ' ')
            continue;
        const std::string path = PercentDecode(line.substr(2));
        if (path.empty() || path[0] != '/')
            continue;
        if (line[0] == 'S')
            shown = path;
        else if (line[0] == 'A' && IsWallpaperAliasName(NameOf(path)))
            aliases.push_back(path);
    }
    // Another run's record is the newer knowledge of what the desktop shows.
    shown_ = shown;
    for (const auto& alias : aliases)
        if (std::find(aliases_.begin(), aliases_.end(), alias) == aliases_.end())
            aliases_.push_back(alias);
}

void TWallpaperAliases::Save() const
{
    if (stateFile_.empty())
        return;
    const auto slash = stateFile_.rfind('/');
    if (slash == std::string::npos || !EnsureFolders(stateFile_.substr(0, slash), 0700))
        return;
    std::string text;
    if (!shown_.empty())
        text += "S " + PercentEncodePath(shown_) + "\n";
    for (const auto& alias : aliases_)
        text += "A " + PercentEncodePath(alias) + "\n";
    // Replaced whole, so that a reader never sees half a record.
    const std::string temporary = stateFile_ + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush())
            return;
    }
    ::rename(temporary.c_str(), stateFile_.c_str());
}

std::string MakeWallpaperAlias(const std::string& file, std::string& error)
{
    const auto slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash);
    const std::string extension = PlainExtension(NameOf(file));
    const std::string stem = AliasStem();
    bool linksWork = true;
    for (int counter = 1; counter < 10000; ++counter) {
        const std::string alias =
            (folder == "/" ? "" : folder) + "/" + stem + "." + std::to_string(counter) + extension;
        if (linksWork) {
            if (::link(file.c_str(), alias.c_str()) == 0)
                return alias;
            if (errno == EEXIST)
                continue;
            // File systems without hard links (FAT, some network shares) get a copy.
            if (errno != EPERM && errno != EXDEV && errno != EMLINK && errno != ENOTSUP &&
                errno != EOPNOTSUPP && errno != ENOSYS) {
                error = "cannot make an alias of " + file + ": " + std::strerror(errno);
                return {};
            }
            linksWork = false;
        }
        if (CopyExclusively(file, alias))
            return alias;
        if (errno != EEXIST) {
            error = "cannot make an alias of " + file + ": " + std::strerror(errno);
            return {};
        }
    }
    error = "no free alias name beside " + file;
    return {};
}

TPlatformStatus TWallpaperAliases::Show(const std::string& file, bool nameAccepted,
                                        const TApply& apply)
{
    Load();
    const std::string absolute = AbsolutePath(file);
    const bool sameName =
        absolute == shown_ || (shown_.empty() && NameOf(absolute) == TemporaryBitmapName);
    std::string name = absolute;
    std::string alias;
    if (sameName || !nameAccepted) {
        std::string error;
        alias = MakeWallpaperAlias(absolute, error);
        if (alias.empty())
            return TPlatformStatus::Failure(error);
        aliases_.push_back(alias);
        // Recorded before the desktop sees it: if this run ends now, the next one removes it.
        Save();
        name = alias;
    }
    const TPlatformStatus status = apply(name);
    if (!status.Ok) {
        // The desktop may have taken part of it (one monitor of several): the alias stays
        // until a later change succeeds. What it shows now is not known.
        shown_.clear();
        Save();
        return status;
    }
    shown_ = name;
    std::vector<std::string> kept;
    for (const auto& old : aliases_) {
        if (old == name)
            kept.push_back(old);
        else
            ::unlink(old.c_str());
    }
    aliases_ = std::move(kept);
    Save();
    return status;
}

} // namespace scenaria
