#pragma once
// The log-in shortcut: an XDG autostart entry that every freedesktop.org session runs.

#include "platform/Folders.h"

#include <string>

namespace scenaria {

// $XDG_CONFIG_HOME/autostart/Scenarix.desktop.
std::string AutostartEntryPath(const TEnvLookup& env = ProcessEnv);

// An Exec value that runs exactly this program with no arguments, quoted and escaped as the
// freedesktop.org Desktop Entry format requires.
std::string DesktopEntryExec(const std::string& programPath);

// Writes (or replaces) the entry that starts the program at log-in; 0 on success, otherwise
// the errno of what failed.
int WriteAutostartEntry(const std::string& programPath, const TEnvLookup& env = ProcessEnv);

} // namespace scenaria
