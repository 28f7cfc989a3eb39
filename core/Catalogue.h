#pragma once
// The catalogue of candidate pictures: the table of picture file types, the folder test, the
// search that fills the catalogue, and the rule that picks the next position.

#include <string>
#include <vector>

namespace scenaria {

struct TSettings;

struct TPictureFileType {
    const char* Name;       // shown in the configuration dialog
    const char* Patterns;   // shown with it
    const char* Extensions; // what the filter matches, "|ext|ext|"
};

inline constexpr int PictureFileTypeCount = 17;
extern const TPictureFileType PictureFileTypes[PictureFileTypeCount];

// The rows as one filter text: name|patterns|name|patterns|...
std::string PictureFileTypeFilter();

// True when an entry of that name is a picture of file type filesType (0..12); any other
// file type accepts nothing.
bool MatchesFileType(const std::string& entryName, int filesType);

// The folder test: an empty path, or one ending in "/" other than "/" itself, is missing;
// otherwise the path must name a folder the process may enter.
bool FolderExists(const std::string& path);

using TCatalogue = std::vector<std::string>;

// Refills the catalogue from settings.Directory (and its subfolders when settings.Subfolders
// is on) with the full paths of the pictures of settings.FilesType: a folder's own entries
// in the order the file system lists them, then its subfolders depth first. Folders whose
// name begins with "." are never searched, while such files are taken. Never fails: a search
// that goes wrong leaves what was found up to then. The process's current folder is never
// changed.
void RebuildCatalogue(TCatalogue& catalogue, const TSettings& settings);

// Moves currentIndex by settings.Mode for a catalogue of count (> 0) entries: 0 in order
// (wrapping to 0), 1 at random but never settings.LastIndex (except when count is 1, where
// the repeat is accepted), anything else leaves it unchanged.
void ChooseNext(int& currentIndex, int count, const TSettings& settings);

} // namespace scenaria
