// The Explorer's file buttons on a real folder, with the window replaced by a file list read
// from disk.

#include "ui/ExplorerOps.h"

#include "TempDir.h"
#include "core/Settings.h"
#include "core/Wallpaper.h"
#include "fakes/FakePlatform.h"
#include "imaging/MessageBox.h"
#include "imaging/PixelGraphic.h"
#include "imaging/Types.h"
#include "platform/Trash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <jpeglib.h>
#include <set>
#include <sys/stat.h>
#include <vector>

namespace scenaria {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TFakePlatform;
using testing::TTempDir;

// The file list of one folder with a file-type filter, and a preview holding one picture.
class TFolderView : public IExplorerView {
public:
    std::string Folder;
    std::set<std::string> Shown{".jpg", ".bmp", ".gif"}; // lower-case extensions listed
    std::vector<std::string> Names;
    std::string Selected; // name
    std::unique_ptr<TPixelGraphic> Picture;
    std::optional<std::string> Typed; // what the input box gives back
    std::optional<int> Chosen;        // what the quality dialog gives back
    int InputBoxes = 0;
    int QualityAsked = -1;
    int Reloads = 0;
    int Repaints = 0;

    std::string SelectedPath() const override
    {
        return Selected.empty() ? std::string() : Folder + "/" + Selected;
    }
    void ReloadFileList() override
    {
        ++Reloads;
        Names.clear();
        for (const auto& entry : fs::directory_iterator(Folder)) {
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
            if (entry.is_regular_file() && Shown.count(ext))
                Names.push_back(entry.path().filename().string());
        }
        std::sort(Names.begin(), Names.end());
        if (std::find(Names.begin(), Names.end(), Selected) == Names.end())
            Selected.clear();
    }
    void ClearSelection() override { Selected.clear(); }
    std::string SelectFileNamed(const std::string& name) override
    {
        if (std::find(Names.begin(), Names.end(), name) == Names.end())
            return {};
        Selected = name;
        return SelectedPath();
    }
    void SavePreview(const std::string& fileName) override
    {
        if (!Picture)
            throw std::runtime_error("PixelGraphic is empty");
        Picture->SaveToFile(fileName);
    }
    void RepaintPreview() override { ++Repaints; }
    std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                        const std::string& text) override
    {
        ++InputBoxes;
        EXPECT_EQ(caption, "Rename file");
        EXPECT_EQ(prompt, "Rename To:");
        EXPECT_EQ(text, fs::path(text).filename().string());
        return Typed;
    }
    std::optional<int> AskQuality(int quality) override
    {
        QualityAsked = quality;
        return Chosen;
    }
};

std::unique_ptr<TPixelGraphic> TruePicture(int width = 16, int height = 8)
{
    auto picture = std::make_unique<TPixelGraphic>();
    picture->SetSize(width, height, bc24Bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture->SetPixelColor(x, y, RGB(x * 15, y * 30, 128));
    return picture;
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class ExplorerOpsTest : public ::testing::Test {
protected:
    ExplorerOpsTest()
    {
        fs::create_directories(Pics());
        fs::create_directories(Keep());
        view.Folder = Pics();
        state.HomeDir = Pics();
    }
    std::string Pics() const { return dir / "pics"; }
    std::string Keep() const { return dir / "keep"; }
    // A picture file in pics, previewed and selected as the Explorer leaves it.
    std::string Pick(const std::string& name, const std::string& content = "picture")
    {
        const std::string path = dir.Write("pics/" + name, content);
        view.ReloadFileList();
        view.Selected = name;
        state.CurrentFile = path;
        return path;
    }

    TTempDir dir;
    TExplorerState state;
    TFolderView view;
    TFakePlatform platform;
    TExplorerOps ops{state, view, platform};
};

TEST(UniqueSaveNameTest, NumbersAfterTheBareNameAndKeepsTheFolderSeparatorSingle)
{
    EXPECT_EQ(UniqueSaveName("/keep", "/pics/sunset.JPG", ".bmp", 0), "/keep/sunset.bmp");
    EXPECT_EQ(UniqueSaveName("/keep/", "/pics/sunset.JPG", ".bmp", 1), "/keep/sunset (1).bmp");
    EXPECT_EQ(UniqueSaveName("/keep", "/pics/sunset.JPG", ".jpg", 12), "/keep/sunset (12).jpg");
    EXPECT_EQ(UniqueSaveName("/keep", "/pics/noext", ".bmp", 0), "/keep/noext.bmp");
    EXPECT_EQ(UniqueSaveName("/keep", "/pi.cs/a.b.tga", ".jpg", 2), "/keep/a.b (2).jpg");
    EXPECT_EQ(FileExtensionOf("/pi.cs/name"), "");
    EXPECT_EQ(FileExtensionOf("/pics/PHOTO.Gif"), ".Gif");
}

TEST(SameFolderTest, IgnoresTrailingSeparatorsAndFollowsLinks)
{
    TTempDir dir;
    fs::create_directories(dir.Path() / "a");
    fs::create_directory_symlink(dir.Path() / "a", dir.Path() / "link");
    EXPECT_TRUE(SameFolder(dir / "a", dir / "a/"));
    EXPECT_TRUE(SameFolder(dir / "a", dir / "link"));
    EXPECT_TRUE(SameFolder("/no/such/x/../y", "/no/such/y/"));
    EXPECT_FALSE(SameFolder(dir / "a", dir.Path().string()));
}

TEST_F(ExplorerOpsTest, CopyAndMoveToTheFolderItselfAreRefusedAndTouchNothing)
{
    const std::string path = Pick("a.jpg", "original");
    state.HomeDir = Pics() + "/";
    ops.btCopyClick();
    EXPECT_EQ(state.Status1, "Cannot copy to self. Select a Home dir first");
    ops.btMoveClick();
    EXPECT_EQ(state.Status1, "Cannot move to self. Select a Home dir first");
    EXPECT_EQ(FilesIn(Pics()), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(ReadFile(path), "original");
    EXPECT_EQ(state.CurrentFile, path);
}

TEST_F(ExplorerOpsTest, CopyAndMoveNeverReplaceAFileInHome)
{
    const std::string path = Pick("a.jpg", "new");
    dir.Write("keep/a.jpg", "kept");
    state.HomeDir = Keep();
    ops.btCopyClick();
    EXPECT_EQ(state.Status1, "Could not copy " + path);
    ops.btMoveClick();
    EXPECT_EQ(state.Status1, "Could not move " + path);
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(ReadFile(Keep() + "/a.jpg"), "kept");
    EXPECT_EQ(state.CurrentFile, path);

    fs::remove(Keep() + "/a.jpg");
    ops.btCopyClick();
    EXPECT_EQ(state.Status1, "Succesfully copied to " + Keep() + "/a.jpg");
    EXPECT_EQ(ReadFile(Keep() + "/a.jpg"), "new");
    EXPECT_EQ(ReadFile(path), "new");
}

TEST_F(ExplorerOpsTest, MoveTakesThePreviewedFileAndEmptiesIt)
{
    const std::string path = Pick("a.jpg", "moved");
    state.HomeDir = Keep() + "/";
    ops.btMoveClick();
    EXPECT_EQ(state.Status1, "Succesfully moved to " + Keep() + "/a.jpg");
    EXPECT_EQ(ReadFile(Keep() + "/a.jpg"), "moved");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(state.CurrentFile, "");
    EXPECT_TRUE(view.Names.empty());
}

TEST_F(ExplorerOpsTest, RenameKeepsTheExtensionAndIgnoresAnUnchangedName)
{
    Pick("a.JPG", "x");
    view.Typed = "a.JPG";
    ops.btRenameClick();
    EXPECT_EQ(state.Status1, "");
    EXPECT_EQ(FilesIn(Pics()), std::vector<std::string>{"a.JPG"});

    view.Typed = "b";
    ops.btRenameClick();
    EXPECT_EQ(FilesIn(Pics()), std::vector<std::string>{"b.JPG"});
    EXPECT_EQ(state.Status1, "File renamed to b.JPG");
    EXPECT_EQ(state.Status0, "b.JPG");
    EXPECT_EQ(state.CurrentFile, Pics() + "/b.JPG");
    EXPECT_EQ(view.Selected, "b.JPG");

    view.Typed.reset(); // Cancel
    ops.btRenameClick();
    EXPECT_EQ(state.CurrentFile, Pics() + "/b.JPG");
    EXPECT_EQ(view.InputBoxes, 3);
}

TEST_F(ExplorerOpsTest, RenameOntoAnExistingNameIsRefused)
{
    Pick("b.jpg", "other");
    const std::string path = Pick("a.jpg", "mine");
    view.Typed = "b.jpg";
    ops.btRenameClick();
    EXPECT_EQ(state.Status1, "Could not rename a.jpg");
    EXPECT_EQ(ReadFile(path), "mine");
    EXPECT_EQ(ReadFile(Pics() + "/b.jpg"), "other");
    EXPECT_EQ(state.CurrentFile, path);
}

TEST_F(ExplorerOpsTest, RenameToAHiddenTypeLeavesTheOldPathForMoveToReport)
{
    const std::string path = Pick("a.jpg");
    view.Typed = "a.txt";
    ops.btRenameClick();
    EXPECT_EQ(state.Status1, "File renamed to a.txt");
    EXPECT_TRUE(view.Names.empty());
    EXPECT_EQ(state.CurrentFile, path);

    state.HomeDir = Keep();
    ops.btMoveClick();
    EXPECT_EQ(state.Status1, "Could not move " + path);
    EXPECT_TRUE(fs::exists(Pics() + "/a.txt"));
    EXPECT_TRUE(FilesIn(Keep()).empty());
}

TEST_F(ExplorerOpsTest, DeleteNeedsASelectionAndLeavesNothingForTheOtherButtons)
{
    const std::string path = Pick("a.jpg");
    view.Picture = TruePicture();
    view.Selected.clear();
    ops.btDeleteClick();
    EXPECT_TRUE(platform.Trashed.empty());
    EXPECT_EQ(state.Status1, "");

    view.Selected = "a.jpg";
    state.Status0 = "a.jpg";
    ops.btDeleteClick();
    EXPECT_EQ(platform.Trashed, std::vector<std::string>{path});
    EXPECT_EQ(state.Status1, "Deleted " + path);
    EXPECT_EQ(state.Status0, "");
    EXPECT_EQ(state.CurrentFile, "");
    EXPECT_EQ(view.SelectedPath(), "");
    EXPECT_EQ(view.Repaints, 1);

    // The preview still holds the picture, but nothing acts on the deleted file any more.
    state.HomeDir = Keep();
    view.Typed = "b";
    ops.btRenameClick();
    ops.btMoveClick();
    ops.btBMPClick();
    ops.btJPGClick();
    EXPECT_EQ(view.InputBoxes, 0);
    EXPECT_EQ(state.Status1, "Deleted " + path);
    EXPECT_TRUE(FilesIn(Keep()).empty());
}

TEST_F(ExplorerOpsTest, ARefusedDeleteIsReported)
{
    const std::string path = Pick("a.jpg");
    platform.TrashResult = TPlatformStatus::Failure("the trash refused it");
    ops.btDeleteClick();
    EXPECT_EQ(state.Status1, "Could not delete " + path);
    EXPECT_EQ(state.CurrentFile, path);
    EXPECT_TRUE(fs::exists(path));
}

#ifndef _WIN32 // the freedesktop trash; Windows has its recycle bin instead
// The trash of the system layer, kept in the test's own folder.
class TTrashPlatform : public TFakePlatform {
public:
    std::string DataHome;
    TPlatformStatus DeleteToRecycleBin(const std::string& file) override
    {
        const TTrashResult result = MoveToTrash(file, [this](const char* name) {
            return std::string(name) == "XDG_DATA_HOME" ? DataHome : std::string();
        });
        return result.Ok ? TPlatformStatus::Success() : TPlatformStatus::Failure(result.Error);
    }
};

TEST_F(ExplorerOpsTest, DeleteMovesTheFileIntoTheTrashWithItsInfoFile)
{
    TTrashPlatform trash;
    trash.DataHome = dir / "data";
    TExplorerOps trashOps{state, view, trash};
    const std::string path = Pick("sunset.jpg", "in the trash");
    trashOps.btDeleteClick();
    EXPECT_EQ(state.Status1, "Deleted " + path);
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ReadFile(dir / "data/Trash/files/sunset.jpg"), "in the trash");
    const std::string info = ReadFile(dir / "data/Trash/info/sunset.jpg.trashinfo");
    EXPECT_NE(info.find("Path=" + path), std::string::npos) << info;
}

#endif

TEST_F(ExplorerOpsTest, BmpOfABmpInItsOwnFolderWritesNumberedCopies)
{
    const std::string path = Pick("shot.bmp");
    view.Picture = TruePicture();
    view.Picture->SaveToFile(path);
    const std::string original = ReadFile(path);
    ops.btBMPClick();
    EXPECT_EQ(state.Status1, "Succesfully  saved as " + Pics() + "/shot (1).bmp");
    ops.btBMPClick();
    EXPECT_EQ(state.Status1, "Succesfully  saved as " + Pics() + "/shot (2).bmp");
    EXPECT_EQ(FilesIn(Pics()),
              (std::vector<std::string>{"shot (1).bmp", "shot (2).bmp", "shot.bmp"}));
    EXPECT_EQ(ReadFile(path), original);

    TPixelGraphic back;
    back.LoadFromFile(Pics() + "/shot (2).bmp");
    EXPECT_EQ(back.Width(), 16);
    EXPECT_EQ(back.GetPixelColor(3, 2), view.Picture->GetPixelColor(3, 2));
}

// The process's umask for as long as the object lives.
class TUmask {
public:
    explicit TUmask(mode_t mask) : old_(::umask(mask)) {}
    ~TUmask() { ::umask(old_); }
    TUmask(const TUmask&) = delete;
    TUmask& operator=(const TUmask&) = delete;

private:
    mode_t old_;
};

unsigned ModeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(ExplorerOpsTest, SavedPicturesGetTheModeOfAnyNewFileOfTheUser)
{
    Pick("photo.bmp");
    view.Picture = TruePicture();
    state.HomeDir = Keep();
    const std::vector<std::pair<mode_t, unsigned>> masks = {{022, 0644}, {027, 0640}, {002, 0664}};
    for (std::size_t i = 0; i < masks.size(); ++i) {
        const TUmask umask(masks[i].first);
        const std::string suffix = i == 0 ? "" : " (" + std::to_string(i) + ")";
        ops.btBMPClick();
        ASSERT_EQ(state.Status1, "Succesfully  saved as " + Keep() + "/photo" + suffix + ".bmp");
        ops.btJPGClick();
        ASSERT_EQ(state.Status1,
                  "Successfully saved as " + Keep() + "/photo" + suffix + ".jpg [80%]");
        EXPECT_EQ(ModeOf(Keep() + "/photo" + suffix + ".bmp"), masks[i].second) << i;
        EXPECT_EQ(ModeOf(Keep() + "/photo" + suffix + ".jpg"), masks[i].second) << i;
    }
    // Nothing hidden is left beside them.
    EXPECT_EQ(FilesIn(Keep()).size(), 6u);
}

TEST_F(ExplorerOpsTest, AFailedBmpSaveIsReportedAndLeavesNoFile)
{
    const std::string path = Pick("a.jpg");
    ops.btBMPClick(); // the preview holds nothing
    EXPECT_EQ(state.Status1, "Could not save as bitmap " + path);
    state.HomeDir = dir / "missing";
    view.Picture = TruePicture();
    ops.btBMPClick();
    EXPECT_EQ(state.Status1, "Could not save as bitmap " + path);
    EXPECT_EQ(FilesIn(Pics()), std::vector<std::string>{"a.jpg"});
}

// The luminance quantisation table of a JPEG file, as libjpeg reads it.
std::vector<int> LuminanceTable(const std::string& file)
{
    std::vector<int> table;
    FILE* in = std::fopen(file.c_str(), "rb");
    if (!in)
        return table;
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, in);
    if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK && cinfo.quant_tbl_ptrs[0])
        table.assign(cinfo.quant_tbl_ptrs[0]->quantval, cinfo.quant_tbl_ptrs[0]->quantval + 64);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(in);
    return table;
}

// The table libjpeg itself makes for a quality.
std::vector<int> TableForQuality(int quality)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    std::vector<int> table(cinfo.quant_tbl_ptrs[0]->quantval,
                           cinfo.quant_tbl_ptrs[0]->quantval + 64);
    jpeg_destroy_compress(&cinfo);
    return table;
}

TEST_F(ExplorerOpsTest, JpegIsSavedAtTheChosenQuality)
{
    Pick("photo.bmp");
    view.Picture = TruePicture(64, 48);
    state.HomeDir = Keep();
    view.Chosen = 50;
    ops.btQualityClick();
    EXPECT_EQ(view.QualityAsked, 80);
    ASSERT_EQ(state.Quality, 50);
    ops.btJPGClick();
    const std::string saved = Keep() + "/photo.jpg";
    EXPECT_EQ(state.Status1, "Successfully saved as " + saved + " [50%]");
    ASSERT_TRUE(fs::exists(saved));
    EXPECT_EQ(LuminanceTable(saved), TableForQuality(50));
    EXPECT_NE(LuminanceTable(saved), TableForQuality(80));

    ops.btJPGClick();
    EXPECT_EQ(state.Status1, "Successfully saved as " + Keep() + "/photo (1).jpg [50%]");
    EXPECT_EQ(FilesIn(Keep()), (std::vector<std::string>{"photo (1).jpg", "photo.jpg"}));
}

TEST_F(ExplorerOpsTest, QualityKeepsItsValueUnlessTheDialogSaysOk)
{
    ops.btQualityClick(); // Cancel
    EXPECT_EQ(state.Quality, 80);
    view.Chosen = 0;
    ops.btQualityClick();
    EXPECT_EQ(state.Quality, 0);
    view.Chosen = 180;
    ops.btQualityClick();
    EXPECT_EQ(state.Quality, 100);
}

TEST_F(ExplorerOpsTest, APalettePictureAsksBeforeJpegAndCancelLeavesNoFile)
{
    Pick("logo.bmp");
    view.Picture = std::make_unique<TPixelGraphic>();
    view.Picture->SetSize(8, 8, bc8Bit);
    view.Picture->SetPaletteCount(2);
    view.Picture->SetPaletteEntry(0, RGB(255, 0, 0));
    view.Picture->SetPaletteEntry(1, RGB(0, 0, 255));
    state.HomeDir = Keep();
    state.Status1 = "before";

    int asked = 0;
    TPGMessageAnswer answer = pgmaCancel;
    const auto previous = SetPGMessageBoxHook(
        [&](const std::string&, const std::string&, TPGMessageButtons buttons, TPGMessageIcon) {
            ++asked;
            EXPECT_EQ(buttons, pgmbOKCancel);
            return answer;
        });
    EXPECT_THROW(ops.btJPGClick(), std::exception);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(state.Status1, "before");
    EXPECT_TRUE(FilesIn(Keep()).empty());

    answer = pgmaOK;
    ops.btJPGClick();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(FilesIn(Keep()), std::vector<std::string>{"logo.jpg"});
    SetPGMessageBoxHook(previous);
}

TEST_F(ExplorerOpsTest, WallpaperTakesASelectedGifElseThePreviewedPicture)
{
    Settings.SaveFolder = dir / "save";
    Settings.Tile = 0;
    const std::string bmp = Pick("shot.bmp");
    TruePicture()->SaveToFile(bmp);
    dir.Write("pics/anim.gif", "GIF89a");
    view.Selected = "anim.gif";
    // The GIF is refused without an error, and that ends the operation.
    ops.btWallpaperClick();
    EXPECT_TRUE(platform.Installs.empty());
    EXPECT_EQ(state.Status1, "");

    view.Selected = "shot.bmp";
    ops.btWallpaperClick();
    ASSERT_EQ(platform.Installs.size(), 1u);
    EXPECT_TRUE(WallpaperShown);
    EXPECT_EQ(state.Status1, "");
}

} // namespace
} // namespace scenaria
