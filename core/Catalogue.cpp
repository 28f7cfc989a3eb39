#include "core/Catalogue.h"

#include "core/Random.h"
#include "core/Settings.h"

#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string_view>
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
    // Called for every name of every folder searched, so without building strings: the
    // extension, lower-cased, must be one of the "|"-separated items of the list. A name
    // holding "|" in its extension would otherwise match across the separators ("a.bmp|dib").
    const auto dot = entryName.rfind('.');
    const std::size_t start = dot == std::string::npos ? entryName.size() : dot + 1;
    const std::size_t length = entryName.size() - start;
    constexpr std::size_t Longest = 8; // longer than any extension of the table
    if (length > Longest)
        return false;
    char extension[Longest];
    for (std::size_t i = 0; i < length; ++i) {
        const char c = entryName[start + i];
        if (c == '|')
            return false;
        extension[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const std::string_view wanted(extension, length);
    const std::string_view list = PictureFileTypes[filesType].Extensions;
    for (std::size_t item = 1; item < list.size();) {
        const std::size_t end = list.find('|', item);
        if (end == std::string_view::npos)
            break;
        if (list.substr(item, end - item) == wanted)
            return true;
        item = end + 1;
    }
    return false;
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
        // One read of the folder gives every name with its type: plain files, the bulk of any
        // picture folder, and real folders need no further question; only links and file
        // systems that do not say are asked with a stat.
        std::vector<std::pair<std::string, unsigned char>> entries; // name, d_type
        {
            std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
            if (!dir)
                return; // unreadable folders are passed over
            // The open folder itself says who it is, without looking the path up again.
            struct stat st {};
            if (::fstat(::dirfd(dir.get()), &st) != 0 ||
                !visited_.insert({st.st_dev, st.st_ino}).second)
                return;
            while (const dirent* entry = ::readdir(dir.get()))
                entries.emplace_back(entry->d_name, entry->d_type);
        }

        const std::string prefix = folder.back() == '/' ? folder : folder + "/";
        for (const auto& [name, type] : entries)
            if (MatchesFileType(name, filesType_))
                catalogue_.push_back(prefix + name);

        if (!recurse_)
            return;
        for (const auto& [name, type] : entries) {
            if (name.empty() || name[0] == '.')
                continue; // hidden folders, "." and ".."
            if (type == DT_DIR) {
                Search(prefix + name);
            } else if (type == DT_LNK || type == DT_UNKNOWN) {
                const std::string path = prefix + name;
                struct stat sub {};
                if (::stat(path.c_str(), &sub) == 0 && S_ISDIR(sub.st_mode))
                    Search(path);
            }
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
