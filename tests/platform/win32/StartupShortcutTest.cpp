// The tray's "Auto Start" command on Windows: a shell link "Scenarix.LNK" in the folder that the
// user's "Shell Folders" key names "Startup", which starts this very program.

#include "WinTestSupport.h"

#include "platform/win32/WinPlatform.h"

#include <objbase.h>
#include <shlobj.h>

namespace scenaria::testing {
namespace {

const char* const ShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

struct TShortcut {
    std::string Target;
    std::string Description;
    std::string Arguments;
};

// Reads a shell link back through the shell's own object.
std::optional<TShortcut> ReadShortcut(const std::string& file, std::string& error)
{
    const HRESULT initialized = CoInitialize(nullptr);
    std::optional<TShortcut> result;
    IShellLinkW* link = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link));
    if (SUCCEEDED(hr)) {
        IPersistFile* persist = nullptr;
        hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
        if (SUCCEEDED(hr)) {
            hr = persist->Load(Wide(file).c_str(), STGM_READ);
            if (SUCCEEDED(hr)) {
                wchar_t target[MAX_PATH] = {}, description[MAX_PATH] = {}, arguments[MAX_PATH] = {};
                link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
                link->GetDescription(description, MAX_PATH);
                link->GetArguments(arguments, MAX_PATH);
                result = TShortcut{Narrow(target), Narrow(description), Narrow(arguments)};
            }
            persist->Release();
        }
        link->Release();
    }
    if (!result)
        error = "the shell link cannot be read (HRESULT " + std::to_string(hr) + ")";
    if (SUCCEEDED(initialized))
        CoUninitialize();
    return result;
}

std::vector<std::string> FilesIn(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

class StartupShortcutTest : public ::testing::Test {
protected:
    void PointStartupAt(const std::optional<std::string>& folder)
    {
        WriteRegistryValue(HKEY_CURRENT_USER, ShellFoldersKey, "Startup",
                           folder ? std::optional(StringValue(*folder)) : std::nullopt);
    }

    TRegistryValueGuard startup_{HKEY_CURRENT_USER, ShellFoldersKey, "Startup"};
    TTempFolder folder;
};

TEST_F(StartupShortcutTest, LinkInTheStartupFolderStartsTheProgram)
{
    PointStartupAt(folder.Path());
    TWinPlatform platform;
    // Twice in a row: both succeed (the tray shows "A shortcut has been successfully created on
    // the StartUp folder" each time) and one shortcut is left.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const TPlatformStatus status = platform.CreateStartupShortcut();
        ASSERT_TRUE(status.Ok) << "attempt " << attempt + 1 << ": " << status.Error;
    }
    EXPECT_EQ(FilesIn(folder.Path()), std::vector<std::string>{"Scenarix.LNK"});

    std::string error;
    const auto shortcut = ReadShortcut(folder / "Scenarix.LNK", error);
    ASSERT_TRUE(shortcut) << error;
    EXPECT_TRUE(SameText(shortcut->Target, ThisProgram())) << shortcut->Target;
    EXPECT_EQ(shortcut->Description, "Shortcut to Scenaria");
    EXPECT_EQ(shortcut->Arguments, "");
}

TEST_F(StartupShortcutTest, TheSystemsOwnStartupFolderGetsTheLink)
{
    // The prefix's own value, as a fresh user profile has it.
    char startup[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, startup)))
        GTEST_SKIP() << "this system names no Startup folder (SHGetFolderPathA CSIDL_STARTUP)";
    const auto value = ReadRegistryValue(HKEY_CURRENT_USER, ShellFoldersKey, "Startup");
    ASSERT_TRUE(value) << "the shell named the Startup folder but wrote no \"Startup\" value";
    EXPECT_TRUE(SameText(RegistryText(*value), startup)) << RegistryText(*value);

    const std::string link = std::string(startup) + "\\Scenarix.LNK";
    ASSERT_FALSE(FileExists(link)) << link << " is left from an earlier run";
    TWinPlatform platform;
    const TPlatformStatus status = platform.CreateStartupShortcut();
    const bool made = FileExists(link);
    std::string error;
    const auto shortcut = made ? ReadShortcut(link, error) : std::nullopt;
    DeleteFileA(link.c_str());
    ASSERT_TRUE(status.Ok) << status.Error;
    ASSERT_TRUE(made);
    ASSERT_TRUE(shortcut) << error;
    EXPECT_TRUE(SameText(shortcut->Target, ThisProgram())) << shortcut->Target;
}

TEST_F(StartupShortcutTest, FailuresAreReportedNotPassedOffAsSuccess)
{
    TWinPlatform platform;
    // A Startup folder that is gone: the shell cannot save the link, and the tray shows "ERROR
    // creating a shortcut to Scenaria on the StartUp folder".
    PointStartupAt(folder / "gone");
    const TPlatformStatus gone = platform.CreateStartupShortcut();
    EXPECT_FALSE(gone.Ok);
    EXPECT_NE(gone.Error.find("Startup shortcut failed (0x"), std::string::npos) << gone.Error;
    EXPECT_FALSE(FileExists(folder / "gone\\Scenarix.LNK"));

    // No "Startup" value at all: the link would land in the current drive's root, where it
    // starts nothing, so that is an error too and no file is written there.
    PointStartupAt(std::nullopt);
    char root[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(MAX_PATH, root);
    const std::string stray = std::string(root, 2) + "\\Scenarix.LNK";
    const bool strayBefore = FileExists(stray);
    const TPlatformStatus missing = platform.CreateStartupShortcut();
    EXPECT_FALSE(missing.Ok);
    EXPECT_EQ(missing.Error, "Startup shortcut: the Startup folder is unknown");
    EXPECT_EQ(FileExists(stray), strayBefore);
}

} // namespace
} // namespace scenaria::testing
