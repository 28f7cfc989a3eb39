#pragma once
// Desktops that are told a file name do nothing when the name is the one they show already,
// and the prepared wallpaper always has the one name "~scxtmp.bmp". So when a desktop would
// be handed the name it shows, it is given a fresh alias of the file instead (a hard link,
// else a copy, "~scxtmp.<n>.<ext>" beside it); an alias is removed once the desktop shows
// something else. Only aliases made here are ever removed.

#include "platform/Platform.h"

#include <functional>
#include <string>
#include <vector>

namespace scenaria {

// The name of the prepared wallpaper that the program writes before every change.
inline constexpr const char* TemporaryBitmapName = "~scxtmp.bmp";

class TWallpaperAliases {
public:
    using TApply = std::function<TPlatformStatus(const std::string& name)>;

    // With a state file, what the desktop was given and the aliases that may still be on the
    // screen are kept there, so that the next run (or scenarix-tool) knows them: it then
    // neither gives an alias without need nor leaves the last run's alias behind. Without one
    // (""), only this object remembers.
    explicit TWallpaperAliases(std::string stateFile = {}) : stateFile_(std::move(stateFile)) {}

    // Shows the file through apply(), with an alias when the desktop would ignore its name:
    // when it is the name shown now, when nothing was shown yet in this run and it is the
    // prepared wallpaper (the desktop may still show it from the last run), or when the
    // desktop cannot take the name (nameAccepted false).
    TPlatformStatus Show(const std::string& file, bool nameAccepted, const TApply& apply);

    // The name the desktop was given last ("" before the first success).
    const std::string& Shown() const { return shown_; }

private:
    void Load();
    void Save() const;

    std::string stateFile_;
    std::string shown_;
    std::vector<std::string> aliases_; // made here and possibly still on the screen
};

// True for a name that MakeWallpaperAlias gives ("~scxtmp.<n>" and a plain extension): only
// such files are ever removed, whatever a state file says.
bool IsWallpaperAliasName(const std::string& fileName);

// Makes an alias of the file in its folder: "~scxtmp.<n><ext>" with the first free n, as a hard
// link or else a copy. "" with a reason when neither can be made.
std::string MakeWallpaperAlias(const std::string& file, std::string& error);

} // namespace scenaria
