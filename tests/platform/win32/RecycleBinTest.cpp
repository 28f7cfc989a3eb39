// Deleting a picture: it leaves its folder for the recycle bin, where the shell still lists it,
// and nothing is destroyed for good.

#include "WinTestSupport.h"

#include <gmock/gmock.h>

#include "platform/win32/WinPlatform.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>

namespace scenaria::testing {
namespace {

std::string DisplayName(IShellFolder* folder, PCUITEMID_CHILD item, SHGDNF flags)
{
    STRRET name{};
    if (FAILED(folder->GetDisplayNameOf(item, flags, &name)))
        return {};
    wchar_t* text = nullptr;
    if (FAILED(StrRetToStrW(&name, item, &text)) || !text)
        return {};
    std::string result = Narrow(text);
    CoTaskMemFree(text);
    return result;
}

// The names the recycle bin's shell folder lists, or nullopt when the shell cannot show it.
std::optional<std::vector<std::string>> RecycleBinItems(std::string& why)
{
    std::optional<std::vector<std::string>> items;
    PIDLIST_ABSOLUTE bin = nullptr;
    IShellFolder* desktop = nullptr;
    IShellFolder* folder = nullptr;
    IEnumIDList* list = nullptr;
    HRESULT hr = SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &bin);
    if (SUCCEEDED(hr))
        hr = SHGetDesktopFolder(&desktop);
    if (SUCCEEDED(hr))
        hr = desktop->BindToObject(bin, nullptr, IID_IShellFolder,
                                   reinterpret_cast<void**>(&folder));
    if (SUCCEEDED(hr))
        hr = folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &list);
    if (hr == S_OK && list) {
        items.emplace();
        PITEMID_CHILD item = nullptr;
        while (list->Next(1, &item, nullptr) == S_OK) {
            items->push_back(DisplayName(folder, item, SHGDN_NORMAL));
            CoTaskMemFree(item);
        }
    } else {
        why =
            "the recycle bin's shell folder cannot be listed (HRESULT " + std::to_string(hr) + ")";
    }
    if (list)
        list->Release();
    if (folder)
        folder->Release();
    if (desktop)
        desktop->Release();
    CoTaskMemFree(bin);
    return items;
}

class RecycleBinTest : public ::testing::Test {
protected:
    void SetUp() override { initialized_ = CoInitialize(nullptr); }
    void TearDown() override
    {
        if (SUCCEEDED(initialized_))
            CoUninitialize();
    }

    TTempFolder folder;

private:
    HRESULT initialized_ = E_FAIL;
};

TEST_F(RecycleBinTest, FileLeavesItsFolderForTheRecycleBin)
{
    // A name of its own, so that the bin's list can tell it from earlier runs' files.
    const std::string name = "picture " + std::to_string(GetTickCount()) + ".bmp";
    const std::string file = folder / name;
    WriteFileBytes(file, "BM not really a bitmap");
    WriteFileBytes(folder / "neighbour.bmp", "BM");

    TWinPlatform platform;
    const TPlatformStatus status = platform.DeleteToRecycleBin(file);
    ASSERT_TRUE(status.Ok) << status.Error;
    EXPECT_FALSE(FileExists(file));
    EXPECT_TRUE(FileExists(folder / "neighbour.bmp")) << "only the one file goes";

    std::string why;
    const auto items = RecycleBinItems(why);
    if (!items)
        GTEST_SKIP() << why << "; the file left its folder, but where it went cannot be seen";
    EXPECT_THAT(*items, ::testing::Contains(name)) << "not in the recycle bin: deleted for good?";
}

// Sets a variable that child processes inherit, for the object's lifetime.
class TInheritedVariable {
public:
    TInheritedVariable(const char* name, const char* value) : name_(name)
    {
        char old[4096];
        const DWORD length = GetEnvironmentVariableA(name, old, sizeof old);
        if (length > 0 && length < sizeof old)
            saved_ = std::string(old, length);
        SetEnvironmentVariableA(name, value);
    }
    ~TInheritedVariable()
    {
        SetEnvironmentVariableA(name_.c_str(), saved_ ? saved_->c_str() : nullptr);
    }
    TInheritedVariable(const TInheritedVariable&) = delete;
    TInheritedVariable& operator=(const TInheritedVariable&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

TEST_F(RecycleBinTest, FileTheBinCannotTakeIsNotDestroyed)
{
    // Wine keeps its recycle bin in the freedesktop.org trash under XDG_DATA_HOME; a child that
    // sees a folder there that cannot be made has no recycle bin at all. The shell would then
    // destroy the file for good, unless asked first; with nobody to answer, it stays.
    const std::string file = folder / "keep me.bmp";
    WriteFileBytes(file, "BM");
    TChildRun child;
    {
        const TInheritedVariable noTrash("XDG_DATA_HOME", "/proc/scenaria-no-trash");
        child = RunChild({ChildRecycle, file});
    }
    ASSERT_TRUE(child.Ended);
    if (child.ExitCode == 0 && !FileExists(file)) {
        std::string why;
        const auto items = RecycleBinItems(why);
        const bool recycled =
            items && std::find(items->begin(), items->end(), "keep me.bmp") != items->end();
        ASSERT_TRUE(recycled) << "the file was destroyed: it is neither in its folder nor in the "
                                 "recycle bin";
        GTEST_SKIP() << "wine found a recycle bin although XDG_DATA_HOME named none; the case "
                        "of a missing bin cannot be made here";
    }
    EXPECT_EQ(child.ExitCode, 1u);
    EXPECT_TRUE(FileExists(file)) << "the file was destroyed for good";
}

TEST_F(RecycleBinTest, WhatCannotBeRecycledIsLeftAlone)
{
    TWinPlatform platform;
    // A file that is no longer there.
    const TPlatformStatus gone = platform.DeleteToRecycleBin(folder / "gone.bmp");
    EXPECT_FALSE(gone.Ok);
    EXPECT_FALSE(gone.Error.empty());

    // Names that do not fit the shell's buffer are refused before the shell sees them; the
    // shorter file that a cut name would hit stays.
    const std::string shortName = folder / "p";
    WriteFileBytes(shortName, "keep");
    const std::string longName = shortName + std::string(300 - shortName.size(), 'p');
    const TPlatformStatus tooLong = platform.DeleteToRecycleBin(longName);
    EXPECT_FALSE(tooLong.Ok);
    EXPECT_EQ(tooLong.Error, "recycle bin: the file name is empty or too long");
    EXPECT_TRUE(FileExists(shortName));
    EXPECT_FALSE(platform.DeleteToRecycleBin("").Ok);
    EXPECT_TRUE(FileExists(folder.Path()));
}

} // namespace
} // namespace scenaria::testing
