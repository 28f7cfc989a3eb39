#include "platform/Folders.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace scenaria {
namespace {

std::string XdgBase(const TEnvLookup& env, const char* variable, const char* fallbackUnderHome)
{
    const std::string value = env(variable);
    // freedesktop.org's base directory rules say relative values are to be ignored.
    if (!value.empty() && value[0] == '/')
        return value;
    return HomeFolder(env) + "/" + fallbackUnderHome;
}

// The system's program folders are shared by every user and belong to the package manager
// (or to `make install`): one user's settings have no place there, even when root, who may
// write anywhere, starts the program; a file left there would also outlive the package.
bool IsSystemProgramFolder(const std::string& folder)
{
    for (const char* system : {"/usr/bin", "/usr/local/bin", "/usr/sbin", "/usr/local/sbin",
                               "/usr/games", "/usr/local/games", "/bin", "/sbin"})
        if (folder == system)
            return true;
    return false;
}

} // namespace

std::string ProcessEnv(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string CurrentProgramPath()
{
    char buffer[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string("scenarix");
}

std::string HomeFolder(const TEnvLookup& env)
{
    std::string home = env("HOME");
    if (home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
            home = pw->pw_dir;
    }
    return home.empty() ? "/" : home;
}

std::string SettingsFileFor(const std::string& programPath, const TEnvLookup& env)
{
    std::string name = FileNameOf(programPath);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    name += ".INI";

    const std::string folder = FolderOf(programPath);
    const std::string besideProgram = (folder == "/" ? "" : folder) + "/" + name;
    struct stat st {};
    if (::stat(besideProgram.c_str(), &st) == 0 ||
        (!IsSystemProgramFolder(folder) && ::access(folder.c_str(), W_OK) == 0))
        return besideProgram;
    return XdgBase(env, "XDG_CONFIG_HOME", ".config") + "/scenaria/" + name;
}

std::string PictureFolder(const TEnvLookup& env)
{
    const std::string home = HomeFolder(env);
    std::ifstream dirs(XdgBase(env, "XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs");
    std::string line;
    while (std::getline(dirs, line)) {
        const std::string key = "XDG_PICTURES_DIR=";
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, key.size(), key) != 0)
            continue;
        std::string value = line.substr(start + key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0)
            value = home + value.substr(5);
        if (!value.empty() && value[0] == '/' && IsFolder(value))
            return value;
        break;
    }
    if (IsFolder(home + "/Pictures"))
        return home + "/Pictures";
    return home;
}

std::string DataHome(const TEnvLookup& env)
{
    return XdgBase(env, "XDG_DATA_HOME", ".local/share");
}

std::string ConfigHome(const TEnvLookup& env)
{
    return XdgBase(env, "XDG_CONFIG_HOME", ".config");
}

std::string StateHome(const TEnvLookup& env)
{
    return XdgBase(env, "XDG_STATE_HOME", ".local/state");
}

std::string SaveFolderDefault(const TEnvLookup& env)
{
    const std::string temp = env("temp");
    if (!temp.empty())
        return temp;
    return XdgBase(env, "XDG_CACHE_HOME", ".cache") + "/scenaria";
}

bool EnsureFolders(const std::string& path, unsigned mode)
{
    if (IsFolder(path))
        return true;
    if (path.empty())
        return false;
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0 && !EnsureFolders(path.substr(0, slash), mode))
        return false;
    return (::mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0 || errno == EEXIST) &&
           IsFolder(path);
}

} // namespace scenaria
