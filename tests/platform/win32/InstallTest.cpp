// The two wallpaper installers on a real Windows API: the classic one's registry values and
// system parameter, and Active Desktop where the shell offers it.

#include "WinTestSupport.h"

#include "platform/win32/WinPlatform.h"

#include <wininet.h> // before shlobj.h, which declares Active Desktop only after it

#include <objbase.h>
#include <shlobj.h>

#include <cstdio>
#include <thread>

namespace scenaria::testing {
namespace {

const char* const DesktopKey = "Control Panel\\Desktop";

const CLSID ClsidActiveDesktop = {
    0x75048700, 0xEF1F, 0x11D0, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};
const IID IidActiveDesktop = {
    0xF490EB00, 0x1240, 0x11D1, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};

// A bitmap of 2 x 2 pixels, 24 bits, bottom-up rows padded to four bytes.
std::string SmallBitmap()
{
    std::string bytes = "BM";
    auto put32 = [&bytes](std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    auto put16 = [&bytes](std::uint16_t value) {
        bytes += static_cast<char>(value & 0xFF);
        bytes += static_cast<char>(value >> 8);
    };
    put32(14 + 40 + 16);
    put32(0);
    put32(14 + 40);
    put32(40);
    put32(2);
    put32(2);
    put16(1);
    put16(24);
    put32(0);
    put32(16);
    put32(2835);
    put32(2835);
    put32(0);
    put32(0);
    for (int row = 0; row < 2; ++row)
        bytes += std::string("\x00\x00\xFF\x00\xFF\x00\x00\x00", 8);
    return bytes;
}

std::string DeskWallpaper()
{
    char name[MAX_PATH + 1] = {};
    if (!SystemParametersInfoA(SPI_GETDESKWALLPAPER, MAX_PATH, name, 0))
        return "(SPI_GETDESKWALLPAPER failed, error " + std::to_string(GetLastError()) + ")";
    return name;
}

std::optional<TRegistryValue> DesktopValue(const char* name)
{
    return ReadRegistryValue(HKEY_CURRENT_USER, DesktopKey, name);
}

std::string HresultText(HRESULT result)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// Puts the wallpaper and every desktop value the installers touch back afterwards.
class InstallTest : public ::testing::Test {
protected:
    InstallTest() : previousWallpaper_(DeskWallpaper()) {}
    ~InstallTest() override
    {
        SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0,
                              const_cast<char*>(previousWallpaper_.c_str()), SPIF_UPDATEINIFILE);
    }

    void SetUp() override
    {
        picture = folder / "red and green.bmp";
        WriteFileBytes(picture, SmallBitmap());
    }

    TTempFolder folder;
    std::string picture;

private:
    std::string previousWallpaper_;
    TRegistryValueGuard tile_{HKEY_CURRENT_USER, DesktopKey, "TileWallpaper"};
    TRegistryValueGuard style_{HKEY_CURRENT_USER, DesktopKey, "WallpaperStyle"};
    TRegistryValueGuard wallpaper_{HKEY_CURRENT_USER, DesktopKey, "Wallpaper"};
};

TEST_F(InstallTest, ClassicWritesTheDesktopValuesAndTheSystemShowsTheFile)
{
    TWinPlatform platform;
    // Wine, like every Windows of the NT family, is no Windows 98: "WallpaperStyle" is never
    // written, and one the user chose stays as it is.
    ASSERT_FALSE(platform.Win98Style());
    WriteRegistryValue(HKEY_CURRENT_USER, DesktopKey, "WallpaperStyle", StringValue("2"));

    const TPlatformStatus centred = platform.InstallClassic(picture, false);
    ASSERT_TRUE(centred.Ok) << centred.Error;
    // The digit, handed over as one byte; the system adds the terminator that follows it, as NT
    // does for every caller, and nothing else.
    const auto tile = DesktopValue("TileWallpaper");
    ASSERT_TRUE(tile);
    EXPECT_EQ(tile->Type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(tile->Bytes, StringValue("0").Bytes);
    const auto style = DesktopValue("WallpaperStyle");
    ASSERT_TRUE(style);
    EXPECT_EQ(style->Bytes, StringValue("2").Bytes) << "WallpaperStyle was rewritten";
    // The system stored the file: in its parameter and in the user's profile.
    EXPECT_EQ(DeskWallpaper(), picture);
    const auto wallpaper = DesktopValue("Wallpaper");
    ASSERT_TRUE(wallpaper) << "SPIF_UPDATEINIFILE stored no \"Wallpaper\" value";
    EXPECT_EQ(RegistryText(*wallpaper), picture);

    // A second picture, tiled.
    const std::string second = folder / "second.bmp";
    WriteFileBytes(second, SmallBitmap());
    const TPlatformStatus tiled = platform.InstallClassic(second, true);
    ASSERT_TRUE(tiled.Ok) << tiled.Error;
    EXPECT_EQ(DesktopValue("TileWallpaper")->Bytes, StringValue("1").Bytes);
    EXPECT_EQ(DeskWallpaper(), second);
    EXPECT_EQ(RegistryText(*DesktopValue("Wallpaper")), second);
}

// Several monitors: each its own bitmap where the system has IDesktopWallpaper; where it has
// not (wine), or no monitor is where the layout says, the layout bitmap goes up tiled.
TEST_F(InstallTest, MonitorsWithoutPerMonitorWallpapersShowTheLayoutTiled)
{
    TWinPlatform platform;
    platform.InitializeDesktop();
    const std::string left = folder / "left.bmp", layout = folder / "layout.bmp";
    WriteFileBytes(left, SmallBitmap());
    WriteFileBytes(layout, SmallBitmap());
    const std::vector<TMonitorPicture> pictures = {
        {{"nowhere", -90000, -90000, 10, 10, true, 0}, left}};
    const TPlatformStatus status = platform.InstallMonitors(pictures, layout);
    ASSERT_TRUE(status.Ok) << status.Error;
    EXPECT_EQ(DesktopValue("TileWallpaper")->Bytes, StringValue("1").Bytes);
    EXPECT_EQ(DeskWallpaper(), layout);
    platform.FinalizeDesktop();

    const std::vector<TMonitor> monitors = platform.Monitors();
    ASSERT_FALSE(monitors.empty());
    EXPECT_TRUE(monitors[0].Primary);
    EXPECT_EQ(monitors[0].X, 0) << "the virtual screen's origin is the primary monitor's corner";
    EXPECT_EQ(monitors[0].Y, 0);
    EXPECT_GT(monitors[0].Width, 0);
}

TEST_F(InstallTest, ClassicOnWindows98AlsoWritesWallpaperStyleZero)
{
    // Wine reports the Windows version that its settings name for a program file: a copy of
    // this program under a name of its own is told it runs on Windows 98 (4.10).
    const std::string child = folder / "scx-win98.exe";
    ASSERT_TRUE(CopyFileA(ThisProgram().c_str(), child.c_str(), TRUE));
    const std::string appKey = "Software\\Wine\\AppDefaults\\scx-win98.exe";
    const TRegistryValueGuard version(HKEY_CURRENT_USER, appKey, "Version");
    WriteRegistryValue(HKEY_CURRENT_USER, appKey.c_str(), "Version", StringValue("win98"));
    WriteRegistryValue(HKEY_CURRENT_USER, DesktopKey, "WallpaperStyle", StringValue("2"));

    const TChildRun centred = RunChildAs(child, {ChildClassic, picture, "0"});
    ASSERT_TRUE(centred.Ended);
    if (centred.ExitCode < ChildWin98)
        GTEST_SKIP() << "this system cannot present itself as Windows 98 to a program (exit "
                     << centred.ExitCode << ")";
    EXPECT_EQ(centred.ExitCode, ChildWin98) << "the installation failed";
    EXPECT_EQ(DesktopValue("TileWallpaper")->Bytes, StringValue("0").Bytes);
    ASSERT_TRUE(DesktopValue("WallpaperStyle"));
    EXPECT_EQ(DesktopValue("WallpaperStyle")->Bytes, StringValue("0").Bytes);
    // Told without a broadcast, so this process's own view of the parameter stays as it was;
    // the user's profile has the file.
    ASSERT_TRUE(DesktopValue("Wallpaper"));
    EXPECT_EQ(RegistryText(*DesktopValue("Wallpaper")), picture);

    const TChildRun tiled = RunChildAs(child, {ChildClassic, picture, "1"});
    ASSERT_TRUE(tiled.Ended);
    EXPECT_EQ(tiled.ExitCode, ChildWin98);
    EXPECT_EQ(DesktopValue("TileWallpaper")->Bytes, StringValue("1").Bytes);
    EXPECT_EQ(DesktopValue("WallpaperStyle")->Bytes, StringValue("0").Bytes)
        << "stretching is composed, never left to the system";
}

// Whether this system's shell makes the Active Desktop object, and if not, with what result.
HRESULT ActiveDesktopOffered()
{
    IActiveDesktop* desktop = nullptr;
    const HRESULT result = CoCreateInstance(ClsidActiveDesktop, nullptr, CLSCTX_INPROC_SERVER,
                                            IidActiveDesktop, reinterpret_cast<void**>(&desktop));
    if (desktop)
        desktop->Release();
    return result;
}

// The calls of the Active Desktop object that the installer makes, as its failures name them.
bool NamesAnActiveDesktopCall(const std::string& error)
{
    for (const char* call : {"IActiveDesktop::SetWallpaper failed (0x",
                             "IActiveDesktop::SetWallpaperOptions failed (0x"})
        if (error.rfind(call, 0) == 0)
            return true;
    return false;
}

TEST_F(InstallTest, ActiveDesktopShowsTheFileWithItsStyle)
{
    TWinPlatform platform;
    ASSERT_TRUE(platform.InitializeDesktop()) << "CoInitialize did not return S_OK";
    if (const HRESULT offered = ActiveDesktopOffered(); offered != S_OK)
        GTEST_SKIP() << "this system's shell offers no Active Desktop object (CoCreateInstance "
                     << HresultText(offered) << ")";

    const TPlatformStatus status = platform.InstallActiveDesktop(picture, wsStretch);
    // Wine makes the object but leaves its methods unimplemented.
    if (!status.Ok && NamesAnActiveDesktopCall(status.Error) &&
        status.Error.find("(" + HresultText(E_NOTIMPL) + ")") != std::string::npos)
        GTEST_SKIP() << "this system's Active Desktop object does not implement what the "
                        "installer calls: "
                     << status.Error;
    ASSERT_TRUE(status.Ok) << status.Error;
    IActiveDesktop* raw = nullptr;
    ASSERT_EQ(CoCreateInstance(ClsidActiveDesktop, nullptr, CLSCTX_INPROC_SERVER, IidActiveDesktop,
                               reinterpret_cast<void**>(&raw)),
              S_OK);
    wchar_t shown[MAX_PATH] = {};
    WALLPAPEROPT options{};
    options.dwSize = sizeof options;
    EXPECT_EQ(raw->GetWallpaper(shown, MAX_PATH, 0), S_OK);
    EXPECT_EQ(raw->GetWallpaperOptions(&options, 0), S_OK);
    raw->Release();
    EXPECT_TRUE(SameText(Narrow(shown), picture)) << Narrow(shown);
    EXPECT_EQ(options.dwStyle, static_cast<DWORD>(WPSTYLE_STRETCH));

    // A name longer than the shell's buffer is refused whole, never cut to another file's name.
    const TPlatformStatus tooLong =
        platform.InstallActiveDesktop(folder / (std::string(300, 'n') + ".bmp"), wsTile);
    EXPECT_FALSE(tooLong.Ok);
    EXPECT_EQ(tooLong.Error, "Active Desktop: the file name is too long");
}

TEST_F(InstallTest, ActiveDesktopThatTheShellLacksReachesNothingAndSaysWhy)
{
    TWinPlatform platform;
    ASSERT_TRUE(platform.InitializeDesktop()) << "CoInitialize did not return S_OK";
    const HRESULT offered = ActiveDesktopOffered();
    const std::string before = DeskWallpaper();

    const TPlatformStatus status = platform.InstallActiveDesktop(picture, wsCentre);
    if (status.Ok)
        GTEST_SKIP() << "this system's shell has a working Active Desktop; nothing lacks";
    std::printf("[ STATUS   ] Active Desktop on this system: %s\n", status.Error.c_str());
    // Not abandoned: the picture still counts as shown, as it always did.
    EXPECT_FALSE(status.Abandons);
    if (offered != S_OK)
        EXPECT_EQ(status.Error, "Active Desktop failed (" + HresultText(offered) + ")");
    else
        EXPECT_TRUE(NamesAnActiveDesktopCall(status.Error)) << status.Error;
    EXPECT_EQ(DeskWallpaper(), before) << "the refused picture reached the desktop";
}

TEST_F(InstallTest, ActiveDesktopWithoutComReachesNothing)
{
    // A thread on which COM was never initialised, as when CoInitialize failed at start-up.
    const std::string before = DeskWallpaper();
    TPlatformStatus status;
    std::thread([&] {
        TWinPlatform platform;
        status = platform.InstallActiveDesktop(picture, wsTile);
    }).join();
    EXPECT_FALSE(status.Ok);
    EXPECT_FALSE(status.Abandons);
    EXPECT_EQ(status.Error, "Active Desktop failed (" + HresultText(CO_E_NOTINITIALIZED) + ")");
    EXPECT_EQ(DeskWallpaper(), before);
}

TEST(WinDesktop, ActiveDesktopIsUsableOnlyWhereThisCallStartedCom)
{
    // As at start-up: only a CoInitialize of its own that returned S_OK makes Active Desktop
    // usable; each successful one is balanced once, and nobody else's is undone.
    std::thread([] {
        TWinPlatform platform;
        EXPECT_TRUE(platform.InitializeDesktop());
        EXPECT_TRUE(platform.InitializeDesktop()) << "a second call changed its answer";
        platform.FinalizeDesktop();
        platform.FinalizeDesktop();
        // Balanced: this thread is back to no COM at all.
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        CoUninitialize();
    }).join();

    std::thread([] {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        {
            TWinPlatform platform;
            EXPECT_FALSE(platform.InitializeDesktop()) << "S_FALSE counted as ready";
            EXPECT_FALSE(platform.InitializeDesktop()) << "a second call changed its answer";
        }
        // The caller's own initialisation survives the platform's end.
        EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
        CoUninitialize();
        CoUninitialize();
    }).join();

    std::thread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            TWinPlatform platform;
            EXPECT_FALSE(platform.InitializeDesktop()) << "another apartment counted as ready";
        }
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE)
            << "the caller's COM was undone";
        CoUninitialize();
        CoUninitialize();
    }).join();
}

TEST(WinDesktop, ScreenIsTheSystemsUnlessTheEnvironmentNamesOne)
{
    const TWinPlatform platform;
    _putenv_s("SCENARIA_SCREEN", "1024x768x8");
    const TScreenFacts named = platform.ScreenFacts();
    EXPECT_EQ(named.Width, 1024);
    EXPECT_EQ(named.Height, 768);
    EXPECT_EQ(named.BitsPerPixel, 8);
    for (const char* malformed : {"1024x768", "1024x768x8x", "0x768x8", "1024*768*8"}) {
        _putenv_s("SCENARIA_SCREEN", malformed);
        const TScreenFacts system = platform.ScreenFacts();
        EXPECT_EQ(system.Width, GetSystemMetrics(SM_CXSCREEN)) << malformed;
        EXPECT_EQ(system.Height, GetSystemMetrics(SM_CYSCREEN)) << malformed;
    }
    _putenv_s("SCENARIA_SCREEN", "");
}

} // namespace
} // namespace scenaria::testing
