// Where the settings file of a program is: beside a copy in a folder of the user's own, in the
// user's configuration folder for an installed one.

#include "platform/Folders.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace scenaria {
namespace {

using testing::TTempDir;

TEnvLookup EnvOf(const std::map<std::string, std::string>& values)
{
    return [values](const char* name) {
        const auto it = values.find(name);
        return it == values.end() ? std::string() : it->second;
    };
}

TEST(SettingsFileFor, BesideACopyInAWritableFolderWithItsExtensionReplaced)
{
    TTempDir dir;
    const auto env = EnvOf({{"HOME", dir / "home"}});
    EXPECT_EQ(SettingsFileFor(dir / "scenarix", env), dir / "scenarix.INI");
    EXPECT_EQ(SettingsFileFor(dir / "scenarix.bin", env), dir / "scenarix.INI");
    EXPECT_EQ(SettingsFileFor(dir / ".scenarix", env), dir / ".scenarix.INI");
    // Only the system's own program folders count, not a folder that happens to share a name.
    std::filesystem::create_directories(dir.Path() / "usr/bin");
    EXPECT_EQ(SettingsFileFor(dir / "usr/bin/scenarix", env), dir / "usr/bin/scenarix.INI");
}

TEST(SettingsFileFor, AnInstalledProgramKeepsItsSettingsInTheUsersConfiguration)
{
    // Root may write to /usr/bin, and the test may run as root: the answer must not depend on
    // whether the folder is writable. The program names are ones no system has an INI file of.
    TTempDir dir;
    const auto env = EnvOf({{"HOME", dir / "home"}, {"XDG_CONFIG_HOME", dir / "config"}});
    for (const char* folder :
         {"/usr/bin", "/usr/local/bin", "/usr/games", "/bin", "/sbin", "/usr/sbin"})
        EXPECT_EQ(SettingsFileFor(std::string(folder) + "/scenaria-folders-test", env),
                  dir / "config/scenaria/scenaria-folders-test.INI")
            << folder;

    // A relative XDG_CONFIG_HOME is to be ignored, as the freedesktop.org rules say.
    const auto relative = EnvOf({{"HOME", dir / "home"}, {"XDG_CONFIG_HOME", "config"}});
    EXPECT_EQ(SettingsFileFor("/usr/bin/scenaria-folders-test", relative),
              dir / "home/.config/scenaria/scenaria-folders-test.INI");
}

TEST(SettingsFileFor, AFileBesideTheProgramIsUsedEvenWhereNoNewOneWouldBeMade)
{
    TTempDir dir;
    dir.Write("kept/scenarix.INI", "[Diduzavizo]\n");
    std::filesystem::create_directory(dir.Path() / "bare");
    ::chmod((dir / "kept").c_str(), 0555);
    ::chmod((dir / "bare").c_str(), 0555);
    const std::string kept = dir / "kept";
    const std::string bare = dir / "bare";
    const std::string config = dir / "config";
    EXPECT_TRUE(testing::AsUnprivilegedUser([&] {
        const auto env = EnvOf({{"HOME", "/nonexistent"}, {"XDG_CONFIG_HOME", config}});
        return SettingsFileFor(kept + "/scenarix", env) == kept + "/scenarix.INI" &&
               SettingsFileFor(bare + "/scenarix", env) == config + "/scenaria/scenarix.INI";
    })) << "a read-only folder's settings file is used; without one, the user's configuration";
}

} // namespace
} // namespace scenaria
