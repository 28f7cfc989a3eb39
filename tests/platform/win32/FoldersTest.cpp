// Where the program finds its settings file and its default folders on Windows.

#include "WinTestSupport.h"

#include "platform/Folders.h"
#include "platform/win32/WinPlatform.h"

#include <shlobj.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace scenaria::testing {
namespace {

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Sets a variable of the C runtime (and with it the process's) for the test's lifetime.
class TScopedVariable {
public:
    TScopedVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            saved_ = old;
        _putenv_s(name, value);
    }
    ~TScopedVariable() { _putenv_s(name_.c_str(), saved_ ? saved_->c_str() : ""); }
    TScopedVariable(const TScopedVariable&) = delete;
    TScopedVariable& operator=(const TScopedVariable&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

TEST(WinFolders, SettingsFileIsBesideTheProgram)
{
    const TWinPlatform platform;
    const std::string program = ThisProgram();
    EXPECT_EQ(platform.ProgramPath(), program);
    ASSERT_GT(program.size(), 4u);
    ASSERT_TRUE(SameText(program.substr(program.size() - 4), ".exe"));
    const std::string settings = platform.SettingsFilePath();
    EXPECT_EQ(settings, program.substr(0, program.size() - 4) + ".INI");

    // The profile calls the settings use can write and read it there.
    ASSERT_FALSE(FileExists(settings)) << settings << " is left from an earlier run";
    ASSERT_TRUE(WritePrivateProfileStringA("Diduzavizo", "Delay", "17", settings.c_str()));
    char text[16] = {};
    GetPrivateProfileStringA("Diduzavizo", "Delay", "", text, sizeof text, settings.c_str());
    DeleteFileA(settings.c_str());
    EXPECT_STREQ(text, "17");
}

TEST(WinFolders, SettingsFileNameReplacesOnlyTheFileExtension)
{
    const TTempFolder folder;
    const std::string dotted = folder / "My.Programs";
    ASSERT_TRUE(CreateDirectoryA(dotted.c_str(), nullptr));
    EXPECT_EQ(SettingsFileFor(folder / "scenarix.exe"), folder / "scenarix.INI");
    EXPECT_EQ(SettingsFileFor(dotted + "\\scenarix"), dotted + "\\scenarix.INI");
    EXPECT_EQ(SettingsFileFor(folder / "scenarix.old.EXE"), folder / "scenarix.old.INI");
    // Asking wrote nothing there.
    EXPECT_TRUE(std::filesystem::is_empty(dotted));
}

std::string KnownFolderPath(int csidl)
{
    char path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)) ? path : "";
}

TEST(WinFolders, InProgramFilesTheSettingsLiveInTheUsersAppDataUnlessAFileIsThere)
{
    const std::string programFiles = KnownFolderPath(CSIDL_PROGRAM_FILES);
    ASSERT_FALSE(programFiles.empty());
    const std::string installed =
        programFiles + "\\scx-test-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(installed.c_str(), nullptr));
    const std::string ownFolder = KnownFolderPath(CSIDL_APPDATA) + "\\Scenaria";
    const std::string expected = ownFolder + "\\scenarix.INI";
    EXPECT_EQ(SettingsFileFor(installed + "\\scenarix.exe"), expected);
    // The folder is made, so that the first save has somewhere to go; and the letter case of
    // the path does not matter.
    EXPECT_TRUE(IsFolder(ownFolder));
    std::string upper = installed;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(SettingsFileFor(upper + "\\scenarix.exe"), expected);

    // A settings file put beside the program (an older copy's, or the administrator's) is
    // still the one read.
    WriteFileBytes(installed + "\\scenarix.INI", "[Diduzavizo]\r\n");
    EXPECT_EQ(SettingsFileFor(installed + "\\scenarix.exe"), installed + "\\scenarix.INI");
    std::error_code ignored;
    std::filesystem::remove_all(installed, ignored);
}

TEST(WinFolders, AProgramInAFolderThatCannotBeWrittenKeepsItsSettingsInAppData)
{
    // A folder that does not exist stands for one the user may not write.
    EXPECT_EQ(SettingsFileFor("Q:\\Nowhere\\scenarix.exe"),
              KnownFolderPath(CSIDL_APPDATA) + "\\Scenaria\\scenarix.INI");
}

TEST(WinFolders, PictureFolderIsTheWindowsFolder)
{
    char windows[MAX_PATH + 1] = {};
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    const TWinPlatform platform;
    EXPECT_EQ(platform.DefaultPictureFolder(), windows);
    EXPECT_TRUE(IsFolder(platform.DefaultPictureFolder()));
}

TEST(WinFolders, SaveFolderIsTheTempVariableElseTheSystemsTemporaryFolder)
{
    const TWinPlatform platform;
    {
        // The variable is looked up as "temp"; Windows' variables know no letter case.
        const TScopedVariable temp("TEMP", "D:\\Wallpapers\\work");
        EXPECT_EQ(platform.DefaultSaveFolder(), "D:\\Wallpapers\\work");
    }
    const TScopedVariable noTemp("TEMP", "");
    char system[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH, system);
    ASSERT_GT(length, 3u);
    // Without the trailing backslash, so that "\~scxtmp.bmp" can be appended.
    const std::string expected(system, length - 1);
    EXPECT_EQ(platform.DefaultSaveFolder(), expected);
    EXPECT_TRUE(IsFolder(platform.DefaultSaveFolder()));
}

TEST(WinFolders, HomeAndDataFoldersAreTheUsersProfileFolders)
{
    char profile[MAX_PATH] = {};
    char appData[MAX_PATH] = {};
    char localAppData[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PROFILE, nullptr, 0, profile)));
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, appData)));
    ASSERT_TRUE(
        SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, localAppData)));
    EXPECT_TRUE(SameText(HomeFolder(), profile)) << HomeFolder();
    EXPECT_EQ(ConfigHome(), appData);
    EXPECT_EQ(DataHome(), localAppData);
    EXPECT_EQ(StateHome(), localAppData);
}

TEST(WinFolders, HelpWithoutItsFilesSaysWhichIsMissing)
{
    // A program with no help beside it (the build's own has it): the help viewer is not
    // started for nothing.
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("scx-nohelp-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder / "bin");
    const std::string bin = (folder / "bin").string();
    TWinPlatform platform(bin + "\\scenarix.exe");
    const TPlatformStatus status = platform.ShowHelp(0);
    EXPECT_FALSE(status.Ok);
    EXPECT_EQ(status.Error, "help: " + bin + "\\scenarix.hlp is missing");
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace scenaria::testing
