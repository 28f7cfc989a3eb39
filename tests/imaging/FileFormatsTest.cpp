#include "FormatTestSupport.h"

#include "imaging/FileFormats.h"
#include "imaging/MessageBox.h"
#include "imaging/Messages.h"
#include "imaging/Stream.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace scenaria {
namespace {

using testing::DataFile;
using testing::ReadFile;
using testing::TTempDir;

// Readers and writers that only say who they are, for registries made by the tests.
class TFakeReader : public TFileFormatReader {
public:
    TFakeReader(std::string extension, bool canDetect, std::uint8_t signature = 0)
        : TFileFormatReader("TFake", std::move(extension), "Fake", canDetect), signature_(signature)
    {
    }
    bool CanRead(const TFileHeader& header) const override { return header[0] == signature_; }

private:
    std::uint8_t signature_;
};

class TFakeWriter : public TFileFormatWriter {
public:
    TFakeWriter(std::string extension, TColorResolutions resolutions)
        : TFileFormatWriter("TFakeFileFormatWriter", std::move(extension), "Fake Format",
                            resolutions)
    {
    }
    void Write(TPGStream&, TPixelGraphic& image) const override { written = &image; }
    mutable const TPixelGraphic* written = nullptr;
};

// Installs a message box hook for one test and removes it afterwards.
class THookScope {
public:
    explicit THookScope(TPGMessageBoxHook hook)
    {
        previous_ = SetPGMessageBoxHook(std::move(hook));
    }
    ~THookScope() { SetPGMessageBoxHook(std::move(previous_)); }

private:
    TPGMessageBoxHook previous_;
};

std::vector<std::string> Extensions(const auto& list)
{
    std::vector<std::string> result;
    for (const auto& entry : list)
        result.push_back(entry->Extension());
    return result;
}

TEST(FileFormatRegistryTest, ListsSearchInExtensionOrder)
{
    TFileFormatRegistry registry;
    for (const char* ext : {"tif", "bmp", "tga", "png", "dib", "jpg", "jif", "jpeg"})
        registry.AddReader(std::make_unique<TFakeReader>(ext, true, 1));
    registry.AddWriter(std::make_unique<TFakeWriter>("PNG", AllColorResolutions));
    registry.AddWriter(std::make_unique<TFakeWriter>(".bmp", AllColorResolutions));
    EXPECT_EQ(Extensions(registry.Readers()),
              (std::vector<std::string>{"bmp", "dib", "jif", "jpeg", "jpg", "png", "tga", "tif"}));
    EXPECT_EQ(Extensions(registry.Writers()), (std::vector<std::string>{"bmp", "png"}));
    // All accept the same signature: the first in extension order wins.
    TFileHeader header{};
    header[0] = 1;
    EXPECT_EQ(registry.FindReader(header, "")->Extension(), "bmp");

    // The library's own lists are in that order too, with every format it reads.
    const auto readers = Extensions(FileFormats().Readers());
    EXPECT_TRUE(std::is_sorted(readers.begin(), readers.end()));
    EXPECT_THAT(readers, ::testing::IsSupersetOf({"bmp", "dib", "rle"}));
    const auto writers = Extensions(FileFormats().Writers());
    EXPECT_TRUE(std::is_sorted(writers.begin(), writers.end()));
    EXPECT_THAT(writers, ::testing::IsSupersetOf({"bmp", "dib"}));
    ASSERT_NE(FileFormats().StreamWriter(), nullptr);
    EXPECT_EQ(FileFormats().StreamWriter()->Extension(), "bmp");
}

TEST(FileFormatRegistryTest, ContentWinsAndExtensionsOnlyChooseReadersWithoutSignature)
{
    TFileFormatRegistry registry;
    registry.AddReader(std::make_unique<TFakeReader>("pcx", true, 10));
    registry.AddReader(std::make_unique<TFakeReader>("tga", false));
    TFileHeader header{};
    header[0] = 10;
    // A Targa file whose identification field is 10 bytes long looks like PCX.
    EXPECT_EQ(registry.FindReader(header, "tga")->Extension(), "pcx");
    header[0] = 0;
    EXPECT_EQ(registry.FindReader(header, "tga")->Extension(), "tga");
    EXPECT_EQ(registry.FindReader(header, ".TGA")->Extension(), "tga");
    EXPECT_EQ(registry.FindReader(header, "pcx"), nullptr); // pcx has a signature to match
    EXPECT_EQ(registry.FindReader(header, ""), nullptr);
}

TEST(FileFormatRegistryTest, TargaLikeDataWithFirstByteTenGoesToPcxWhenItExists)
{
    // 18-byte Targa header with a 10-byte identification field.
    std::string tga(18 + 10 + 4, '\0');
    tga[0] = 10;
    tga[2] = 2;
    tga[12] = 1;
    tga[14] = 1;
    tga[16] = 24;
    TPGBufferStream stream(tga.data(), tga.size());
    const TFileFormatReader* reader = FileFormats().FindReader(stream, "tga");
    bool pcxExists = false;
    for (const auto& r : FileFormats().Readers())
        pcxExists = pcxExists || r->Extension() == "pcx";
    if (pcxExists) {
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(reader->Extension(), "pcx");
    } else {
        TPixelGraphic image;
        TPGBufferStream again(tga.data(), tga.size());
        try {
            image.LoadFromStreamAs(again, "tga");
            ADD_FAILURE() << "loaded";
        } catch (const EPGUnknownFileFormat& e) {
            EXPECT_STREQ(e.what(), "Unknown file format");
        }
    }
}

TEST(FileFormatRegistryTest, ProbeReadsSeventeenBytesZeroPaddedAndRestoresThePosition)
{
    const std::string data = "xxBM";
    TPGBufferStream stream(data.data(), data.size());
    stream.Seek(2);
    const TFileHeader header = PeekFileHeader(stream);
    EXPECT_EQ(header[0], 'B');
    EXPECT_EQ(header[1], 'M');
    for (std::size_t i = 2; i < FileHeaderSize; ++i)
        EXPECT_EQ(header[i], 0) << i;
    EXPECT_EQ(stream.Position(), 2u);
    // Two bytes "BM" are recognised as a bitmap, which then fails on its own terms.
    TPixelGraphic image;
    TPGBufferStream shortBmp("BM", 2);
    try {
        image.LoadFromStream(shortBmp);
        ADD_FAILURE() << "loaded";
    } catch (const EPGBMPFileFormatReader& e) {
        EXPECT_STREQ(e.what(), "BMP: Unexpected end of file");
    }
}

TEST(FileFormatRegistryTest, UnknownDataAndExtensionsRaise)
{
    TTempDir dir;
    TPixelGraphic image;
    image.SetSize(4, 4, bc24Bit);
    for (const char* content : {"", "plain text, not a picture", "GIF89a\x01\x00\x01\x00"}) {
        const std::string file = dir.Write("picture.bmp", content);
        try {
            image.LoadFromFile(file);
            ADD_FAILURE() << "loaded " << content;
        } catch (const EPGUnknownFileFormat& e) {
            EXPECT_STREQ(e.what(), "Unknown file format");
        }
        // Loading starts with an empty image, whatever happens next.
        EXPECT_TRUE(image.Empty());
    }
    for (const char* name : {"out.gif", "out.GIF", "out", "dir.bmp/out"}) {
        try {
            image.SaveToFile(dir / name);
            ADD_FAILURE() << "saved " << name;
        } catch (const EPGUnknownExtension& e) {
            const std::string ext =
                std::string(name) == "out" || std::string(name) == "dir.bmp/out" ? "" : "gif";
            EXPECT_EQ(e.what(), "Unknown file extension \"" + ext + "\"");
        }
        EXPECT_FALSE(std::filesystem::exists(dir / name));
    }
    TFileFormatRegistry empty;
    try {
        empty.FindWriter("bmp");
        ADD_FAILURE() << "found a writer";
    } catch (const EPGFileFormatWritersEmpty& e) {
        EXPECT_STREQ(e.what(), "FileFormatWriters is empty");
    }
    EXPECT_THROW(image.LoadFromFile(dir / "missing.bmp"), EFOpenError);
}

TEST(FileFormatRegistryTest, ExtensionHelpers)
{
    EXPECT_EQ(FileNameExtension("/a/b/Picture.JPG"), "jpg");
    EXPECT_EQ(FileNameExtension("/a/b.c/picture"), "");
    EXPECT_EQ(FileNameExtension("picture."), "");
    EXPECT_EQ(NormalizeExtension(".TiFf"), "tiff");
}

TEST(ColorResolutionTest, PreferenceTableByWriter)
{
    // For each current code, the code chosen by writers that store only some.
    struct TRow {
        TColorResolutions Set;
        std::array<int, 8> Chosen;
    };
    const TRow rows[] = {
        {ColorResolutions({cr256Grays, crTrueColor}), {5, 7, 5, 7, 7, 5, 7, 7}},
        {ColorResolutions({crBlackWhite}), {0, 0, 0, 0, 0, 0, 0, 0}},
        {ColorResolutions({cr256Grays}), {5, 5, 5, 5, 5, 5, 5, 5}},
        {ColorResolutions({cr256Colors, crTrueColor}), {6, 6, 6, 6, 6, 6, 6, 7}},
        {ColorResolutions({crBlackWhite, cr16Grays, cr16SysColors, cr16Colors, cr256Grays,
                           cr256Colors, crTrueColor}),
         {0, 4, 2, 3, 4, 5, 6, 7}},
        {ColorResolutions({cr2Colors}), {1, 1, 1, 1, 1, 1, 1, 1}},
        {ColorResolutions({cr16SysColors, cr16Grays}), {2, 3, 2, 3, 3, 2, 3, 3}},
    };
    for (const TRow& row : rows) {
        for (int current = 0; current < 8; ++current) {
            TColorResolution chosen = crTrueColor;
            ASSERT_TRUE(
                ChooseColorResolution(static_cast<TColorResolution>(current), row.Set, chosen));
            EXPECT_EQ(chosen, row.Chosen[current])
                << "set " << int(row.Set) << " current " << current;
        }
    }
    TColorResolution chosen = crTrueColor;
    EXPECT_FALSE(ChooseColorResolution(cr16Colors, 0, chosen));
    EXPECT_EQ(ColorResolutionName(crBlackWhite), "black and white");
    EXPECT_EQ(ColorResolutionName(crTrueColor), "16.7 million colors");
}

TEST(ColorResolutionTest, CodesFollowBitCountAndPalette)
{
    TPixelGraphic image;
    image.SetSize(2, 2, bc1Bit);
    image.SetPaletteIdent(pBlackWhite);
    EXPECT_EQ(ColorResolutionOf(image), crBlackWhite);
    image.SetPaletteEntry(1, RGB(255, 0, 0));
    EXPECT_EQ(ColorResolutionOf(image), cr2Colors);
    image.SetSize(2, 2, bc4Bit);
    image.SetPaletteIdent(pGray16);
    EXPECT_EQ(ColorResolutionOf(image), cr16Grays);
    image.SetPaletteIdent(pSys16);
    EXPECT_EQ(ColorResolutionOf(image), cr16SysColors);
    image.SetPaletteEntry(3, RGB(1, 2, 3));
    EXPECT_EQ(ColorResolutionOf(image), cr16Colors);
    image.SetSize(2, 2, bc8Bit);
    image.SetPaletteIdent(pGray256);
    EXPECT_EQ(ColorResolutionOf(image), cr256Grays);
    image.SetPaletteIdent(pSpecial216);
    EXPECT_EQ(ColorResolutionOf(image), cr256Colors);
    image.SetSize(2, 2, bc24Bit);
    EXPECT_EQ(ColorResolutionOf(image), crTrueColor);
}

// An 8-bit image with an arbitrary palette: code 6.
void MakePaletteImage(TPixelGraphic& image)
{
    image.SetSize(8, 8, bc8Bit);
    image.SetPaletteCount(3);
    image.SetPaletteEntry(0, RGB(200, 10, 10));
    image.SetPaletteEntry(1, RGB(10, 200, 10));
    image.SetPaletteEntry(2, RGB(10, 10, 200));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            image.SetPixel(x, y, (x + y) % 3);
}

TEST(ColorResolutionTest, WarningActionsDecideWhetherACopyIsConverted)
{
    const TFakeWriter trueColorOnly("tc", ColorResolutions({crTrueColor}));
    TPixelGraphic image;
    MakePaletteImage(image);

    image.SaveColorResWarningAction = pgwaRaise;
    try {
        PrepareForWriter(trueColorOnly, image);
        ADD_FAILURE() << "converted";
    } catch (const EPGCannotWriteColorRes& e) {
        EXPECT_STREQ(e.what(), "The graphic cannot be saved with to a Fake Format file with the "
                               "current color resolution (256 colors)");
    }

    image.SaveColorResWarningAction = pgwaIgnore;
    const auto copy = PrepareForWriter(trueColorOnly, image);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->BitCount(), bc24Bit);
    EXPECT_EQ(copy->GetPixel(1, 0), RGB(10, 200, 10));
    // The image itself is left as it was.
    EXPECT_EQ(image.BitCount(), bc8Bit);
    EXPECT_EQ(image.PaletteCount(), 3);

    // A writer that takes the image as it is gets no copy and no question.
    int asked = 0;
    const THookScope hook(
        [&](const std::string&, const std::string&, TPGMessageButtons, TPGMessageIcon) {
            ++asked;
            return pgmaCancel;
        });
    image.SaveColorResWarningAction = pgwaRaise;
    EXPECT_EQ(PrepareForWriter(TFakeWriter("all", AllColorResolutions), image), nullptr);
    EXPECT_EQ(asked, 0);
}

TEST(ColorResolutionTest, MessageBoxesAskThroughTheHook)
{
    const TFakeWriter grayOrTrue("jx", ColorResolutions({cr256Grays, crTrueColor}));
    TPixelGraphic image;
    MakePaletteImage(image);

    struct TCall {
        std::string Caption, Text;
        TPGMessageButtons Buttons;
        TPGMessageIcon Icon;
    };
    std::vector<TCall> calls;
    TPGMessageAnswer answer = pgmaCancel;
    {
        const THookScope hook([&](const std::string& caption, const std::string& text,
                                  TPGMessageButtons buttons, TPGMessageIcon icon) {
            calls.push_back({caption, text, buttons, icon});
            return answer;
        });
        const std::string expected =
            "The graphic cannot be saved to a Fake Format file with the current color resolution "
            "(256 colors).\r\rThe graphic will be saved with a different color resolution (16.7 "
            "million colors).";

        // An OK box informs and goes on whatever the answer.
        image.SaveColorResWarningAction = pgwaOKBox;
        EXPECT_NE(PrepareForWriter(grayOrTrue, image), nullptr);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].Caption, "Warning");
        EXPECT_EQ(calls[0].Text, expected);
        EXPECT_EQ(calls[0].Buttons, pgmbOK);
        EXPECT_EQ(calls[0].Icon, pgmiWarning);

        // An OK/Cancel box goes on only with OK.
        image.SaveColorResWarningAction = pgwaOKCancelBox;
        answer = pgmaOK;
        EXPECT_NE(PrepareForWriter(grayOrTrue, image), nullptr);
        answer = pgmaCancel;
        EXPECT_THROW(PrepareForWriter(grayOrTrue, image), EPGCannotWriteColorRes);
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_EQ(calls[2].Buttons, pgmbOKCancel);
        EXPECT_EQ(calls[2].Text, expected);
    }
    // Without a hook nobody can agree to a change, but an OK box is no question.
    image.SaveColorResWarningAction = pgwaOKCancelBox;
    EXPECT_THROW(PrepareForWriter(grayOrTrue, image), EPGCannotWriteColorRes);
    image.SaveColorResWarningAction = pgwaOKBox;
    EXPECT_NE(PrepareForWriter(grayOrTrue, image), nullptr);
    EXPECT_EQ(calls.size(), 3u);
}

TEST(ColorResolutionTest, ConversionsForEachTarget)
{
    TPixelGraphic image;
    image.SetSize(16, 4, bc24Bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 16; ++x)
            image.SetPixel(x, y, RGB(x * 16, y * 60, 255 - x * 16));
    image.SaveColorResWarningAction = pgwaIgnore;
    struct TCase {
        TColorResolutions Set;
        TBitCount Bits;
        TPaletteIdent Ident;
        int MaxEntries;
    };
    for (const TCase c : {TCase{ColorResolutions({crBlackWhite}), bc1Bit, pBlackWhite, 2},
                          TCase{ColorResolutions({cr2Colors}), bc1Bit, pUnknown, 2},
                          TCase{ColorResolutions({cr16Grays}), bc4Bit, pGray16, 16},
                          TCase{ColorResolutions({cr16SysColors}), bc4Bit, pSys16, 16},
                          TCase{ColorResolutions({cr16Colors}), bc4Bit, pUnknown, 16},
                          TCase{ColorResolutions({cr256Grays}), bc8Bit, pGray256, 256},
                          TCase{ColorResolutions({cr256Colors}), bc8Bit, pUnknown, 252}}) {
        const auto copy = PrepareForWriter(TFakeWriter("x", c.Set), image);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->BitCount(), c.Bits);
        EXPECT_EQ(copy->Width(), 16);
        EXPECT_EQ(copy->Height(), 4);
        if (c.Ident != pUnknown) {
            EXPECT_EQ(copy->PaletteIdent(), c.Ident);
        }
        EXPECT_LE(copy->PaletteCount(), c.MaxEntries);
    }
    // A black-and-white image saved where only grey is stored keeps its two levels.
    TPixelGraphic bw;
    bw.SetSize(4, 1, bc1Bit);
    bw.SetPaletteIdent(pBlackWhite);
    bw.SetPixel(1, 0, 1);
    bw.SaveColorResWarningAction = pgwaIgnore;
    const auto gray = PrepareForWriter(TFakeWriter("g", ColorResolutions({cr256Grays})), bw);
    ASSERT_NE(gray, nullptr);
    EXPECT_EQ(gray->PaletteIdent(), pGray256);
    EXPECT_EQ(gray->GetPixel(0, 0), 0u);
    EXPECT_EQ(gray->GetPixel(1, 0), 255u);

    try {
        PrepareForWriter(TFakeWriter("none", 0), image);
        ADD_FAILURE() << "converted";
    } catch (const EPGCanWriteResolutionsEmpty& e) {
        EXPECT_STREQ(e.what(), "TFakeFileFormatWriter.CanWriteResolutions is empty");
    }
}

TEST(MessageBoxHookTest, DefaultsWithoutAHookAndReplacement)
{
    EXPECT_EQ(PGMessageBox("c", "t", pgmbOK, pgmiWarning), pgmaOK);
    EXPECT_EQ(PGMessageBox("c", "t", pgmbOKCancel, pgmiWarning), pgmaCancel);
    TPGMessageBoxHook first = [](const std::string&, const std::string&, TPGMessageButtons,
                                 TPGMessageIcon) { return pgmaOK; };
    EXPECT_FALSE(SetPGMessageBoxHook(first));
    EXPECT_EQ(PGMessageBox("c", "t", pgmbOKCancel, pgmiWarning), pgmaOK);
    EXPECT_TRUE(SetPGMessageBoxHook({}));
    EXPECT_EQ(PGMessageBox("c", "t", pgmbOKCancel, pgmiWarning), pgmaCancel);
}

// Saves in a child process whose files may not grow beyond limit bytes, so that writing fails
// half way the way a full disk makes it fail. Returns whether the save failed with a stream
// write error.
bool SaveFailsHalfWay(const TPixelGraphic& image, const std::string& file, std::uintmax_t limit)
{
    return testing::WithFileSizeLimit(limit, [&] {
               try {
                   const_cast<TPixelGraphic&>(image).SaveToFile(file);
               } catch (const EWriteError&) {
                   return 0;
               } catch (...) {
                   return 2;
               }
               return 1;
           }) == 0;
}

TEST(SaveToFileTest, AFailedSaveLeavesNoNewFileAndKeepsAnOldOne)
{
    TTempDir dir;
    TPixelGraphic image;
    image.SetSize(200, 200, bc24Bit);
    const std::string fresh = dir / "fresh.bmp";
    EXPECT_TRUE(SaveFailsHalfWay(image, fresh, 4096));
    EXPECT_FALSE(std::filesystem::exists(fresh));

    const std::string old = dir.Write("old.bmp", "the user's own picture");
    EXPECT_TRUE(SaveFailsHalfWay(image, old, 4096));
    EXPECT_EQ(ReadFile(old), "the user's own picture");
    // Nothing else is left in the folder either.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(SaveToFileTest, ReplacesFilesKeepingTheirPermissionsAndLinks)
{
    TTempDir dir;
    TPixelGraphic image;
    image.SetSize(3, 3, bc24Bit);
    image.SetPixel(1, 1, RGB(1, 2, 3));
    const std::string file = dir.Write("picture.bmp", "old content");
    std::filesystem::permissions(file, std::filesystem::perms(0640));
    image.SaveToFile(file);
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0640));
    TPixelGraphic loaded;
    loaded.LoadFromFile(file);
    EXPECT_EQ(loaded.GetPixel(1, 1), RGB(1, 2, 3));

    const std::string link = dir / "link.bmp";
    std::filesystem::create_symlink(file, link);
    image.SetPixel(1, 1, RGB(4, 5, 6));
    image.SaveToFile(link);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    loaded.LoadFromFile(file);
    EXPECT_EQ(loaded.GetPixel(1, 1), RGB(4, 5, 6));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);

    // A file the user may not write is not replaced behind their back.
    const std::string locked = dir.Write("locked.bmp", "read only");
    std::filesystem::permissions(locked, std::filesystem::perms(0444));
    std::filesystem::permissions(dir.Path(), std::filesystem::perms(0777));
    EXPECT_TRUE(testing::AsUnprivilegedUser([&] {
        try {
            image.SaveToFile(locked);
            return false;
        } catch (const EFCreateError&) {
            return ReadFile(locked) == "read only";
        }
    }));
}

TEST(SaveToFileTest, AFolderThatCannotBeCreatedInFailsWithoutTrace)
{
    TTempDir dir;
    TPixelGraphic image;
    image.SetSize(2, 2, bc24Bit);
    EXPECT_THROW(image.SaveToFile(dir / "missing/picture.bmp"), EFCreateError);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(StreamingTest, SaveToStreamAndFormStreamingKeepAPictureInsideAStream)
{
    TPixelGraphic image;
    image.SetSize(5, 3, bc4Bit);
    image.SetPaletteIdent(pSys16);
    image.SetPixel(4, 2, 12);

    TPGMemoryStream stream;
    stream.Write("head", 4);
    image.WriteData(stream);
    stream.Write("tail", 4);
    const auto& data = stream.Data();
    const std::uint32_t length = data[4] | data[5] << 8 | data[6] << 16 | data[7] << 24;
    EXPECT_EQ(length, data.size() - 4 - 4 - 4);
    EXPECT_EQ(data[8], 'B');

    stream.Seek(4);
    TPixelGraphic loaded;
    loaded.ReadData(stream);
    EXPECT_EQ(stream.Position(), 8u + length);
    EXPECT_EQ(loaded.Width(), 5);
    EXPECT_EQ(loaded.PaletteIdent(), pSys16);
    EXPECT_EQ(loaded.GetPixel(4, 2), 12u);

    // A length beyond the stream fails cleanly as a short bitmap.
    TPGMemoryStream broken;
    broken.Write("\xff\xff\xff\x7f"
                 "BM",
                 6);
    broken.Seek(0);
    EXPECT_THROW(loaded.ReadData(broken), EPGBMPFileFormatReader);

    // SaveToStream writes a bitmap whatever the image holds.
    TPGMemoryStream plain;
    image.SaveToStream(plain);
    plain.Seek(0);
    loaded.LoadFromStream(plain);
    EXPECT_EQ(loaded.GetPixel(4, 2), 12u);
}

TEST(StreamingTest, LoadingNotifiesOnceAndResetsTheImage)
{
    TPixelGraphic source;
    source.SetSize(2, 2, bc8Bit);
    source.SetPaletteIdent(pGray256);
    TPGMemoryStream stream;
    source.SaveToStream(stream);

    TPixelGraphic image;
    image.SetSize(9, 9, bc24Bit);
    int changes = 0;
    image.OnChange = [&](TPixelGraphic&) { ++changes; };
    stream.Seek(0);
    image.LoadFromStream(stream);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(image.PaletteIdent(), pGray256);
    EXPECT_EQ(image.Width(), 2);

    // A failure still ends the update, so the next change is reported.
    TPGBufferStream junk("junk", 4);
    EXPECT_THROW(image.LoadFromStream(junk), EPGUnknownFileFormat);
    EXPECT_EQ(changes, 2);
    image.SetSize(1, 1, bc24Bit);
    EXPECT_EQ(changes, 3);
}

} // namespace
} // namespace scenaria

namespace scenaria {
namespace {

TEST(StreamingTest, EmptyReadsTouchNoBuffer)
{
    // Readers ask for zero bytes (an empty colour table) with no buffer behind them.
    const std::uint8_t bytes[] = {1, 2, 3};
    TPGBufferStream buffer(bytes, sizeof bytes);
    EXPECT_EQ(buffer.Read(nullptr, 0), 0u);
    TPGMemoryStream memory(std::vector<std::uint8_t>{1, 2, 3});
    EXPECT_EQ(memory.Read(nullptr, 0), 0u);
    std::uint8_t out[4] = {};
    EXPECT_EQ(buffer.Read(out, 4), 3u);
    EXPECT_EQ(buffer.Read(out, 4), 0u);
}

} // namespace
} // namespace scenaria
