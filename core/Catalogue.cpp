#include "core/Catalogue.h"

#include "core/Random.h"
#include "core/Settings.h"

#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace scenaria {

const TPictureFileType PictureFileTypes[PictureFileTypeCount] = {
    {"All graphic files",
     "*.bmp;*.dib;*.jif;*.jpeg;*.jpg;*.pbm;*.pcx;*.pgm;*.png;*.ppm;*.rle;*.tga;*.tif;*.tiff",
     "|bmp|dib|jif|jpeg|jpg|pbm|pcx|pgm|png|ppm|rle|tga|tif|tiff|"},
    {"Internet Files", "*.jpg;*.gif", "|jpg|gif|"},
    {"Windows Bitmaps", "*.bmp;*.dib;*.rle", "|bmp|dib|rle|"},
    {"BMP files", "*.bmp", "|bmp|"},
    {"DIB files", "*.dib", "|dib|"},
    {"GIF files", "*.gif", "|gif|"},
    {"JIF files", "*.jif", "|jif|"},
    {"JPG files", "*.jpg;*.jpeg", "|jpg|jpeg|"},
    {"PCX files", "*.pcx", "|pcx|"},
    {"RLE files", "*.rle", "|rle|"},
    {"TGA files", "*.tga", "|tga|"},
    {"Portable Graphic files", "*.pbm;*.pgm;*.png;*.ppm", "|pbm|pgm|png|ppm|"},
    {"TIFF files", "*.tiff;*.tif", "|tiff|tif|"},
};

std::string PictureFileTypeFilter()
{
    std::string text;
    for (const auto& row : PictureFileTypes) {
        if (!text.empty())
            text += '|';
        text += row.Name;
        text += '|';
        text += row.Patterns;
    }
    return text;
}

bool MatchesFileType(const std::string& entryName, int filesType)
{
    if (filesType < 0 || filesType >= PictureFileTypeCount)
        return false;
    const auto dot = entryName.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : entryName.substr(dot + 1);
    // Names may hold "|" here; such an extension would otherwise match across the
    // separators of the list ("a.bmp|dib").
    if (extension.find('|') != std::string::npos)
        return false;
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return std::string(PictureFileTypes[filesType].Extensions).find("|" + extension + "|") !=
           std::string::npos;
}

bool FolderExists(const std::string& path)
{
    if (path.empty())
        return false;
    if (path.back() == '/' && path != "/")
        return false;
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

namespace {

class TFolderSearch {
public:
    TFolderSearch(TCatalogue& catalogue, int filesType, bool recurse)
        : catalogue_(catalogue), filesType_(filesType), recurse_(recurse)
    {
    }

    void Search(const std::string& folder)
    {
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !visited_.insert({st.st_dev, st.st_ino}).second)
            return;

        // Plain files are the bulk of any picture folder: the entry's own type spares them
        // a stat; links and file systems that do not say are asked.
        std::vector<std::pair<std::string, bool>> entries; // name, maybe a folder
        {
            std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
            if (!dir)
                return; // unreadable folders are passed over
            while (const dirent* entry = ::readdir(dir.get()))
                entries.emplace_back(entry->d_name, entry->d_type != DT_REG);
        }

        const std::string prefix = folder.back() == '/' ? folder : folder + "/";
        for (const auto& [name, maybeFolder] : entries)
            if (MatchesFileType(name, filesType_))
                catalogue_.push_back(prefix + name);

        if (!recurse_)
            return;
        for (const auto& [name, maybeFolder] : entries) {
            if (!maybeFolder || name.empty() || name[0] == '.')
                continue; // files, hidden folders, "." and ".."
            const std::string path = prefix + name;
            struct stat sub {};
            if (::stat(path.c_str(), &sub) == 0 && S_ISDIR(sub.st_mode))
                Search(path);
        }
    }

private:
    TCatalogue& catalogue_;
    int filesType_;
    bool recurse_;
    std::set<std::pair<dev_t, ino_t>> visited_; // links must never make the search loop
};

} // namespace

void RebuildCatalogue(TCatalogue& catalogue, const TSettings& settings)
{
    catalogue.clear();
    try {
        if (!FolderExists(settings.Directory))
            throw std::runtime_error("Invalid starting directory");
        std::error_code ec;
        std::string start = std::filesystem::absolute(settings.Directory, ec).lexically_normal();
        if (ec)
            return;
        if (start.size() > 1 && start.back() == '/')
            start.pop_back();
        TFolderSearch(catalogue, settings.FilesType, settings.Subfolders).Search(start);
    } catch (const std::exception&) {
        // The catalogue keeps what was found; nobody is told.
    }
}

void ChooseNext(int& currentIndex, int count, const TSettings& settings)
{
    switch (settings.Mode) {
    case 0:
        // Written so that a hand-edited "LastIndex" near the top of the range cannot overflow.
        currentIndex = currentIndex >= count - 1 ? 0 : currentIndex + 1;
        break;
    case 1: {
        int position = static_cast<int>(Random(static_cast<std::uint32_t>(count)));
        while (position == settings.LastIndex && count > 1)
            position = static_cast<int>(Random(static_cast<std::uint32_t>(count)));
        currentIndex = position;
        break;
    }
    default:
        break;
    }
}

} // namespace scenaria
