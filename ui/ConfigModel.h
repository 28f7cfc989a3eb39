#pragma once
// What the configuration dialog does to the settings, without any window: the values its
// controls are loaded with, and how what they hold goes back into the settings. TfmConfig only
// moves these values in and out of its controls.

#include <cstdint>
#include <string>

namespace scenaria {

struct TSettings;

// What the "More settings" window edits: how pictures go on several monitors and how a scaled
// or centred one meets the monitor's edges.
struct TMoreSettings {
    int Monitors = 0; // rgMonitors: the same picture, each its own, one across all
    bool Fill = false;
    std::uint32_t Background = 0; // 0x00RRGGBB

    bool operator==(const TMoreSettings&) const = default;
};

// One field per control; item indexes are -1 when a list has no chosen item.
struct TConfigModel {
    std::string Directory; // the folder list's folder
    bool Subfolders = false;
    bool RunOnStart = false;
    int MinWidth = 320;
    int MinHeight = 240;
    bool Random = false;
    int TileIndex = 2;      // rgTileorCenter
    bool Sequential = true; // rbSecuential checked, else rbRandom
    bool Stretch = false;
    bool Proportional = false;
    bool ActiveDesktop = false;
    bool ActiveEnabled = false; // cbActive usable (the desktop takes picture files)
    bool ShowHints = true;
    int TrayHintIndex = 0;  // rgTrayHint
    int FilesTypeIndex = 0; // the file-type list
    int Hours = 0;
    int Minutes = 30;
    TMoreSettings More; // held by the window while the "More settings" window edits a copy

    // The enabling rules.
    bool ProportionalEnabled() const { return Stretch; }
    bool SizeFieldsVisible() const { return TileIndex == 2; }
};

// Ranges of the controls.
inline constexpr int MaxHours = 12;
inline constexpr int MaxMinutes = 59;
inline constexpr int MinSize = 1;
inline constexpr int MaxSize = 1024;
inline constexpr int DialogResultExplore = 4;
inline constexpr int MonitorsCount = 3;

// The controls as the dialog opens on the settings: a stored value above a radio group's
// items chooses its last item, one below chooses none; a file type outside the list chooses
// none; the interval is split into hours and minutes, each clamped to its knob's range; a size
// is clamped to its field's range. Monitors outside its items opens on the first, as the
// settings file reads it.
TConfigModel LoadConfigModel(const TSettings& settings, bool comReady);

// Stores the controls into the settings (not the file). A list without a chosen item stores
// the nearest value its readers accept: 0 for Tile, "Hint on Tray" and FilesType.
// ActiveDesktop is stored only when comReady; otherwise it keeps its value. Monitors without a
// chosen item stores 0; Background keeps only its red, green and blue.
void StoreConfigModel(const TConfigModel& model, TSettings& settings, bool comReady);

// What the user is told when a window's folder list cannot open the stored Directory, before
// it falls back to a folder above it: the folder and the system's reason ("Cannot open folder
// "/pics/gone". No such file or directory").
std::string FolderOpenError(const std::string& folder);
// True when a folder exists and may be listed and entered.
bool FolderOpens(const std::string& folder);

// The item index a list shows for a stored value: above the last item chooses the last
// (radio groups), anything else outside chooses none.
int RadioIndexOf(int stored, int count);
int ListIndexOf(int stored, int count);

} // namespace scenaria
