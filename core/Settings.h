#pragma once
// The process-wide settings state and its file. Every other part of the program reads the
// fields directly; the configuration dialog and the change cycle change them and then call
// SaveSettings.

#include <cstdint>
#include <optional>
#include <string>

namespace scenaria {

class IPlatform;

inline constexpr const char* SettingsSection = "Diduzavizo";

struct TSettings {
    // Keys of the settings file.
    std::string Directory;
    bool Subfolders = false;
    std::string SaveFolder; // "Save Folder": read, never written
    int Mode = 0;
    int Delay = 30;
    int LastIndex = -1;
    bool Random = false;
    int Tile = 2;
    int MinWidth = 320;
    int MinHeight = 240;
    bool RunOnStart = false;
    bool Stretch = false;
    bool Proportional = false;
    bool ActiveDesktop = false;
    bool ShowHints = true;
    int HintOnTray = 0; // "Hint on Tray"
    int FilesType = 0;
    // Extension keys: read, never written, so that SaveSettings leaves the file's own value
    // (or its absence) alone. AutoRotate: turn pictures the way their camera held them.
    bool AutoRotate = true;
    bool Smooth = true; // the wallpaper is resampled smoothly (0: nearest pixel)
    // Several monitors. Monitors: 0 the same picture on each, 1 each its own next picture, 2
    // one picture across them all. Fill: a centred picture that is scaled covers its monitor,
    // cropped, instead of the four classic fits. Background: "#RRGGBB" around a centred or
    // proportional picture. Written only once they differ from their defaults (or the file
    // has them), so that a file nobody set them in stays as it was.
    int Monitors = 0;
    bool Fill = false;
    std::uint32_t Background = 0; // 0x00RRGGBB

    // Derived when loading.
    bool Win98Style = false;
    int RandomDelay = 0; // 20..559 minutes, drawn once per load
    int Interval = 30;   // minutes the change cycle counts to

    // Where LoadSettings read the keys and SaveSettings writes them.
    std::string FileName;
};

extern TSettings Settings;

// What the system says before any key is read: the file's place and the defaults that
// depend on the machine.
struct TSettingsPlace {
    std::string FileName;
    std::string DefaultDirectory;
    std::string DefaultSaveFolder;
    bool Win98Style = false;
};

TSettingsPlace SettingsPlaceOf(const IPlatform& platform);

// Reads every key into Settings (defaults for anything missing or unreadable) and derives
// Win98Style, RandomDelay and Interval. The generator is seeded from the time of day unless a
// seed is given. Never fails.
void LoadSettings(const TSettingsPlace& place, std::optional<std::uint32_t> seed = std::nullopt);

// Writes the sixteen keys in their fixed order; "Save Folder" and everything else in the
// file stay as they are. Raises EIniFileException "Unable to write to <file>" when refused.
void SaveSettings();

// "#RRGGBB" (or "RRGGBB") as 0x00RRGGBB; the default for anything else.
std::uint32_t ParseColour(const std::string& text, std::uint32_t defaultValue);
std::string ColourText(std::uint32_t colour);

// Interval from "Random", RandomDelay and "Delay" (after the dialog changed them).
int IntervalOf(const TSettings& settings);

// The integer encoding of the file: "0x..."/"0X..." (longer than two characters) is
// hexadecimal, anything else decimal; a text that does not convert gives the default.
int ParseSettingsInteger(const std::string& text, int defaultValue);

} // namespace scenaria
