// Where the program's files and the user's folders are on Windows.

#include "platform/Folders.h"

#include "platform/FileSystem.h"

#include <shlobj.h>
#include <windows.h>

#include <cstdlib>
#include <string>

namespace scenaria {
namespace {

std::string KnownFolder(int csidl)
{
    char path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)) ? std::string(path)
                                                                         : std::string();
}

// The path in the system's ANSI code page, as getenv and the shell's A calls give it.
bool IsAnsiFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool SameTextPrefix(const std::string& text, const std::string& prefix)
{
    return !prefix.empty() && text.size() >= prefix.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.data(),
                          static_cast<int>(prefix.size()), prefix.data(),
                          static_cast<int>(prefix.size())) == CSTR_EQUAL &&
           (text.size() == prefix.size() || text[prefix.size()] == '\\' ||
            text[prefix.size()] == '/');
}

// Where installers put programs. Settings have no place there: writing needs an administrator,
// and for an older program Windows quietly redirects the write to a per-user copy that nobody
// finds again.
bool IsProgramFilesFolder(const std::string& folder)
{
    for (const int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86})
        if (SameTextPrefix(folder, KnownFolder(csidl)))
            return true;
    return false;
}

// Asked by trying: a folder's attributes do not say whether its access list lets us write.
bool MayCreateFilesIn(const std::string& folder)
{
    const std::string probe = folder + "\\~scx" + std::to_string(GetCurrentProcessId()) + ".tmp";
    const HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

} // namespace

std::string ProcessEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string CurrentProgramPath()
{
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length)
                                           : std::string("scenarix.exe");
}

std::string SettingsFileFor(const std::string& programPath, const TEnvLookup&)
{
    // The program's name with its extension replaced by ".INI".
    std::string name = FileNameOf(programPath);
    const std::string folderPart = programPath.substr(0, programPath.size() - name.size());
    if (const auto dot = name.rfind('.'); dot != std::string::npos)
        name.erase(dot);
    name += ".INI";
    const std::string besideProgram = folderPart + name;
    const std::string folder = FolderOf(programPath);
    if (GetFileAttributesA(besideProgram.c_str()) != INVALID_FILE_ATTRIBUTES ||
        (!IsProgramFilesFolder(folder) && MayCreateFilesIn(folder)))
        return besideProgram;
    const std::string appData = KnownFolder(CSIDL_APPDATA | CSIDL_FLAG_CREATE);
    if (appData.empty())
        return besideProgram;
    const std::string own = appData + "\\Scenaria";
    CreateDirectoryA(own.c_str(), nullptr);
    return own + "\\" + name;
}

std::string PictureFolder(const TEnvLookup&)
{
    // The Windows folder, as the settings have always defaulted to.
    char path[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryA(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path, length) : HomeFolder();
}

std::string SaveFolderDefault(const TEnvLookup& env)
{
    const std::string temp = env("temp");
    if (!temp.empty())
        return temp;
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH, path);
    std::string folder = length > 0 && length < MAX_PATH ? std::string(path, length) : HomeFolder();
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

std::string DataHome(const TEnvLookup& env)
{
    const std::string folder = KnownFolder(CSIDL_LOCAL_APPDATA);
    return folder.empty() ? HomeFolder(env) : folder;
}

std::string ConfigHome(const TEnvLookup& env)
{
    const std::string folder = KnownFolder(CSIDL_APPDATA);
    return folder.empty() ? HomeFolder(env) : folder;
}

std::string StateHome(const TEnvLookup& env)
{
    return DataHome(env);
}

std::string HomeFolder(const TEnvLookup& env)
{
    const std::string profile = env("USERPROFILE");
    if (IsAnsiFolder(profile))
        return profile;
    const std::string known = KnownFolder(CSIDL_PROFILE);
    return known.empty() ? std::string("C:\\") : known;
}

} // namespace scenaria
