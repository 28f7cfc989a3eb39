#pragma once
// What the Bitmap Explorer's file buttons do, without any window: Wallpaper, Rename, Delete,
// Copy, Move, save as BMP, save as JPEG and the JPEG quality. TfmBitmap owns the state and
// answers IExplorerView from its controls; tests answer it from a folder on disk.
//
// No operation asks for confirmation and none replaces an existing file: copies and moves
// refuse an existing destination, renames refuse an existing name, and saves take the first
// free numbered name.

#include <optional>
#include <string>

namespace scenaria {

class IPlatform;

// The Explorer's fields that the operations read and change.
struct TExplorerState {
    std::string HomeDir;     // FHomeDir: where copies, moves and saves go
    std::string CurrentFile; // FCurrentFile: the picture previewed last, empty when none
    int Quality = 80;        // FQuality: percent for JPEG saves
    std::string Status0;     // status panel 0 (the file's name)
    std::string Status1;     // status panel 1 (what happened)
    std::string ReturnDir;   // FReturnDir: where Goto returns to, and the folder Select left
    std::string SavedStatus; // FSavedStatus: panel 1 while a button hint covers it
};

inline constexpr int DefaultJpegQuality = 80;

// What the operations need from the window.
class IExplorerView {
public:
    virtual ~IExplorerView() = default;
    // Full path of the file list's selected entry; empty when none is selected.
    virtual std::string SelectedPath() const = 0;
    // Reads the file list again from its folder; a name that is still listed stays selected.
    virtual void ReloadFileList() = 0;
    // Clears the file list's selection (without a new preview).
    virtual void ClearSelection() = 0;
    // Selects the file list's first entry named exactly so, without a new preview, and
    // returns its full path; empty when the list holds no such entry.
    virtual std::string SelectFileNamed(const std::string& name) = 0;
    // Saves the picture the preview holds (not the file on disk) by the name's extension;
    // errors, the library's colour-resolution question answered Cancel included, are thrown.
    virtual void SavePreview(const std::string& fileName) = 0;
    virtual void RepaintPreview() = 0;
    // The input box: the edited text, or nothing on Cancel.
    virtual std::optional<std::string>
    InputBox(const std::string& caption, const std::string& prompt, const std::string& text) = 0;
    // The quality dialog opened at the given quality: the chosen one, or nothing unless OK.
    virtual std::optional<int> AskQuality(int quality) = 0;
};

class TExplorerOps {
public:
    TExplorerOps(TExplorerState& state, IExplorerView& view, IPlatform& platform)
        : state_(state), view_(view), platform_(platform)
    {
    }

    // The selected GIF, else the picture previewed last, becomes the wallpaper; every error
    // is swallowed and no status changes.
    void btWallpaperClick();
    // Renames FCurrentFile in its own folder to the name typed in the input box.
    void btRenameClick();
    // Sends the selected file to the trash.
    void btDeleteClick();
    // Copies the selected file into Home.
    void btCopyClick();
    // Moves FCurrentFile into Home.
    void btMoveClick();
    // Saves the previewed picture into Home under a free name ending ".bmp"; any error is
    // reported in the status bar.
    void btBMPClick();
    // Saves the previewed picture into Home under a free name ending ".jpg" at FQuality.
    // Errors are thrown to the caller (the program's error report); no file is left behind.
    void btJPGClick();
    // Lets the user choose FQuality.
    void btQualityClick();

private:
    // Saves the preview into Home under the first free name with the extension and returns it.
    std::string SaveUnique(const std::string& extension);

    TExplorerState& state_;
    IExplorerView& view_;
    IPlatform& platform_;
};

// The destination of a save: folder + the source's name with the new extension (n = 0) or
// folder + the source's name without extension + " (n)" + the new extension (n >= 1).
std::string UniqueSaveName(const std::string& folder, const std::string& source,
                           const std::string& extension, int n);

// The extension of a path's file name, from its last "." on (empty when there is none).
std::string FileExtensionOf(const std::string& path);

// True when the two texts name the same folder (a trailing separator and "." or ".." steps do
// not matter; two existing folders that are the same folder through a link count as equal).
bool SameFolder(const std::string& a, const std::string& b);

} // namespace scenaria
