// The file questions of core/ on Windows: paths arrive as UTF-8 and go to the wide
// ("W") functions, so that any name the file system holds can be reached.

#include "platform/FileSystem.h"

#include <windows.h>

#include <algorithm>
#include <memory>

namespace scenaria {
namespace {

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                           static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0)
        return {}; // not UTF-8: no file has that name
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        wide.data(), length);
    return wide;
}

std::string Utf8(const wchar_t* wide, std::size_t size)
{
    if (size == 0)
        return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(size), utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

struct THandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using THandle = std::unique_ptr<void, THandleCloser>;

// The file or folder itself, links (reparse points) followed, opened only to ask about it.
THandle OpenToAsk(const std::wstring& path)
{
    if (path.empty())
        return nullptr;
    HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    return THandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

bool Information(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info)
{
    const THandle handle = OpenToAsk(path);
    return handle && GetFileInformationByHandle(handle.get(), &info);
}

std::wstring ResolvedWide(const std::wstring& path)
{
    const THandle handle = OpenToAsk(path);
    if (!handle)
        return {};
    const DWORD needed = GetFinalPathNameByHandleW(handle.get(), nullptr, 0, FILE_NAME_NORMALIZED);
    if (needed == 0)
        return {};
    std::wstring resolved(needed, L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(handle.get(), resolved.data(), needed, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= needed)
        return {};
    resolved.resize(length);
    // The answer comes as "\\?\C:\..." or "\\?\UNC\server\...": give the usual spelling.
    if (resolved.starts_with(L"\\\\?\\UNC\\"))
        resolved = L"\\\\" + resolved.substr(8);
    else if (resolved.starts_with(L"\\\\?\\"))
        resolved = resolved.substr(4);
    return resolved;
}

// A name for the new file beside the old one, as mkstemp would choose it: six letters or
// digits that nobody can guess in advance.
std::wstring TemporaryName(const std::wstring& target, unsigned attempt)
{
    static const wchar_t Letters[] =
        L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    std::uint64_t state = static_cast<std::uint64_t>(counter.QuadPart) ^
                          (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32) ^
                          (static_cast<std::uint64_t>(attempt) * 0x9E3779B97F4A7C15ull);
    std::wstring name = target + L".";
    for (int i = 0; i < 6; ++i) {
        // splitmix64: every bit of the counter reaches every letter.
        state += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        name += Letters[z % 62];
    }
    return name;
}

} // namespace

std::optional<TFolderListing> ReadFolder(const std::string& folder)
{
    const std::wstring path = Wide(folder);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!Information(path, info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    TFolderListing listing;
    listing.Id = {info.dwVolumeSerialNumber,
                  (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};

    std::wstring pattern = path;
    if (pattern.back() != L'\\' && pattern.back() != L'/')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    // The basic information leaves out the short 8.3 names, which are never needed here.
    HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional(listing) : std::nullopt;
    do {
        const wchar_t* name = found.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0)))
            continue;
        const DWORD attributes = found.dwFileAttributes;
        // A reparse point that is a folder (a junction, a link to a folder) is followed only
        // after asking where it leads, as a symbolic link is elsewhere; other reparse points
        // (files kept in the cloud, deduplicated files) are files.
        const TFolderEntryKind kind = !(attributes & FILE_ATTRIBUTE_DIRECTORY)      ? fekOther
                                      : (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? fekAsk
                                                                                    : fekFolder;
        listing.Entries.push_back({Utf8(name, wcslen(name)), kind});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return listing;
}

bool IsFolder(const std::string& path)
{
    BY_HANDLE_FILE_INFORMATION info{};
    return Information(Wide(path), info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsSearchableFolder(const std::string& path)
{
    // Windows has no separate right to enter a folder: one that can be opened can be searched.
    return IsFolder(path);
}

std::string ResolvedPath(const std::string& path)
{
    const std::wstring resolved = ResolvedWide(Wide(path));
    return Utf8(resolved.data(), resolved.size());
}

bool RemoveRegularFile(const std::string& path)
{
    const std::wstring wide = Wide(path);
    if (wide.empty())
        return false;
    // The entry itself, not what a link leads to: links, folders and devices stay.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes &
         (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        return false;
    return DeleteFileW(wide.c_str()) != 0;
}

bool WriteFileAtomically(const std::string& file, std::string_view bytes)
{
    const std::wstring wide = Wide(file);
    if (wide.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    std::wstring target = wide;
    DWORD keep = FILE_ATTRIBUTE_NORMAL;
    if (exists) {
        // A read-only file must stay unwritten, although the replacement below could go
        // ahead without asking; a folder or a device is no file to replace.
        BY_HANDLE_FILE_INFORMATION info{};
        if (!Information(wide, info) ||
            (info.dwFileAttributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY)))
            return false;
        // What a file has of permissions here, beyond its folder's, are these attributes.
        const DWORD carried = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                              FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
        if (info.dwFileAttributes & carried)
            keep = info.dwFileAttributes & carried;
        // Nor may a file be replaced that its permissions keep from being written.
        HANDLE probe = CreateFileW(wide.c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (probe == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(probe);
        // A file behind a link is replaced where it really is, so that the link stays.
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            target = ResolvedWide(wide);
            if (target.empty())
                return false;
        }
    }

    std::wstring temp;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; handle == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temp = TemporaryName(target, attempt);
        handle = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, keep, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
            GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        ok = WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) && written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(handle);
    ok = CloseHandle(handle) && ok;
    // A rename over the old file, which stays as it was when the rename fails. (ReplaceFileW
    // would carry more over, but some of its failures leave the old file gone and the new one
    // under its temporary name.)
    ok = ok && MoveFileExW(temp.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

} // namespace scenaria
