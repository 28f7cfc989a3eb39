#include "ui/ExplorerOps.h"
#include "platform/FileSystem.h"

#include "core/Wallpaper.h"
#include "imaging/formats/Jpeg.h"
#include "platform/Platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace scenaria {

namespace {

QString Q(const std::string& s)
{
    return QString::fromStdString(s);
}

std::string FolderPart(const std::string& folder)
{
    return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

std::string WithoutExtension(const std::string& name)
{
    return name.substr(0, name.size() - FileExtensionOf(name).size());
}

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

bool Exists(const std::string& path)
{
    std::error_code ec;
    // A dangling link still occupies its name.
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// Copies without ever replacing: Qt writes a temporary file and renames it only onto a free
// name, so a failed copy leaves nothing behind and an existing destination stays untouched.
bool CopyNoReplace(const std::string& source, const std::string& destination)
{
    if (Exists(destination) || !QFileInfo(Q(source)).isFile())
        return false;
    return QFile::copy(Q(source), Q(destination));
}

// Moves without ever replacing: Qt's rename refuses an existing destination (atomically where
// the system can) and copies across file systems.
bool MoveNoReplace(const std::string& source, const std::string& destination)
{
    if (Exists(destination) || !QFileInfo(Q(source)).isFile())
        return false;
    return QFile::rename(Q(source), Q(destination));
}

// An empty file of a free hidden name in a folder, removed again unless kept. It is made the
// way any new file of the user is, so the picture saved over it and renamed into place gets
// the mode the user's umask gives new files (a temporary file of Qt's own would be private to
// its owner, and the save keeps the mode of the file it replaces).
class THiddenNewFile {
public:
    THiddenNewFile(const QString& folder, const QString& extension)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString name =
                folder + QStringLiteral(".scenaria-save-") +
                QString::number(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFF, 36) +
                extension;
            QFile file(name);
            if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                name_ = name;
                return;
            }
            if (!Exists(name.toStdString()))
                return; // the folder takes no file: no other name would do better
        }
    }
    ~THiddenNewFile()
    {
        if (!name_.isEmpty() && !kept_)
            QFile::remove(name_);
    }
    THiddenNewFile(const THiddenNewFile&) = delete;
    THiddenNewFile& operator=(const THiddenNewFile&) = delete;

    bool Created() const { return !name_.isEmpty(); }
    const QString& Name() const { return name_; }
    void Keep() { kept_ = true; }

private:
    QString name_;
    bool kept_ = false;
};

} // namespace

std::string FileExtensionOf(const std::string& path)
{
    const auto dot = path.rfind('.');
    const auto slash = path.find_last_of(PathSeparators);
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return path.substr(dot);
}

std::string UniqueSaveName(const std::string& folder, const std::string& source,
                           const std::string& extension, int n)
{
    const std::string stem = WithoutExtension(FileNameOf(source));
    if (n == 0)
        return FolderPart(folder) + stem + extension;
    char number[24];
    std::snprintf(number, sizeof number, " (%d)", n);
    return FolderPart(folder) + stem + number + extension;
}

bool SameFolder(const std::string& a, const std::string& b)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_directory(a, ec) && fs::is_directory(b, ec)) {
        const bool same = fs::equivalent(a, b, ec);
#ifdef _WIN32
        // There it answers false for two spellings of one folder, so only its yes counts.
        if (!ec && same)
            return true;
#else
        if (!ec)
            return same;
#endif
    }
    const auto normal = [](const std::string& s) {
        // Windows' normal form spells the separators '\\', a trailing one included.
        std::string n = fs::path(s).lexically_normal().string();
        while (n.size() > 1 && std::strchr(PathSeparators, n.back()))
            n.pop_back();
#ifdef _WIN32 // whose names are the same in either case
        for (char& c : n)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
#endif
        return n;
    };
    return normal(a) == normal(b);
}

void TExplorerOps::btWallpaperClick()
{
    WallpaperShown = false;
    const std::string selected = view_.SelectedPath();
    if (Upper(FileExtensionOf(selected)) == ".GIF") {
        try {
            SetWallpaper(platform_, selected);
            return;
        } catch (...) {
            // A picture that cannot become the wallpaper is no news to the user.
        }
    }
    if (state_.CurrentFile.empty())
        return;
    try {
        SetWallpaper(platform_, state_.CurrentFile);
    } catch (...) {
    }
}

void TExplorerOps::btRenameClick()
{
    if (state_.CurrentFile.empty())
        return;
    const std::string oldPath = state_.CurrentFile;
    const std::string oldName = FileNameOf(oldPath);
    const auto typed = view_.InputBox("Rename file", "Rename To:", oldName);
    if (!typed || *typed == oldName)
        return;
    std::string newName = *typed;
    if (FileExtensionOf(newName).empty())
        newName += FileExtensionOf(oldName);

    // The folder of the picture, not the one the folder list may show in Select mode: the
    // file list, where the renamed file is looked for, shows the picture's folder.
    const std::string folder = FolderOf(oldPath);
    const std::string newPath =
        !newName.empty() && newName.front() == '/' ? newName : FolderPart(folder) + newName;
    if (newPath == oldPath)
        return;
    // An empty name names no file; an existing one is never replaced.
    if (FileNameOf(*typed).empty() || !MoveNoReplace(oldPath, newPath)) {
        state_.Status1 = "Could not rename " + oldName;
        return;
    }
    view_.ReloadFileList();
    const std::string listed = view_.SelectFileNamed(newName);
    if (!listed.empty())
        state_.CurrentFile = listed;
    state_.Status1 = "File renamed to " + newName;
    state_.Status0 = newName;
}

void TExplorerOps::btDeleteClick()
{
    const std::string path = view_.SelectedPath();
    if (path.empty())
        return;
    if (!platform_.DeleteToRecycleBin(path).Ok) {
        state_.Status1 = "Could not delete " + path;
        return;
    }
    view_.ReloadFileList();
    view_.ClearSelection();
    state_.Status0.clear();
    state_.Status1 = "Deleted " + path;
    state_.CurrentFile.clear();
    view_.RepaintPreview();
}

void TExplorerOps::btCopyClick()
{
    const std::string source = view_.SelectedPath();
    if (source.empty())
        return;
    // Compared with the source's own folder, which is what a copy onto itself would need.
    if (SameFolder(state_.HomeDir, FolderOf(source))) {
        state_.Status1 = "Cannot copy to self. Select a Home dir first";
        return;
    }
    const std::string destination = FolderPart(state_.HomeDir) + FileNameOf(source);
    if (CopyNoReplace(source, destination))
        state_.Status1 = "Succesfully copied to " + destination;
    else
        state_.Status1 = "Could not copy " + source;
}

void TExplorerOps::btMoveClick()
{
    if (state_.CurrentFile.empty())
        return;
    const std::string source = state_.CurrentFile;
    if (SameFolder(state_.HomeDir, FolderOf(source))) {
        state_.Status1 = "Cannot move to self. Select a Home dir first";
        return;
    }
    const std::string destination = FolderPart(state_.HomeDir) + FileNameOf(source);
    if (!MoveNoReplace(source, destination)) {
        state_.Status1 = "Could not move " + source;
        return;
    }
    state_.Status1 = "Succesfully moved to " + destination;
    state_.CurrentFile.clear();
    view_.ReloadFileList();
}

std::string TExplorerOps::SaveUnique(const std::string& extension)
{
    // The picture goes to a hidden temporary file in Home first and is renamed onto the
    // numbered name only while that name is free, so that not even a file appearing during
    // the save is replaced. The temporary file keeps the extension, which picks the writer.
    const QString folder = Q(FolderPart(state_.HomeDir));
    for (int n = 0;; ++n) {
        const std::string destination =
            UniqueSaveName(state_.HomeDir, state_.CurrentFile, extension, n);
        if (Exists(destination))
            continue;
        THiddenNewFile temporary(folder, Q(extension));
        if (!temporary.Created())
            throw std::runtime_error("Cannot create a file in \"" + state_.HomeDir + "\"");
        view_.SavePreview(temporary.Name().toStdString());
        if (QFile::rename(temporary.Name(), Q(destination))) {
            temporary.Keep();
            return destination;
        }
        if (!Exists(destination))
            throw std::runtime_error("Cannot create file \"" + destination + "\"");
        // Taken meanwhile: try the next number; the temporary file goes with its object.
    }
}

void TExplorerOps::btBMPClick()
{
    if (state_.CurrentFile.empty())
        return;
    try {
        const std::string destination = SaveUnique(".bmp");
        state_.Status1 = "Succesfully  saved as " + destination;
        view_.ReloadFileList();
    } catch (...) {
        state_.Status1 = "Could not save as bitmap " + state_.CurrentFile;
    }
}

void TExplorerOps::btJPGClick()
{
    if (state_.CurrentFile.empty())
        return;
    JPEGQuality = state_.Quality;
    const std::string destination = SaveUnique(".jpg");
    view_.ReloadFileList();
    char text[64];
    std::snprintf(text, sizeof text, " [%d%%]", state_.Quality);
    state_.Status1 = "Successfully saved as " + destination + text;
}

void TExplorerOps::btQualityClick()
{
    if (const auto chosen = view_.AskQuality(state_.Quality))
        state_.Quality = std::clamp(*chosen, 0, 100);
}

} // namespace scenaria
