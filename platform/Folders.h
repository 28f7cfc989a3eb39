#pragma once
// Where the program's files and the user's folders are on a freedesktop.org system. Each
// function takes the environment as a lookup so that tests need not change the process's own.

#include <functional>
#include <string>

namespace scenaria {

using TEnvLookup = std::function<std::string(const char* name)>; // "" when unset

// getenv, with unset variables as "".
std::string ProcessEnv(const char* name);

// Full path of the running program (/proc/self/exe).
std::string CurrentProgramPath();

// The settings file for a program file: the program's path with its extension replaced by
// ".INI" (appended when it has none) when that file exists, or when its folder is writable and
// not one of the system's program folders (/usr/bin, /usr/local/bin, /bin and the like);
// otherwise $XDG_CONFIG_HOME/scenaria/ (default ~/.config/scenaria/) and the same name. On
// Windows the program folders are those under Program Files and the other place is the user's
// %APPDATA%\Scenaria, made when missing.
std::string SettingsFileFor(const std::string& programPath, const TEnvLookup& env = ProcessEnv);

// XDG_PICTURES_DIR of $XDG_CONFIG_HOME/user-dirs.dirs, else ~/Pictures when it exists, else
// the home folder.
std::string PictureFolder(const TEnvLookup& env = ProcessEnv);

// The "temp" variable when set, else $XDG_CACHE_HOME/scenaria (default ~/.cache/scenaria).
std::string SaveFolderDefault(const TEnvLookup& env = ProcessEnv);

// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
std::string DataHome(const TEnvLookup& env = ProcessEnv);

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
std::string ConfigHome(const TEnvLookup& env = ProcessEnv);

// $XDG_STATE_HOME when it is an absolute path, else ~/.local/state.
std::string StateHome(const TEnvLookup& env = ProcessEnv);

// Creates the folder and every missing one above it with the given mode. Links to folders
// on the way are followed: the user may have put one there on purpose. True when a folder
// stands at the path afterwards.
bool EnsureFolders(const std::string& path, unsigned mode);

// $HOME, else the password database's entry.
std::string HomeFolder(const TEnvLookup& env = ProcessEnv);

} // namespace scenaria
