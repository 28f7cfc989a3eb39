#include "core/Catalogue.h"

#include "core/Random.h"
#include "core/Settings.h"

#include "platform/FileSystem.h"

#include <filesystem>
#include <set>
#include <stdexcept>
#include <string_view>

namespace scenaria {

const TPictureFileType PictureFileTypes[PictureFileTypeCount] = {
    // The newer formats follow the original list, so that a stored FilesType keeps its meaning.
    {"All graphic files",
     "*.bmp;*.dib;*.jif;*.jpeg;*.jpg;*.pbm;*.pcx;*.pgm;*.png;*.ppm;*.rle;*.tga;*.tif;*.tiff;"
     "*.webp;*.heic;*.heif;*.avif;*.jxl",
     "|bmp|dib|jif|jpeg|jpg|pbm|pcx|pgm|png|ppm|rle|tga|tif|tiff|webp|heic|heif|avif|jxl|"},
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
    {"WebP files", "*.webp", "|webp|"},
    {"HEIF files", "*.heic;*.heif", "|heic|heif|"},
    {"AVIF files", "*.avif", "|avif|"},
    {"JPEG XL files", "*.jxl", "|jxl|"},
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
    // A trailing separator counts as missing, except on a root: "/", or a drive such as "C:\".
    const char last = path.back();
    if (last == '/' || last == static_cast<char>(std::filesystem::path::preferred_separator)) {
        const bool driveRoot = path.size() <= 3 && path.size() >= 2 && path[1] == ':';
        if (path != "/" && !driveRoot)
            return false;
    }
    return IsSearchableFolder(path);
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
        auto listing = ReadFolder(folder);
        if (!listing || !visited_.insert(listing->Id).second)
            return; // unreadable folders are passed over
        const auto& entries = listing->Entries;

        const std::string prefix = folder.back() == Separator ? folder : folder + Separator;
        for (const auto& entry : entries)
            if (MatchesFileType(entry.Name, filesType_))
                catalogue_.push_back(prefix + entry.Name);

        if (!recurse_)
            return;
        for (const auto& entry : entries) {
            if (entry.Name.empty() || entry.Name[0] == '.')
                continue; // hidden folders
            // Plain files and real folders are known from the listing; only links and file
            // systems that do not say are asked, so that a large folder costs one read.
            if (entry.Kind == fekFolder) {
                Search(prefix + entry.Name);
            } else if (entry.Kind == fekAsk) {
                const std::string path = prefix + entry.Name;
                if (IsFolder(path))
                    Search(path);
            }
        }
    }

private:
    static constexpr char Separator = static_cast<char>(std::filesystem::path::preferred_separator);

    TCatalogue& catalogue_;
    int filesType_;
    bool recurse_;
    std::set<TFolderId> visited_; // links must never make the search loop
};

} // namespace

void RebuildCatalogue(TCatalogue& catalogue, const TSettings& settings)
{
    catalogue.clear();
    try {
        if (!FolderExists(settings.Directory))
            throw std::runtime_error("Invalid starting directory");
        std::error_code ec;
        auto start = std::filesystem::absolute(Utf8Path(settings.Directory), ec).lexically_normal();
        if (ec)
            return;
        // "/pictures/" becomes "/pictures"; a root ("/", "C:\\") keeps its separator.
        if (start.has_relative_path() && !start.has_filename())
            start = start.parent_path();
        TFolderSearch(catalogue, settings.FilesType, settings.Subfolders).Search(Utf8String(start));
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
