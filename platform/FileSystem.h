#pragma once
// The few questions about files that core/ puts to the system: reading a folder for the
// catalogue and replacing the settings file safely. Plain functions without Qt, one
// implementation per system (posix/, win32/), so that core/ builds everywhere without system
// headers. Every path is UTF-8.

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scenaria {

// What separates a path's names: '/', and on Windows '\\' as well.
#ifdef _WIN32
inline constexpr const char* PathSeparators = "\\/";
#else
inline constexpr const char* PathSeparators = "/";
#endif

// The name after a path's last separator (the whole path when it has none).
inline std::string FileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of(PathSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The folder before a path's last separator: "." when it has none, "/" for a name in the root.
inline std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of(PathSeparators);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// What a folder listing says of an entry without asking the system again.
enum TFolderEntryKind : int {
    fekOther,  // a file, or anything else that is not a folder
    fekFolder, // a folder (never a link to one)
    fekAsk     // a link, or a file system that does not say: IsFolder tells
};

struct TFolderEntry {
    std::string Name;
    TFolderEntryKind Kind;
};

// Which folder a listing read, whatever path led there: the same for a folder and every link
// to it, so that a search can tell when links lead it back.
struct TFolderId {
    std::uint64_t Device = 0;
    std::uint64_t Node = 0;
    auto operator<=>(const TFolderId&) const = default;
};

struct TFolderListing {
    TFolderId Id;
    std::vector<TFolderEntry> Entries; // in the order the system gives, without "." and ".."
};

// The entries of a folder; nothing when it cannot be read.
std::optional<TFolderListing> ReadFolder(const std::string& folder);

// Whether path (links followed) is a folder.
bool IsFolder(const std::string& path);

// Whether path (links followed) is a folder that may be entered.
bool IsSearchableFolder(const std::string& path);

// The path with every link resolved, absolute; "" when it does not exist or cannot be resolved.
std::string ResolvedPath(const std::string& path);

// Removes path when it is a regular file itself (a link, a folder or a device stays).
// True when it went.
bool RemoveRegularFile(const std::string& path);

// Replaces the file's contents in one step: bytes go to a new file beside it named
// "<file>.XXXXXX" (six ASCII letters or digits), are flushed to the disk and the new file
// is renamed over the old one, so that a crash or a full disk never leaves half a file. The
// new file keeps the old one's permissions, and a file that was not there gets those of any
// new file of the user (0666 less the umask); a file behind a link is replaced at the link's
// target, so that the link stays. A file that exists but is not a regular file or may not be
// written is left alone. False on any failure; the old file is then as it was and the new
// one is gone (unless the process was killed, which leaves it for the next start to remove).
bool WriteFileAtomically(const std::string& file, std::string_view bytes);

// std::filesystem::path from UTF-8 and back, the same on every system (a plain std::string
// would go through the system's code page where that is not UTF-8).
inline std::filesystem::path Utf8Path(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8String(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace scenaria
