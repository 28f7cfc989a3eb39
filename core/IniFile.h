#pragma once
// A reader and writer of the "[section]" / "key=value" text format of the settings file.
// Section and key names match without regard to ASCII case. Writing keeps every other
// section, key, comment and blank line as it was, and replaces the file in one rename so that
// a crash or a full disk never leaves a half-written file behind.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace scenaria {

class EIniFileException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TIniFile {
public:
    // Reads the file when it exists; a missing or unreadable file reads as empty.
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    // The value of the first matching key of the first matching section, with surrounding
    // blanks removed (and one pair of matching quotes around it); nothing when absent.
    std::optional<std::string> ReadString(const std::string& section, const std::string& key) const;

    // Changes the value in memory; the file is written by UpdateFile.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);

    // Replaces the file with the text in memory. Raises EIniFileException with
    // "Unable to write to <file>" when that is refused; the old file is then left intact.
    void UpdateFile() const;

    // Removes what an UpdateFile of fileName cut short by a kill left behind: regular files
    // named "<name>.XXXXXX" (six letters or digits) beside the file, or beside the file a
    // symbolic link names. Anything else, however similar its name, stays. Call it only while
    // no other UpdateFile of that file can be at work (the program's single-instance lock);
    // failures are ignored. Returns how many files went.
    static int RemoveInterruptedWrites(const std::string& fileName);

private:
    struct TLocation {
        std::size_t SectionLine; // index of the "[section]" line, or npos
        std::size_t KeyLine;     // index of the key's line, or npos
        std::size_t SectionEnd;  // index after the last non-blank line of the section
    };
    TLocation Find(const std::string& section, const std::string& key) const;

    std::string fileName_;
    std::vector<std::string> lines_;
    bool crlf_ = false;
};

} // namespace scenaria
