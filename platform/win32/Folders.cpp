// Where the program's files and the user's folders are on Windows.

#include "platform/Folders.h"

#include <shlobj.h>
#include <windows.h>

#include <cstdlib>

namespace scenaria {
namespace {

std::string KnownFolder(int csidl)
{
    char path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)) ? std::string(path)
                                                                         : std::string();
}

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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
    // The program's path with its extension replaced by ".INI".
    const auto slash = programPath.find_last_of("\\/");
    const auto dot = programPath.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return programPath.substr(0, dot) + ".INI";
    return programPath + ".INI";
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
    if (IsFolder(profile))
        return profile;
    const std::string known = KnownFolder(CSIDL_PROFILE);
    return known.empty() ? std::string("C:\\") : known;
}

} // namespace scenaria
