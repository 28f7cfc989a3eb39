// GNOME's own settings, through the real gsettings with Debian's schemas, kept in a keyfile of
// the test's own instead of the session's dconf.

#include "platform/LinuxPlatform.h"
#include "platform/Process.h"
#include "platform/Uri.h"

#include "PlatformTestSupport.h"

#include <gtest/gtest.h>

namespace scenaria {
namespace {

using testing::ReadFile;
namespace fs = std::filesystem;

const char* const Schema = "org.gnome.desktop.background";

class GnomeTest : public testing::TIsolatedTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(testing::RequireProgram("gsettings", "libglib2.0-bin"));
        env_.Set("GSETTINGS_BACKEND", "keyfile");
        env_.Set("XDG_CURRENT_DESKTOP", "GNOME");
        const auto keys = RunProcess({"gsettings", "list-keys", Schema}, 10000);
        ASSERT_TRUE(keys.Succeeded())
            << "the schema " << Schema
            << " is missing: install the Debian package gsettings-desktop-schemas ("
            << keys.Failure("gsettings") << ")";
        ASSERT_NE(keys.Out.find("picture-uri-dark\n"), std::string::npos)
            << "these schemas predate GNOME 42 (no picture-uri-dark)";
    }

    std::string Get(const std::string& key) { return Get(Schema, key); }

    std::string Get(const std::string& schema, const std::string& key)
    {
        const auto result = RunProcess({"gsettings", "get", schema, key}, 10000);
        EXPECT_TRUE(result.Succeeded()) << result.Failure("gsettings get " + key);
        std::string value = result.Out;
        while (!value.empty() && value.back() == '\n')
            value.pop_back();
        return value;
    }

    // The file behind a stored 'file://...' value.
    std::string FileOf(const std::string& stored)
    {
        const std::string prefix = "'file://";
        EXPECT_EQ(stored.rfind(prefix, 0), 0u) << stored;
        const std::string encoded = stored.substr(prefix.size(), stored.size() - prefix.size() - 1);
        std::string path;
        for (std::size_t i = 0; i < encoded.size(); ++i) {
            if (encoded[i] == '%' && i + 2 < encoded.size()) {
                path += static_cast<char>(std::stoi(encoded.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                path += encoded[i];
            }
        }
        return path;
    }
};

TEST_F(GnomeTest, BothUriKeysAndTheOptionFollowEachInstall)
{
    const std::string picture = home_.Write("Pictures/my holiday \xC3\xA9t\xC3\xA9.bmp", "p");
    const std::string other = home_.Write("Pictures/other.png", "o");
    TLinuxPlatform platform("/usr/bin/scenarix");
    EXPECT_TRUE(platform.InitializeDesktop());

    for (const auto& [file, tiled, option] :
         {std::tuple{picture, true, "'wallpaper'"}, std::tuple{other, false, "'centered'"}}) {
        const auto status = platform.InstallClassic(file, tiled);
        ASSERT_TRUE(status.Ok) << status.Error;
        EXPECT_EQ(Get("picture-uri"), "'" + FileUri(file) + "'");
        EXPECT_EQ(Get("picture-uri-dark"), "'" + FileUri(file) + "'");
        EXPECT_EQ(Get("picture-options"), option);
    }
    const auto stretched = platform.InstallActiveDesktop(picture, wsStretch);
    ASSERT_TRUE(stretched.Ok) << stretched.Error;
    EXPECT_EQ(Get("picture-options"), "'stretched'");
    EXPECT_EQ(Get("picture-uri"), "'" + FileUri(picture) + "'");
    EXPECT_EQ(FileOf(Get("picture-uri")), picture);
}

TEST_F(GnomeTest, TheSameTemporaryBitmapWithNewContentGetsANewUriEveryTime)
{
    const std::string bitmap = (Home() / ".cache/scenaria/~scxtmp.bmp").string();
    TLinuxPlatform platform("/usr/bin/scenarix");
    std::string previousUri;
    std::string previousFile;
    for (const char* content : {"first", "second", "third"}) {
        SCOPED_TRACE(content);
        home_.Write(".cache/scenaria/~scxtmp.bmp", content);
        const auto status = platform.InstallClassic(bitmap, true);
        ASSERT_TRUE(status.Ok) << status.Error;
        const std::string uri = Get("picture-uri");
        EXPECT_NE(uri, previousUri);
        EXPECT_EQ(Get("picture-uri-dark"), uri);
        const std::string shown = FileOf(uri);
        EXPECT_EQ(fs::path(shown).parent_path(), fs::path(bitmap).parent_path());
        EXPECT_EQ(ReadFile(shown), content);
        if (!previousFile.empty() && previousFile != bitmap) {
            EXPECT_FALSE(fs::exists(previousFile)) << "the previous alias is left behind";
        }
        previousUri = uri;
        previousFile = shown;
    }
    EXPECT_TRUE(fs::exists(bitmap));

    // The next run of the program knows what this one left on the screen.
    home_.Write(".cache/scenaria/~scxtmp.bmp", "next run");
    TLinuxPlatform nextRun("/usr/bin/scenarix");
    ASSERT_TRUE(nextRun.InstallClassic(bitmap, true).Ok);
    const std::string uri = Get("picture-uri");
    EXPECT_NE(uri, previousUri);
    EXPECT_EQ(testing::ReadFile(FileOf(uri)), "next run");
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(fs::path(bitmap).parent_path()))
        left.push_back(entry.path().filename().string());
    EXPECT_LE(left.size(), 2u) << "aliases pile up across runs";
}

// Several monitors get the layout bitmap across all of them, and the schemas themselves must
// take "spanned"; the next single picture has its own style again. MATE's schema comes with
// caja's desktop.
TEST_F(GnomeTest, SeveralMonitorsShowTheLayoutBitmapSpannedOnGnomeAndMate)
{
    const std::vector<TMonitorPicture> pictures = {
        {TMonitor{"", 0, 0, 320, 180, true, 0}, home_.Write("pics/left.bmp", "a")},
        {TMonitor{"", 320, 0, 180, 320, false, 0}, home_.Write("pics/right.bmp", "b")}};
    const std::string single = home_.Write("pics/single.bmp", "s");
    struct TRow {
        const char* Desktop;
        const char* Schema;
        const char* FileKey;
        bool Uri; // a file:// URI rather than a plain path
    };
    for (const TRow& row : {TRow{"GNOME", Schema, "picture-uri", true},
                            TRow{"MATE", "org.mate.background", "picture-filename", false}}) {
        SCOPED_TRACE(row.Desktop);
        if (!RunProcess({"gsettings", "list-keys", row.Schema}, 10000).Succeeded()) {
            ADD_FAILURE() << "the schema " << row.Schema
                          << " is missing: install the Debian package mate-desktop-common";
            continue;
        }
        env_.Set("XDG_CURRENT_DESKTOP", row.Desktop);
        // The layout has the prepared wallpaper's name, as every change writes it.
        const std::string content = std::string("layout for ") + row.Desktop;
        const std::string layout = home_.Write(".cache/scenaria/~scxtmp.bmp", content);
        TLinuxPlatform platform("/usr/bin/scenarix");
        const auto spanned = platform.InstallMonitors(pictures, layout);
        EXPECT_TRUE(spanned.Ok) << spanned.Error;
        EXPECT_EQ(Get(row.Schema, "picture-options"), "'spanned'");
        const std::string stored = Get(row.Schema, row.FileKey);
        const std::string shown = row.Uri             ? FileOf(stored)
                                  : stored.size() < 2 ? stored
                                                      : stored.substr(1, stored.size() - 2);
        EXPECT_EQ(ReadFile(shown), content) << stored;
        if (row.Uri) {
            EXPECT_EQ(Get(row.Schema, "picture-uri-dark"), stored);
        }

        const auto centred = platform.InstallClassic(single, false);
        EXPECT_TRUE(centred.Ok) << centred.Error;
        EXPECT_EQ(Get(row.Schema, "picture-options"), "'centered'");
        EXPECT_EQ(Get(row.Schema, row.FileKey), "'" + (row.Uri ? FileUri(single) : single) + "'");
    }
}

TEST_F(GnomeTest, AMissingSchemaIsAnErrorStatusAndNoCrash)
{
    env_.Set("XDG_CURRENT_DESKTOP", "X-Cinnamon");
    // Debian's schemas have no Cinnamon: gsettings refuses, and says why.
    TLinuxPlatform platform("/usr/bin/scenarix");
    const auto status = platform.InstallClassic(home_.Write("a.bmp", "a"), true);
    EXPECT_FALSE(status.Ok);
    EXPECT_NE(status.Error.find("org.cinnamon.desktop.background"), std::string::npos)
        << status.Error;
}

} // namespace
} // namespace scenaria
