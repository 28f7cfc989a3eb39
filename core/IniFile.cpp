#include "core/IniFile.h"

#include "platform/FileSystem.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace scenaria {
namespace {

constexpr std::size_t npos = std::string::npos;

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t");
    if (first == npos)
        return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// "[name]" -> name; anything else -> nothing.
std::optional<std::string> SectionName(const std::string& line)
{
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[')
        return std::nullopt;
    const auto close = t.find(']');
    if (close == npos)
        return std::nullopt;
    return Trim(t.substr(1, close - 1));
}

bool IsComment(const std::string& line)
{
    const std::string t = Trim(line);
    return !t.empty() && (t[0] == ';' || t[0] == '#');
}

std::string KeyOf(const std::string& line)
{
    const auto eq = line.find('=');
    return eq == npos ? Trim(line) : Trim(line.substr(0, eq));
}

} // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName))
{
    std::ifstream in(Utf8Path(fileName_), std::ios::binary);
    if (!in)
        return;
    std::stringstream buffer;
    buffer << in.rdbuf();
    std::string text = buffer.str();
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        text.erase(0, 3);
    crlf_ = text.find("\r\n") != npos;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines_.push_back(std::move(line));
        start = end + 1;
    }
}

TIniFile::TLocation TIniFile::Find(const std::string& section, const std::string& key) const
{
    TLocation loc{npos, npos, npos};
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i]);
        if (!name || !SameName(*name, section))
            continue;
        loc.SectionLine = i;
        loc.SectionEnd = i + 1;
        for (std::size_t j = i + 1; j < lines_.size() && !SectionName(lines_[j]); ++j) {
            if (Trim(lines_[j]).empty())
                continue;
            loc.SectionEnd = j + 1;
            if (loc.KeyLine == npos && !IsComment(lines_[j]) && lines_[j].find('=') != npos &&
                SameName(KeyOf(lines_[j]), key))
                loc.KeyLine = j;
        }
        break;
    }
    return loc;
}

std::optional<std::string> TIniFile::ReadString(const std::string& section,
                                                const std::string& key) const
{
    const TLocation loc = Find(section, key);
    if (loc.KeyLine == npos)
        return std::nullopt;
    const std::string& line = lines_[loc.KeyLine];
    std::string value = Trim(line.substr(line.find('=') + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

void TIniFile::WriteString(const std::string& section, const std::string& key,
                           const std::string& value)
{
    const TLocation loc = Find(section, key);
    std::string line = key + "=" + value;
    if (loc.KeyLine != npos) {
        lines_[loc.KeyLine] = std::move(line);
    } else if (loc.SectionLine != npos) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(loc.SectionEnd),
                      std::move(line));
    } else {
        while (!lines_.empty() && Trim(lines_.back()).empty())
            lines_.pop_back();
        if (!lines_.empty())
            lines_.emplace_back();
        lines_.push_back("[" + section + "]");
        lines_.push_back(std::move(line));
    }
}

namespace {

// The name the temporary copy of UpdateFile gets: target + ".XXXXXX" (WriteFileAtomically),
// whose letters are ASCII letters and digits.
bool IsTemporaryCopyOf(const std::string& name, const std::string& target)
{
    constexpr std::size_t Letters = 6;
    if (name.size() != target.size() + 1 + Letters || name.compare(0, target.size(), target) != 0 ||
        name[target.size()] != '.')
        return false;
    for (std::size_t i = target.size() + 1; i < name.size(); ++i) {
        const char c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

int RemoveTemporaryCopiesOf(const std::string& target)
{
    const std::filesystem::path path = Utf8Path(target);
    const std::string name = Utf8String(path.filename());
    std::filesystem::path folder = path.parent_path();
    if (folder.empty())
        folder = ".";
    const auto listing = ReadFolder(Utf8String(folder));
    if (!listing)
        return 0;
    int removed = 0;
    for (const auto& entry : listing->Entries)
        if (IsTemporaryCopyOf(entry.Name, name) &&
            RemoveRegularFile(Utf8String(folder / Utf8Path(entry.Name))))
            ++removed;
    return removed;
}

} // namespace

int TIniFile::RemoveInterruptedWrites(const std::string& fileName)
{
    int removed = RemoveTemporaryCopiesOf(fileName);
    // UpdateFile writes beside the target of a link. (A second look at the same folder under
    // another spelling finds nothing more.)
    const std::string target = ResolvedPath(fileName);
    if (!target.empty() && target != fileName)
        removed += RemoveTemporaryCopiesOf(target);
    return removed;
}

void TIniFile::UpdateFile() const
{
    std::string text;
    const char* eol = crlf_ ? "\r\n" : "\n";
    for (const auto& line : lines_)
        text += line + eol;
    // A read-only settings file stays unwritten; one kept behind a symbolic link is replaced
    // at the link's target, so that the link survives.
    if (!WriteFileAtomically(fileName_, text))
        throw EIniFileException("Unable to write to " + fileName_);
}

} // namespace scenaria
