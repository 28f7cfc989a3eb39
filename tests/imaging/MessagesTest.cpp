#include "imaging/Messages.h"
#include "imaging/Exceptions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace scenaria {
namespace {

TEST(MessagesTest, TableIsInOrderWithEnglishTexts)
{
    EXPECT_NO_THROW(CheckPGLangStrEntries(PGLangStrEntries, PGLangStrEntryCount));
    EXPECT_STREQ(PGLangStrEntries[0].Texts[0], "");
    EXPECT_EQ(PGMessage(1), "X, Y index out of range");
    EXPECT_EQ(PGMessage(pgmNoPalette), "No palette");
    EXPECT_EQ(PGMessage(8), "black and white");
    EXPECT_EQ(PGMessage(15), "16.7 million colors");
    EXPECT_EQ(PGMessage(pgmNegativeWidth), "Negative width");
    EXPECT_EQ(PGMessage(pgmFailed, "CreateDIBSection"), "CreateDIBSection failed");
    EXPECT_EQ(PGMessage(43), "Cancel");
    EXPECT_EQ(PGMessage(44), "RGB Filter");
    EXPECT_EQ(PGMessage(83), "\xC2\xB0");
    EXPECT_EQ(PGMessage(85), "");
    EXPECT_EQ(PGMessage(-1), "");
    // Only record 25 fills the sixth column; the other languages are empty.
    for (int i = 0; i < PGLangStrEntryCount; ++i)
        for (int language = 1; language < PGLanguageCount; ++language) {
            const char* text = PGLangStrEntries[i].Texts[language];
            if (i == 25 && language == 5)
                EXPECT_STREQ(text, "Image files");
            else
                EXPECT_TRUE(!text || !*text) << i << " " << language;
        }
}

TEST(MessagesTest, PlaceholdersReplaceTheFirstOccurrenceOnly)
{
    EXPECT_EQ(PGMessage(pgmUnknownExtension, "gif"), "Unknown file extension \"gif\"");
    EXPECT_EQ(PGMessage(pgmColorResWarning, "Bitmap", "256 colors", "16 colors"),
              "The graphic cannot be saved to a Bitmap file with the current color resolution "
              "(256 colors).\r\rThe graphic will be saved with a different color resolution "
              "(16 colors).");
    EXPECT_EQ(PGMessage(pgmInvalid, "%S1"), "%S1 invalid");
    EXPECT_EQ(PGMessage(pgmIsEmpty, "A %S1"), "A %S1 is empty");
}

TEST(MessagesTest, StartUpCheckNamesTheFirstMisplacedRecord)
{
    std::vector<TPGLangStrEntry> table(PGLangStrEntries, PGLangStrEntries + PGLangStrEntryCount);
    std::swap(table[7], table[9]);
    try {
        CheckPGLangStrEntries(table.data(), PGLangStrEntryCount);
        ADD_FAILURE() << "no exception";
    } catch (const EPixelGraphic& e) {
        EXPECT_STREQ(e.what(), "PGLangStrEntries order wrong 7 and 9 are not identical");
    }
}

TEST(MessagesTest, OtherLanguagesFallBackToEnglish)
{
    MessageLanguage = 2;
    EXPECT_EQ(PGMessage(pgmNoPalette), "No palette");
    MessageLanguage = 99;
    EXPECT_EQ(PGMessage(pgmNoPalette), "No palette");
    MessageLanguage = 0;
}

} // namespace
} // namespace scenaria
