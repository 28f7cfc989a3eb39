#include "core/Catalogue.h"
#include "core/Random.h"
#include "core/Settings.h"

#include "TempDir.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace scenaria {
namespace {

using ::testing::ElementsAre;
using testing::TTempDir;
using ::testing::UnorderedElementsAre;

// The entries of a folder in the order the file system lists them.
std::vector<std::string> ListingOrder(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

TEST(FileTypes, TableAndFilterText)
{
    EXPECT_STREQ(PictureFileTypes[0].Extensions,
                 "|bmp|dib|jif|jpeg|jpg|pbm|pcx|pgm|png|ppm|rle|tga|tif|tiff|webp|heic|heif|avif|"
                 "jxl|");
    EXPECT_STREQ(PictureFileTypes[12].Name, "TIFF files");
    EXPECT_STREQ(PictureFileTypes[13].Name, "WebP files");
    EXPECT_STREQ(PictureFileTypes[16].Name, "JPEG XL files");
    const std::string filter = PictureFileTypeFilter();
    EXPECT_EQ(filter.rfind("All graphic files|*.bmp;*.dib;", 0), 0u);
    EXPECT_NE(filter.find("|Internet Files|*.jpg;*.gif|Windows Bitmaps|"), std::string::npos);
    EXPECT_NE(filter.find("|TIFF files|*.tiff;*.tif|WebP files|*.webp|HEIF files|*.heic;*.heif|"
                          "AVIF files|*.avif|JPEG XL files|*.jxl"),
              std::string::npos);
}

TEST(FileTypes, ExtensionMatching)
{
    EXPECT_TRUE(MatchesFileType("b.JPG", 0));
    EXPECT_TRUE(MatchesFileType("a.jpeg", 0));
    EXPECT_TRUE(MatchesFileType("archive.tar.Tiff", 0));
    EXPECT_FALSE(MatchesFileType("c.txt", 0));
    EXPECT_FALSE(MatchesFileType("notes", 0));
    EXPECT_FALSE(MatchesFileType("jpg", 0));
    EXPECT_FALSE(MatchesFileType("picture.", 0));
    EXPECT_FALSE(MatchesFileType("photo.jp", 0)) << "whole extensions only";
    EXPECT_FALSE(MatchesFileType("odd.bmp|dib", 0)) << "a '|' in a name must not span the list";
    EXPECT_FALSE(MatchesFileType("anim.gif", 0));
    EXPECT_TRUE(MatchesFileType("anim.gif", 1));
    EXPECT_TRUE(MatchesFileType("anim.GIF", 5));
    for (int type : {2, 3, 4, 6, 7, 8, 9, 10, 11, 12})
        EXPECT_FALSE(MatchesFileType("anim.gif", type)) << type;
    EXPECT_TRUE(MatchesFileType("x.tif", 12));
    EXPECT_FALSE(MatchesFileType("x.png", 12));
    // The newer formats: in the first row and each in a row of its own after the old ones.
    for (const char* name : {"a.webp", "b.HEIC", "c.heif", "d.avif", "e.jxl"})
        EXPECT_TRUE(MatchesFileType(name, 0)) << name;
    EXPECT_TRUE(MatchesFileType("a.webp", 13));
    EXPECT_TRUE(MatchesFileType("b.heic", 14));
    EXPECT_TRUE(MatchesFileType("c.heif", 14));
    EXPECT_TRUE(MatchesFileType("d.avif", 15));
    EXPECT_TRUE(MatchesFileType("e.jxl", 16));
    EXPECT_FALSE(MatchesFileType("e.jxl", 15));
    for (int type : {1, 2, 7, 11, 12})
        EXPECT_FALSE(MatchesFileType("a.webp", type)) << type;
    for (int type : {-1, 17, 1000})
        EXPECT_FALSE(MatchesFileType("x.bmp", type)) << "type " << type << " selects nothing";
}

TEST(FolderExists, Rules)
{
    TTempDir dir;
    dir.Write("sub/file.bmp");
    EXPECT_FALSE(FolderExists(""));
    EXPECT_TRUE(FolderExists("/"));
    EXPECT_TRUE(FolderExists(dir / "sub"));
    EXPECT_FALSE(FolderExists(dir / "sub/")) << "a trailing slash counts as missing";
    EXPECT_FALSE(FolderExists(dir / "sub" + "/")) << "whichever separator ends it";
    EXPECT_FALSE(FolderExists(dir / "sub/file.bmp"));
    EXPECT_FALSE(FolderExists(dir / "none"));
}

class CatalogueTest : public ::testing::Test {
protected:
    TSettings settings;
    TTempDir dir;
    TCatalogue catalogue{"stale entry"};
};

TEST_F(CatalogueTest, TakesPicturesInListingOrder)
{
    for (const char* name : {"b.JPG", "a.jpeg", "c.txt", "notes", ".hidden.png", "d.gif"})
        dir.Write(name);
    settings.Directory = dir.Path().string();
    RebuildCatalogue(catalogue, settings);

    std::vector<std::string> expected;
    for (const auto& name : ListingOrder(settings.Directory))
        if (name == "b.JPG" || name == "a.jpeg" || name == ".hidden.png")
            expected.push_back(dir / name);
    EXPECT_EQ(catalogue, expected);
    EXPECT_EQ(catalogue.size(), 3u);
}

TEST_F(CatalogueTest, SubfoldersComeAfterTheFolderDepthFirst)
{
    dir.Write("top/a.bmp");
    dir.Write("top/z/deep/d.bmp");
    dir.Write("top/z/c.bmp");
    dir.Write("top/y/b.bmp");
    dir.Write("top/.hidden/h.bmp");
    dir.Write("top/folder.jpg/inside.bmp");
    settings.Directory = dir / "top";
    settings.Subfolders = true;
    RebuildCatalogue(catalogue, settings);

    ASSERT_EQ(catalogue.size(), 6u);
    // The folder's own matches first: a.bmp, and the folder whose name ends in ".jpg".
    EXPECT_THAT(std::vector<std::string>(catalogue.begin(), catalogue.begin() + 2),
                UnorderedElementsAre(dir / "top/a.bmp", dir / "top/folder.jpg"));
    // Then each subfolder as a whole, depth first.
    const auto pos = [this](const std::string& p) {
        return std::find(catalogue.begin(), catalogue.end(), dir / p) - catalogue.begin();
    };
    EXPECT_EQ(pos("top/z/deep/d.bmp"), pos("top/z/c.bmp") + 1);
    EXPECT_NE(std::find(catalogue.begin(), catalogue.end(), dir / "top/y/b.bmp"), catalogue.end());
    EXPECT_NE(std::find(catalogue.begin(), catalogue.end(), dir / "top/folder.jpg/inside.bmp"),
              catalogue.end());
    EXPECT_EQ(std::find(catalogue.begin(), catalogue.end(), dir / "top/.hidden/h.bmp"),
              catalogue.end())
        << "hidden folders are never searched";
}

TEST_F(CatalogueTest, WithoutSubfoldersOnlyTheFolder)
{
    dir.Write("a.bmp");
    dir.Write("sub/b.bmp");
    settings.Directory = dir.Path().string();
    RebuildCatalogue(catalogue, settings);
    EXPECT_THAT(catalogue, ElementsAre(dir / "a.bmp"));
}

TEST_F(CatalogueTest, LinksAreFollowedButNeverLoop)
{
    dir.Write("pics/a.bmp");
    dir.Write("elsewhere/b.bmp");
    std::filesystem::create_directory_symlink(dir / "elsewhere", dir / "pics/linked");
    std::filesystem::create_directory_symlink(dir / "pics", dir / "pics/loop");
    settings.Directory = dir / "pics";
    settings.Subfolders = true;
    RebuildCatalogue(catalogue, settings);
    EXPECT_THAT(catalogue, UnorderedElementsAre(dir / "pics/a.bmp", dir / "pics/linked/b.bmp"));
}

TEST(Catalogue, UnreadableSubfoldersAreSkipped)
{
    EXPECT_TRUE(testing::AsUnprivilegedUser([] {
        TTempDir dir;
        dir.Write("a.bmp");
        dir.Write("locked/b.bmp");
        dir.Write("open/c.bmp");
        std::filesystem::permissions(dir / "locked", std::filesystem::perms::none);
        TSettings settings;
        settings.Directory = dir.Path().string();
        settings.Subfolders = true;
        TCatalogue catalogue;
        RebuildCatalogue(catalogue, settings);
        return catalogue == TCatalogue{dir / "a.bmp", dir / "open/c.bmp"};
    }));
}

TEST_F(CatalogueTest, MissingFoldersGiveAnEmptyCatalogue)
{
    dir.Write("a.bmp");
    settings.Directory = dir / "none";
    RebuildCatalogue(catalogue, settings);
    EXPECT_TRUE(catalogue.empty());
    settings.Directory = dir.Path().string() + "/";
    RebuildCatalogue(catalogue, settings);
    EXPECT_TRUE(catalogue.empty()) << "a trailing slash counts as missing";
}

TEST_F(CatalogueTest, RelativeFoldersGiveFullPaths)
{
    dir.Write("pics/a.bmp");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    settings.Directory = "./pics";
    RebuildCatalogue(catalogue, settings);
    std::filesystem::current_path(cwd);
    EXPECT_THAT(catalogue, ElementsAre(dir / "pics/a.bmp"));
}

TEST_F(CatalogueTest, SearchLeavesTheCurrentFolderAlone)
{
    dir.Write("a/b/c.bmp");
    settings.Directory = dir.Path().string();
    settings.Subfolders = true;
    const auto before = std::filesystem::current_path();
    RebuildCatalogue(catalogue, settings);
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_EQ(catalogue.size(), 1u);
}

TEST(ChooseNext, InOrder)
{
    TSettings settings;
    settings.Mode = 0;
    int current = -1;
    ChooseNext(current, 3, settings);
    EXPECT_EQ(current, 0) << "from the default -1 the first choice is 0";
    current = 2;
    ChooseNext(current, 3, settings);
    EXPECT_EQ(current, 0);
    current = 7; // the folder has shrunk
    ChooseNext(current, 3, settings);
    EXPECT_EQ(current, 0);
    current = 1;
    ChooseNext(current, 3, settings);
    EXPECT_EQ(current, 2);
    current = 2147483647;
    ChooseNext(current, 3, settings);
    EXPECT_EQ(current, 0);
}

TEST(ChooseNext, AtRandomNeverRepeats)
{
    TSettings settings;
    settings.Mode = 1;
    RandSeed = 5;
    int current = -1;
    settings.LastIndex = 0;
    for (int i = 0; i < 20; ++i) {
        ChooseNext(current, 2, settings);
        EXPECT_EQ(current, 1 - settings.LastIndex) << "two entries alternate";
        settings.LastIndex = current;
    }
    for (int i = 0; i < 200; ++i) {
        ChooseNext(current, 10, settings);
        ASSERT_NE(current, settings.LastIndex);
        ASSERT_GE(current, 0);
        ASSERT_LT(current, 10);
        settings.LastIndex = current;
    }
}

TEST(ChooseNext, AtRandomDrawsFromTheGenerator)
{
    TSettings settings;
    settings.Mode = 1;
    settings.LastIndex = -1;
    RandSeed = 12345;
    int current = 0;
    ChooseNext(current, 100, settings);
    EXPECT_EQ(current, 38);
    settings.LastIndex = 28; // the next draw is 28: drawn again, giving 7
    ChooseNext(current, 100, settings);
    EXPECT_EQ(current, 7);
}

TEST(ChooseNext, OneEntryAtRandomAcceptsTheRepeat)
{
    TSettings settings;
    settings.Mode = 1;
    settings.LastIndex = 0;
    int current = 0;
    ChooseNext(current, 1, settings);
    EXPECT_EQ(current, 0);
}

TEST(ChooseNext, OtherModesKeepThePosition)
{
    TSettings settings;
    for (int mode : {2, -1, 100}) {
        settings.Mode = mode;
        int current = 5;
        ChooseNext(current, 3, settings);
        EXPECT_EQ(current, 5);
    }
}

} // namespace
} // namespace scenaria
