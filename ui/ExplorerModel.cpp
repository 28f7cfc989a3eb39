#include "ui/ExplorerModel.h"

#include "core/Settings.h"
#include "platform/FileSystem.h"
#include "ui/ConfigModel.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace scenaria {

void ExplorerOpened(TExplorerState& state, const std::string& folderShown)
{
    state.HomeDir = folderShown;
    state.ReturnDir = folderShown;
    state.CurrentFile.clear();
    state.Quality = DefaultJpegQuality;
}

void ExplorerFolderChanged(TExplorerState& state, bool selectMode)
{
    if (selectMode)
        return;
    state.Status0.clear();
    state.Status1.clear();
    state.CurrentFile.clear();
}

void SelectModeEntered(TExplorerState& state, const std::string& folderShown)
{
    state.ReturnDir = folderShown;
}

std::string SelectModeLeft(TExplorerState& state, const std::string& folderShown)
{
    state.HomeDir = folderShown;
    return state.ReturnDir;
}

std::string GotoTarget(TExplorerState& state, const std::string& folderShown)
{
    if (folderShown == state.HomeDir)
        return state.ReturnDir;
    state.ReturnDir = folderShown;
    return state.HomeDir;
}

TFolderMove FolderMoveTo(const std::string& target)
{
    if (FolderOpens(target))
        return {target, {}};
    TFolderMove move{{}, FolderOpenError(target)};
    for (std::string folder = target; folder != "/" && folder != ".";) {
        folder = FolderOf(folder);
        if (FolderOpens(folder)) {
            move.Folder = folder;
            break;
        }
    }
    return move;
}

void SelectHintShown(TExplorerState& state)
{
    state.SavedStatus = state.Status1;
    state.Status1 = "Home Dir: " + state.HomeDir;
}

void GotoHintShown(TExplorerState& state, const std::string& folderShown)
{
    state.SavedStatus = state.Status1;
    state.Status1 = "Goto Dir: " + (folderShown != state.HomeDir ? state.HomeDir : state.ReturnDir);
}

void QualityHintShown(TExplorerState& state)
{
    state.SavedStatus = state.Status1;
    state.Status1 = "Current Quality: " + std::to_string(state.Quality) + "%";
}

void HintLeft(TExplorerState& state)
{
    state.Status1 = state.SavedStatus;
}

bool IsUnshownGif(const std::string& path, bool gifPreview)
{
    if (gifPreview)
        return false;
    std::string extension = FileExtensionOf(path);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return extension == ".GIF";
}

std::int64_t KilobytesOf(std::uint64_t bytes)
{
    const std::uint64_t whole = bytes / 1024;
    const std::uint64_t rest = bytes % 1024;
    if (rest > 512 || (rest == 512 && whole % 2 == 1))
        return static_cast<std::int64_t>(whole + 1);
    return static_cast<std::int64_t>(whole);
}

namespace {

std::string Grouped(int value, const std::string& separator)
{
    std::string digits = std::to_string(value < 0 ? -static_cast<long long>(value) : value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), separator);
    return value < 0 ? "-" + digits : digits;
}

} // namespace

std::string ViewingText(int width, int height, std::int64_t kilobytes,
                        const std::string& thousandsSeparator)
{
    return "Viewing file [" + Grouped(width, thousandsSeparator) + "x" +
           Grouped(height, thousandsSeparator) + " | " + std::to_string(kilobytes) + " Kb]";
}

TPickOutcome PickFile(TExplorerState& state, const std::string& path, bool gifPreview,
                      std::uint64_t fileSize,
                      const std::function<void(const std::string&, int&, int&)>& load,
                      const std::string& thousandsSeparator)
{
    TPickOutcome outcome;
    state.Status0 = path;
    if (IsUnshownGif(path, gifPreview)) {
        state.Status1.clear();
        outcome.ShowGifLabel = true;
        return outcome;
    }
    const std::int64_t kilobytes = KilobytesOf(fileSize);
    try {
        int width = 0;
        int height = 0;
        load(path, width, height);
        state.Status1 = ViewingText(width, height, kilobytes, thousandsSeparator);
        state.CurrentFile = path;
        outcome.Loaded = true;
    } catch (...) {
        state.Status1 = "Format of file not supported!!";
    }
    return outcome;
}

TFitChoice FitChoice(bool fitDown, const TSettings& settings, int width, int height)
{
    if (!fitDown)
        return {sNeverKAR, tNone};
    const bool centreOrStretch =
        settings.Tile == 1 ||
        (settings.Tile == 2 && width > settings.MinWidth && height > settings.MinHeight);
    // Tile 0, a small picture under Tile 2, and a hand-edited value outside 0..2 all tile,
    // as the wallpaper itself does.
    if (!centreOrStretch)
        return {sNeverKAR, tRepeat};
    if (!settings.Stretch)
        return {sNeverKAR, tNone};
    return {settings.Proportional ? sAlwaysKAR : sAlways, tNone,
            settings.Smooth ? smPrecise : smFast};
}

} // namespace scenaria
