#pragma once
// The Explorer's browsing rules without a window: the Home folder with Select mode and Goto,
// the button hints in the status bar, picking a file for the preview, and how Fit imitates
// the wallpaper rule. TfmBitmap applies what these return to its lists and viewer.

#include "ui/ExplorerOps.h"
#include "widgets/PGImageRules.h"

#include <cstdint>
#include <functional>
#include <string>

namespace scenaria {

struct TSettings;

// Opening at the folder the folder list reached: Home and the return folder both there.
void ExplorerOpened(TExplorerState& state, const std::string& folderShown);

// The folder list changed its folder: outside Select mode the picked file is forgotten.
void ExplorerFolderChanged(TExplorerState& state, bool selectMode);

// Select pressed down: remembers the folder to come back to.
void SelectModeEntered(TExplorerState& state, const std::string& folderShown);
// Select raised: the folder shown becomes Home; returns the folder the list goes back to.
std::string SelectModeLeft(TExplorerState& state, const std::string& folderShown);

// Goto swings between Home and the folder browsed last; returns the folder to go to.
std::string GotoTarget(TExplorerState& state, const std::string& folderShown);

// Where the folder list goes when Select mode ends or Goto sends it to a folder: there when it
// opens. A folder that does not (it vanished meanwhile) leaves Error, for panel 1, and the
// nearest folder above it that opens; Folder is empty when none does.
struct TFolderMove {
    std::string Folder;
    std::string Error;
};
TFolderMove FolderMoveTo(const std::string& target);

// The hints of Select, Goto and Quality cover panel 1; leaving restores it exactly.
void SelectHintShown(TExplorerState& state);
void GotoHintShown(TExplorerState& state, const std::string& folderShown);
void QualityHintShown(TExplorerState& state);
void HintLeft(TExplorerState& state);

// True for a GIF (by its extension, any case) while GIF previews are off.
bool IsUnshownGif(const std::string& path, bool gifPreview);

// Bytes as whole kilobytes, halves to the even neighbour.
std::int64_t KilobytesOf(std::uint64_t bytes);

// "Viewing file [1,024x768 | 97 Kb]", thousands grouped with the given separator.
std::string ViewingText(int width, int height, std::int64_t kilobytes,
                        const std::string& thousandsSeparator);

// What the preview does with a file the user picked.
struct TPickOutcome {
    bool ShowGifLabel = false; // the red label up, the preview blank, BMP and JPG disabled
    bool Loaded = false;       // the preview shows the file; Fit applies
};

// Picking a file: panel 0 names it; a GIF that is not previewed shows the label; otherwise
// load(path, width, height) loads it into the preview (throwing when it cannot), and panel 1
// and FCurrentFile follow. fileSize is 0 when the entry cannot be found.
TPickOutcome PickFile(TExplorerState& state, const std::string& path, bool gifPreview,
                      std::uint64_t fileSize,
                      const std::function<void(const std::string&, int&, int&)>& load,
                      const std::string& thousandsSeparator);

// When a click in the file list picks its entry. A press on another entry makes it current,
// which picks it at once, and the click that ends that press picks nothing more; every other
// click picks its entry again, so that the status bar tells again what is viewed and a picture
// changed on disk is read anew. A change of the current entry by the keyboard picks too.
class TPickByClick {
public:
    // A mouse button went down in the file list.
    void Pressed() { pickedByPress_ = false; }
    // The current entry changed and was picked.
    void PickedOnChange() { pickedByPress_ = true; }
    // A click on an entry ended: true when it is to be picked.
    bool Clicked()
    {
        const bool picked = pickedByPress_;
        pickedByPress_ = false;
        return !picked;
    }

private:
    bool pickedByPress_ = false;
};

// How the preview draws a picture of that size.
struct TFitChoice {
    TStretch Stretch = sNeverKAR;
    TTiling Tiling = tNone;
    // A scaled picture is resampled as the wallpaper is: smoothly unless Smooth is off.
    TStretchMode Mode = smFast;
    bool operator==(const TFitChoice&) const = default;
};

// Fit up: natural size, centred. Fit down: as the wallpaper would be, the pane standing for
// the desktop (tiled, centred, stretched or scaled by the settings).
TFitChoice FitChoice(bool fitDown, const TSettings& settings, int width, int height);

} // namespace scenaria
