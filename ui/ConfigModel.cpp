#include "ui/ConfigModel.h"

#include "core/Catalogue.h"
#include "core/Settings.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace scenaria {

std::string FolderOpenError(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(Utf8Path(folder), ec);
    std::string reason;
    if (ec)
        reason = ec.message();
    else if (!fs::is_directory(status))
        reason = std::generic_category().message(fs::exists(status) ? ENOTDIR : ENOENT);
    else if (!IsSearchableFolder(folder) || !ReadFolder(folder))
        reason = std::generic_category().message(EACCES);
    return "Cannot open folder \"" + folder + "\"." + (reason.empty() ? "" : " " + reason);
}

bool FolderOpens(const std::string& folder)
{
    return !folder.empty() && IsSearchableFolder(folder) && ReadFolder(folder).has_value();
}

int RadioIndexOf(int stored, int count)
{
    if (stored < 0)
        return -1;
    return std::min(stored, count - 1);
}

int ListIndexOf(int stored, int count)
{
    return stored >= 0 && stored < count ? stored : -1;
}

TConfigModel LoadConfigModel(const TSettings& settings, bool comReady)
{
    TConfigModel m;
    m.Directory = settings.Directory;
    m.Subfolders = settings.Subfolders;
    m.RunOnStart = settings.RunOnStart;
    m.MinWidth = std::clamp(settings.MinWidth, MinSize, MaxSize);
    m.MinHeight = std::clamp(settings.MinHeight, MinSize, MaxSize);
    m.Random = settings.Random;
    m.TileIndex = RadioIndexOf(settings.Tile, 3);
    m.Sequential = settings.Mode == 0;
    m.Stretch = settings.Stretch;
    m.Proportional = settings.Proportional;
    m.ActiveEnabled = comReady;
    m.ActiveDesktop = settings.ActiveDesktop;
    m.ShowHints = settings.ShowHints;
    m.TrayHintIndex = RadioIndexOf(settings.HintOnTray, 3);
    m.FilesTypeIndex = ListIndexOf(settings.FilesType, PictureFileTypeCount);
    // C++ division truncates toward zero, as the split always did; a negative interval thus
    // opens at 0 hours and 0 minutes.
    m.Hours = std::clamp(settings.Delay / 60, 0, MaxHours);
    m.Minutes = std::clamp(settings.Delay % 60, 0, MaxMinutes);
    m.More.Monitors = ListIndexOf(settings.Monitors, MonitorsCount) < 0 ? 0 : settings.Monitors;
    m.More.Fill = settings.Fill;
    m.More.Background = settings.Background & 0xFFFFFFu;
    return m;
}

void StoreConfigModel(const TConfigModel& m, TSettings& settings, bool comReady)
{
    settings.Directory = m.Directory;
    settings.Subfolders = m.Subfolders;
    settings.RunOnStart = m.RunOnStart;
    settings.Mode = m.Sequential ? 0 : 1;
    settings.Delay = m.Hours * 60 + m.Minutes;
    settings.Random = m.Random;
    settings.Tile = std::max(m.TileIndex, 0);
    settings.MinWidth = m.MinWidth;
    settings.MinHeight = m.MinHeight;
    settings.Stretch = m.Stretch;
    settings.Proportional = m.Proportional;
    if (comReady)
        settings.ActiveDesktop = m.ActiveDesktop;
    settings.ShowHints = m.ShowHints;
    settings.HintOnTray = std::max(m.TrayHintIndex, 0);
    settings.FilesType = std::max(m.FilesTypeIndex, 0);
    settings.Monitors = std::max(ListIndexOf(m.More.Monitors, MonitorsCount), 0);
    settings.Fill = m.More.Fill;
    settings.Background = m.More.Background & 0xFFFFFFu;
}

} // namespace scenaria
