#include "imaging/Messages.h"

#include "imaging/Exceptions.h"

namespace scenaria {

int MessageLanguage = 0;

// Records 44 to 84 name image filters this program never shows; the list of their captions
// has one caption fewer than records, so the last record stays empty.
const TPGLangStrEntry PGLangStrEntries[PGLangStrEntryCount] = {
    {0, {"", "", "", "", "", ""}},
    {1, {"X, Y index out of range", "", "", "", "", ""}},
    {2, {"No palette", "", "", "", "", ""}},
    {3, {"Invalid palette index", "", "", "", "", ""}},
    {4, {"Unknown clipboard format", "", "", "", "", ""}},
    {5, {"Invalid temporary file", "", "", "", "", ""}},
    {6, {"Unknown file format", "", "", "", "", ""}},
    {7, {"%S1 invalid", "", "", "", "", ""}},
    {8, {"black and white", "", "", "", "", ""}},
    {9, {"2 colors", "", "", "", "", ""}},
    {10, {"16 shades of gray", "", "", "", "", ""}},
    {11, {"16 system colors", "", "", "", "", ""}},
    {12, {"16 colors", "", "", "", "", ""}},
    {13, {"256 shades of gray", "", "", "", "", ""}},
    {14, {"256 colors", "", "", "", "", ""}},
    {15, {"16.7 million colors", "", "", "", "", ""}},
    {16, {"%S1 is empty", "", "", "", "", ""}},
    {17,
     {"The graphic cannot be saved to a %S1 file with the current color resolution (%S2).\r\rThe "
      "graphic will be saved with a different color resolution (%S3).",
      "", "", "", "", ""}},
    {18,
     {"The graphic cannot be saved with to a %S1 file with the current color resolution (%S2)", "",
      "", "", "", ""}},
    {19, {"Unknown file extension \"%S1\"", "", "", "", "", ""}},
    {20, {"Invalid value for %S1", "", "", "", "", ""}},
    {21, {"Negative height", "", "", "", "", ""}},
    {22, {"Negative width", "", "", "", "", ""}},
    {23,
     {"Cannot apply this filter to a source that is identical to the target", "", "", "", "", ""}},
    {24, {"bit", "", "", "", "", ""}},
    {25, {"Image files", "", "", "", "", "Image files"}},
    {26, {"All files", "", "", "", "", ""}},
    {27, {"Invalid size of %S1", "", "", "", "", ""}},
    {28, {"Warning", "", "", "", "", ""}},
    {29, {"Operation aborted on user request", "", "", "", "", ""}},
    {30, {"Not supported subformat", "", "", "", "", ""}},
    {31, {"%S1 failed", "", "", "", "", ""}},
    {32, {"Unexpected end of file", "", "", "", "", ""}},
    {33, {"Unknown subformat", "", "", "", "", ""}},
    {34, {"Not a %S1 file", "", "", "", "", ""}},
    {35, {"Width = 0 or Height = 0", "", "", "", "", ""}},
    {36, {"Invalid color resolution", "", "", "", "", ""}},
    {37, {"Unsupported field type %S1", "", "", "", "", ""}},
    {38, {"Invalid count of bytes in row %S1", "", "", "", "", ""}},
    {39, {"Unsupported Compression", "", "", "", "", ""}},
    {40, {"Saturation=0 and Hue defined", "", "", "", "", ""}},
    {41, {"%S1 out of range", "", "", "", "", ""}},
    {42, {"OK", "", "", "", "", ""}},
    {43, {"Cancel", "", "", "", "", ""}},
    {44, {"RGB Filter", "", "", "", "", ""}},
    {45, {"R", "", "", "", "", ""}},
    {46, {"G", "", "", "", "", ""}},
    {47, {"B", "", "", "", "", ""}},
    {48, {"CMY Filter", "", "", "", "", ""}},
    {49, {"C", "", "", "", "", ""}},
    {50, {"M", "", "", "", "", ""}},
    {51, {"Y", "", "", "", "", ""}},
    {52, {"YCbCr Filter", "", "", "", "", ""}},
    {53, {"Y", "", "", "", "", ""}},
    {54, {"Cb", "", "", "", "", ""}},
    {55, {"Cr", "", "", "", "", ""}},
    {56, {"HLS Filter", "", "", "", "", ""}},
    {57, {"H", "", "", "", "", ""}},
    {58, {"L", "", "", "", "", ""}},
    {59, {"S", "", "", "", "", ""}},
    {60, {"HSV Filter", "", "", "", "", ""}},
    {61, {"V", "", "", "", "", ""}},
    {62, {"Negative Filter", "", "", "", "", ""}},
    {63, {"Gamma", "", "", "", "", ""}},
    {64, {"RGB", "", "", "", "", ""}},
    {65, {"Y", "", "", "", "", ""}},
    {66, {"Brightness", "", "", "", "", ""}},
    {67, {"Contrast", "", "", "", "", ""}},
    {68, {"Apply on", "", "", "", "", ""}},
    {69, {"Brightness, Contrast, Gamma Filter", "", "", "", "", ""}},
    {70, {"Grayscale Filter", "", "", "", "", ""}},
    {71, {"RGB weighting", "", "", "", "", ""}},
    {72, {"Std. deviation", "", "", "", "", ""}},
    {73, {"Strength", "", "", "", "", ""}},
    {74, {"Sharpen", "", "", "", "", ""}},
    {75, {"Detail", "", "", "", "", ""}},
    {76, {"Smooth", "", "", "", "", ""}},
    {77, {"Radius", "", "", "", "", ""}},
    {78, {"Blur", "", "", "", "", ""}},
    {79, {"Contour", "", "", "", "", ""}},
    {80, {"White", "", "", "", "", ""}},
    {81, {"Black", "", "", "", "", ""}},
    {82, {"±", "", "", "", "", ""}},
    {83, {"°", "", "", "", "", ""}},
    {84, {"", "", "", "", "", ""}},
};

void CheckPGLangStrEntries(const TPGLangStrEntry* entries, int count)
{
    for (int i = 0; i < count; ++i)
        if (entries[i].Number != i)
            throw EPixelGraphic("PGLangStrEntries order wrong " + std::to_string(i) + " and " +
                                std::to_string(entries[i].Number) + " are not identical");
}

namespace {

void ReplaceFirst(std::string& text, std::string_view placeholder, std::string_view value)
{
    const auto at = text.find(placeholder);
    if (at != std::string::npos)
        text.replace(at, placeholder.size(), value);
}

} // namespace

std::string PGMessage(int record, std::string_view s1, std::string_view s2, std::string_view s3)
{
    // The table is checked once, on the library's first message, instead of in a static
    // initialiser: an exception there could not be caught by anyone.
    static const bool checked =
        (CheckPGLangStrEntries(PGLangStrEntries, PGLangStrEntryCount), true);
    (void)checked;
    if (record < 0 || record >= PGLangStrEntryCount)
        return {};
    const TPGLangStrEntry& entry = PGLangStrEntries[record];
    const char* text = nullptr;
    if (MessageLanguage >= 0 && MessageLanguage < PGLanguageCount)
        text = entry.Texts[MessageLanguage];
    if (!text || !*text)
        text = entry.Texts[0];
    std::string result = text ? text : "";
    ReplaceFirst(result, "%S1", s1);
    ReplaceFirst(result, "%S2", s2);
    ReplaceFirst(result, "%S3", s3);
    return result;
}

} // namespace scenaria
