#pragma once
// The library's numbered message table. Every library error text is fetched from here, so that
// a language can be added by filling one column.

#include <cstdint>
#include <string>
#include <string_view>

namespace scenaria {

inline constexpr int PGLanguageCount = 6; // English, German, French, Dutch, Spanish, sixth
inline constexpr int PGLangStrEntryCount = 85;

struct TPGLangStrEntry {
    std::uint8_t Number;                // equals the record's position
    const char* Texts[PGLanguageCount]; // one per language; nullptr or "" when missing
};

extern const TPGLangStrEntry PGLangStrEntries[PGLangStrEntryCount];

// Selects the column of the table; 0 is English and nothing in the program changes it.
extern int MessageLanguage;

// Record numbers of the texts the library raises or shows.
enum TPGMessageId : int {
    pgmXYIndexOutOfRange = 1,
    pgmNoPalette = 2,
    pgmInvalidPaletteIndex = 3,
    pgmUnknownClipboardFormat = 4,
    pgmInvalidTemporaryFile = 5,
    pgmUnknownFileFormat = 6,
    pgmInvalid = 7,       // "%S1 invalid"
    pgmBlackAndWhite = 8, // records 8..15 name the colour resolutions 0..7
    pgmTrueColor = 15,
    pgmIsEmpty = 16, // "%S1 is empty"
    pgmColorResWarning = 17,
    pgmCannotWriteColorRes = 18,
    pgmUnknownExtension = 19,
    pgmInvalidValue = 20, // "Invalid value for %S1"
    pgmNegativeHeight = 21,
    pgmNegativeWidth = 22,
    pgmIdenticalSource = 23,
    pgmBit = 24,
    pgmImageFiles = 25,
    pgmAllFiles = 26,
    pgmInvalidSize = 27, // "Invalid size of %S1"
    pgmWarning = 28,
    pgmAborted = 29,
    pgmNotSupportedSubformat = 30,
    pgmFailed = 31, // "%S1 failed"
    pgmUnexpectedEndOfFile = 32,
    pgmUnknownSubformat = 33,
    pgmNotAFile = 34, // "Not a %S1 file"
    pgmZeroSize = 35,
    pgmInvalidColorResolution = 36,
    pgmUnsupportedFieldType = 37,
    pgmInvalidRowByteCount = 38,
    pgmUnsupportedCompression = 39,
    pgmSaturationHue = 40,
    pgmOutOfRange = 41, // "%S1 out of range"
    pgmOK = 42,
    pgmCancel = 43,
};

// The text of a record in the selected language (English when that column is empty), with
// the first "%S1", "%S2" and "%S3" replaced, in that order, by the arguments. A record number
// outside the table gives an empty text. The first call checks the table's order.
std::string PGMessage(int record, std::string_view s1 = {}, std::string_view s2 = {},
                      std::string_view s3 = {});

// The start-up check: raises EPixelGraphic "PGLangStrEntries order wrong <i> and <n> are not
// identical" for the first record whose stored number differs from its position.
void CheckPGLangStrEntries(const TPGLangStrEntry* entries, int count);

} // namespace scenaria
