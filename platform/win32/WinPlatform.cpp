#include "platform/win32/WinPlatform.h"

#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/ScreenOverride.h"

#include <windows.h>

// Active Desktop's interface is declared by shlobj.h only after wininet.h.
#include <wininet.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace scenaria {
namespace {

// The identifiers of the objects used, spelled out so that no SDK version can differ.
const CLSID ClsidActiveDesktop = {
    0x75048700, 0xEF1F, 0x11D0, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};
const IID IidActiveDesktop = {
    0xF490EB00, 0x1240, 0x11D1, {0x98, 0x88, 0x00, 0x60, 0x97, 0xDE, 0xAC, 0xF9}};
const CLSID ClsidShellLink = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IidShellLinkA = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IidPersistFile = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Windows 8 and later: a picture for each monitor.
const CLSID ClsidDesktopWallpaper = {
    0xC2CF3110, 0x460E, 0x4FC1, {0xB9, 0xD0, 0x8A, 0x1C, 0x0C, 0x9C, 0xC4, 0xBD}};
const IID IidDesktopWallpaper = {
    0xB92B56A9, 0x8B55, 0x4E14, {0x9A, 0x89, 0x01, 0x99, 0xBB, 0xB6, 0xF9, 0x3B}};

// The path buffers of the shell calls hold 260 characters, the terminator included.
constexpr std::size_t PathBuffer = 260;

class TRegistryKey {
public:
    TRegistryKey() = default;
    ~TRegistryKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    TRegistryKey(const TRegistryKey&) = delete;
    TRegistryKey& operator=(const TRegistryKey&) = delete;

    // Opens for all access, creating it when missing. A failure carries the registry layer's
    // text and abandons the change, as it always did.
    TPlatformStatus Create(HKEY parent, const char* name)
    {
        DWORD disposition = 0;
        if (RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                            nullptr, &key_, &disposition) != ERROR_SUCCESS) {
            key_ = nullptr;
            return TPlatformStatus::Abandoning(std::string("Failed to create key ") + name);
        }
        return TPlatformStatus::Success();
    }

    // A REG_SZ of one decimal digit, handed over as one byte without its terminating null.
    // The NT family looks at the byte after the data and counts a null there as the string's
    // terminator, so the digit is followed by one: what is stored must not depend on whatever
    // lies beyond a lone char.
    TPlatformStatus SetDigit(const char* name, char digit)
    {
        const char text[2] = {digit, '\0'};
        if (RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 1) !=
            ERROR_SUCCESS)
            return TPlatformStatus::Abandoning(std::string("Failed to set data for '") + name +
                                               "'");
        return TPlatformStatus::Success();
    }

    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

template <typename T> struct TComRelease {
    void operator()(T* object) const
    {
        if (object)
            object->Release();
    }
};
template <typename T> using TComPtr = std::unique_ptr<T, TComRelease<T>>;

std::string LastErrorText(const char* what)
{
    return std::string(what) + " failed (error " + std::to_string(GetLastError()) + ")";
}

std::string HresultText(const char* what, HRESULT result)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
    return std::string(what) + " failed (" + text + ")";
}

bool DetectWin98Style()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&version))
        return false;
#pragma GCC diagnostic pop
    return version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && version.dwMajorVersion >= 4 &&
           version.dwMinorVersion >= 10;
}

std::string Override()
{
    const char* text = std::getenv("SCENARIA_SCREEN");
    return text ? text : "";
}

std::string Utf8(const wchar_t* text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1)
        return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    out.pop_back();
    return out;
}

BOOL CALLBACK AddMonitor(HMONITOR handle, HDC, LPRECT, LPARAM data)
{
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(handle, &info))
        return TRUE;
    const RECT& r = info.rcMonitor;
    TMonitor m{Utf8(info.szDevice),
               r.left,
               r.top,
               r.right - r.left,
               r.bottom - r.top,
               (info.dwFlags & MONITORINFOF_PRIMARY) != 0,
               0};
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (EnumDisplaySettingsExW(info.szDevice, ENUM_CURRENT_SETTINGS, &mode, 0) &&
        (mode.dmFields & DM_DISPLAYORIENTATION))
        m.Rotation = static_cast<int>(mode.dmDisplayOrientation) * 90;
    if (m.Width > 0 && m.Height > 0)
        reinterpret_cast<std::vector<TMonitor>*>(data)->push_back(m);
    return TRUE;
}

} // namespace

std::unique_ptr<IPlatform> CreatePlatform()
{
    return std::make_unique<TWinPlatform>();
}

TWinPlatform::TWinPlatform() : TWinPlatform(CurrentProgramPath())
{
}

TWinPlatform::TWinPlatform(std::string programPath)
    : programPath_(std::move(programPath)), win98Style_(DetectWin98Style())
{
}

TWinPlatform::~TWinPlatform()
{
    FinalizeDesktop();
}

std::string TWinPlatform::ProgramPath() const
{
    return programPath_;
}

std::string TWinPlatform::SettingsFilePath() const
{
    return SettingsFileFor(programPath_);
}

std::string TWinPlatform::DefaultPictureFolder() const
{
    return PictureFolder();
}

std::string TWinPlatform::DefaultSaveFolder() const
{
    return SaveFolderDefault();
}

bool TWinPlatform::InitializeDesktop()
{
    // Asked again, the answer stays the first one's.
    if (comInitialized_)
        return desktopReady_;
    const HRESULT result = CoInitialize(nullptr);
    // S_FALSE (already initialised on this thread) still wants its CoUninitialize, but only
    // S_OK makes the desktop usable.
    comInitialized_ = SUCCEEDED(result);
    desktopReady_ = result == S_OK;
    return desktopReady_;
}

void TWinPlatform::FinalizeDesktop()
{
    // Only a successful CoInitialize is balanced; one that failed has nothing to undo.
    if (comInitialized_)
        CoUninitialize();
    comInitialized_ = false;
    desktopReady_ = false;
}

std::vector<TMonitor> TWinPlatform::Monitors() const
{
    std::vector<TMonitor> monitors;
    if (ParseMonitors(Override(), monitors))
        return monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    // The primary monitor first, as every caller expects.
    std::stable_partition(monitors.begin(), monitors.end(),
                          [](const TMonitor& m) { return m.Primary; });
    if (!monitors.empty())
        monitors[0].Primary = true;
    return monitors.empty() ? IPlatform::Monitors() : monitors;
}

TScreenFacts TWinPlatform::ScreenFacts() const
{
    TScreenFacts facts;
    if (ParseScreenFacts(Override(), facts))
        return facts;
    if (std::vector<TMonitor> monitors; ParseMonitors(Override(), monitors))
        return LayoutScreenFacts(monitors);
    facts.Width = GetSystemMetrics(SM_CXSCREEN);
    facts.Height = GetSystemMetrics(SM_CYSCREEN);
    if (HDC screen = GetDC(nullptr)) {
        facts.BitsPerPixel = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
        ReleaseDC(nullptr, screen);
    }
    return facts;
}

TPlatformStatus TWinPlatform::InstallClassic(const std::string& file, bool tiled)
{
    TRegistryKey controlPanel;
    if (auto status = controlPanel.Create(HKEY_CURRENT_USER, "Control Panel"); !status.Ok)
        return status;
    TRegistryKey desktop;
    if (auto status = desktop.Create(controlPanel.Get(), "Desktop"); !status.Ok)
        return status;
    if (auto status = desktop.SetDigit("TileWallpaper", tiled ? '1' : '0'); !status.Ok)
        return status;
    if (win98Style_) {
        if (auto status = desktop.SetDigit("WallpaperStyle", '0'); !status.Ok)
            return status;
    }
    // Stored in the user's profile, without a broadcast of the change.
    if (!SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(file.c_str()),
                               SPIF_UPDATEINIFILE))
        return TPlatformStatus::Failure(LastErrorText("SystemParametersInfoA"));
    return TPlatformStatus::Success();
}

TPlatformStatus TWinPlatform::InstallActiveDesktop(const std::string& file, int style)
{
    IActiveDesktop* raw = nullptr;
    const HRESULT created = CoCreateInstance(ClsidActiveDesktop, nullptr, CLSCTX_INPROC_SERVER,
                                             IidActiveDesktop, reinterpret_cast<void**>(&raw));
    if (created != S_OK)
        return TPlatformStatus::Failure(HresultText("Active Desktop", created));
    TComPtr<IActiveDesktop> desktop(raw);

    // A name that does not fit the buffer is refused rather than cut.
    wchar_t name[PathBuffer];
    if (MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, name, static_cast<int>(PathBuffer)) == 0)
        return TPlatformStatus::Failure("Active Desktop: the file name is too long");
    if (const HRESULT result = desktop->SetWallpaper(name, 0); result != S_OK)
        return TPlatformStatus::Failure(HresultText("IActiveDesktop::SetWallpaper", result));
    WALLPAPEROPT options{};
    options.dwSize = sizeof options; // 8
    options.dwStyle = static_cast<DWORD>(style);
    if (const HRESULT result = desktop->SetWallpaperOptions(&options, 0); result != S_OK)
        return TPlatformStatus::Failure(HresultText("IActiveDesktop::SetWallpaperOptions", result));
    desktop->ApplyChanges(AD_APPLY_SAVE | AD_APPLY_HTMLGEN | AD_APPLY_REFRESH);
    return TPlatformStatus::Success();
}

namespace {

// The picture of the monitor that has this rectangle; null when none has.
const TMonitorPicture* PictureAt(const std::vector<TMonitorPicture>& pictures, const RECT& r)
{
    for (const TMonitorPicture& p : pictures)
        if (p.Monitor.X == r.left && p.Monitor.Y == r.top && p.Monitor.Width == r.right - r.left &&
            p.Monitor.Height == r.bottom - r.top)
            return &p;
    return nullptr;
}

// Each monitor its own bitmap through IDesktopWallpaper, the monitors matched by their
// rectangles. Fails, changing nothing, where the object is missing (before Windows 8) or no
// monitor matches.
TPlatformStatus InstallPerMonitor(const std::vector<TMonitorPicture>& pictures)
{
    IDesktopWallpaper* raw = nullptr;
    const HRESULT created = CoCreateInstance(ClsidDesktopWallpaper, nullptr, CLSCTX_ALL,
                                             IidDesktopWallpaper, reinterpret_cast<void**>(&raw));
    if (created != S_OK)
        return TPlatformStatus::Failure(HresultText("IDesktopWallpaper", created));
    TComPtr<IDesktopWallpaper> wallpaper(raw);
    UINT count = 0;
    if (const HRESULT result = wallpaper->GetMonitorDevicePathCount(&count); result != S_OK)
        return TPlatformStatus::Failure(HresultText("IDesktopWallpaper", result));
    std::vector<std::pair<std::wstring, const TMonitorPicture*>> matched;
    for (UINT i = 0; i < count; ++i) {
        LPWSTR path = nullptr;
        RECT r{};
        if (wallpaper->GetMonitorDevicePathAt(i, &path) != S_OK || !path)
            continue;
        if (wallpaper->GetMonitorRECT(path, &r) == S_OK)
            if (const TMonitorPicture* picture = PictureAt(pictures, r))
                matched.emplace_back(path, picture);
        CoTaskMemFree(path);
    }
    if (matched.empty())
        return TPlatformStatus::Failure("IDesktopWallpaper: no monitor has the layout's place");
    // Each bitmap is its monitor's size: stretching shows it as it is.
    wallpaper->SetPosition(DWPOS_STRETCH);
    for (const auto& [path, picture] : matched) {
        wchar_t name[PathBuffer];
        if (MultiByteToWideChar(CP_ACP, 0, picture->File.c_str(), -1, name,
                                static_cast<int>(PathBuffer)) == 0)
            return TPlatformStatus::Failure("IDesktopWallpaper: the file name is too long");
        if (const HRESULT result = wallpaper->SetWallpaper(path.c_str(), name); result != S_OK)
            return TPlatformStatus::Failure(HresultText("IDesktopWallpaper::SetWallpaper", result));
    }
    return TPlatformStatus::Success();
}

} // namespace

TPlatformStatus TWinPlatform::InstallMonitors(const std::vector<TMonitorPicture>& pictures,
                                              const std::string& layoutFile)
{
    if (InstallPerMonitor(pictures).Ok)
        return TPlatformStatus::Success();
    // Older Windows: the layout bitmap over the whole virtual screen, tiled from the primary
    // monitor's corner, for which it is laid out.
    return InstallClassic(layoutFile, true);
}

TPlatformStatus TWinPlatform::DeleteToRecycleBin(const std::string& file)
{
    // A list of one name: the name and two terminating nulls in 261 characters.
    char buffer[PathBuffer + 1] = {};
    if (file.empty() || file.size() >= PathBuffer)
        return TPlatformStatus::Failure("recycle bin: the file name is empty or too long");
    std::memcpy(buffer, file.data(), file.size());
    SHFILEOPSTRUCTA operation{};
    operation.hwnd = static_cast<HWND>(owner_);
    operation.wFunc = FO_DELETE;
    operation.pFrom = buffer;
    operation.pTo = nullptr;
    // Silent, no question, to the recycle bin; but where the file cannot be recycled (a network
    // drive, say) the shell would destroy it for good, so it asks first there.
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_WANTNUKEWARNING;
    const int result = SHFileOperationA(&operation);
    if (result != 0)
        return TPlatformStatus::Failure("recycle bin: SHFileOperationA failed (error " +
                                        std::to_string(result) + ")");
    if (operation.fAnyOperationsAborted)
        return TPlatformStatus::Failure("recycle bin: the deletion was cancelled");
    return TPlatformStatus::Success();
}

TPlatformStatus TWinPlatform::CreateStartupShortcut()
{
    char folder[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    DWORD type = 0;
    HKEY shellFolders = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                      KEY_READ, &shellFolders) == ERROR_SUCCESS) {
        if (RegQueryValueExA(shellFolders, "Startup", nullptr, &type,
                             reinterpret_cast<BYTE*>(folder), &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            folder[0] = '\0';
        RegCloseKey(shellFolders);
    }
    // Without a Startup folder the shortcut would land in the current drive's root, where it
    // starts nothing: that is a failure, not a success.
    if (folder[0] == '\0')
        return TPlatformStatus::Failure("Startup shortcut: the Startup folder is unknown");
    const std::string shortcut = std::string(folder) + "\\Scenarix.LNK";

    const HRESULT initialized = CoInitialize(nullptr);
    HRESULT outcome;
    {
        IShellLinkA* rawLink = nullptr;
        outcome = CoCreateInstance(ClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, IidShellLinkA,
                                   reinterpret_cast<void**>(&rawLink));
        if (SUCCEEDED(outcome)) {
            TComPtr<IShellLinkA> link(rawLink);
            link->SetPath(programPath_.c_str());
            link->SetDescription("Shortcut to Scenaria");
            link->SetArguments("");
            IPersistFile* rawFile = nullptr;
            // A link that cannot be saved is no success either.
            outcome = link->QueryInterface(IidPersistFile, reinterpret_cast<void**>(&rawFile));
            if (SUCCEEDED(outcome)) {
                TComPtr<IPersistFile> persist(rawFile);
                wchar_t name[PathBuffer];
                if (MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, name,
                                        static_cast<int>(PathBuffer)) == 0)
                    outcome = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
                else
                    outcome = persist->Save(name, TRUE);
            }
        }
    }
    if (SUCCEEDED(initialized))
        CoUninitialize();
    // Only S_OK ever counted as made.
    if (outcome != S_OK)
        return TPlatformStatus::Failure(HresultText("Startup shortcut", outcome));
    return TPlatformStatus::Success();
}

TPlatformStatus TWinPlatform::ShowHelp(int helpContext)
{
    const std::string folder = FolderOf(programPath_);
    const std::string helpFile = (folder.empty() ? "" : folder + "\\") + "scenarix.hlp";
    if (GetFileAttributesA(helpFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (!WinHelpA(static_cast<HWND>(owner_), helpFile.c_str(), HELP_CONTEXT,
                      static_cast<ULONG_PTR>(helpContext)))
            return TPlatformStatus::Failure(LastErrorText("WinHelpA"));
        return TPlatformStatus::Success();
    }
    // Systems without WinHelp get the HTML help set installed beside the program.
    const std::string page =
        (folder.empty() ? "" : folder + "\\") + "..\\share\\scenaria\\help\\scenarix.html";
    if (GetFileAttributesA(page.c_str()) == INVALID_FILE_ATTRIBUTES)
        return TPlatformStatus::Failure("help: " + helpFile + " is missing");
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteA(
        static_cast<HWND>(owner_), "open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32)
        return TPlatformStatus::Failure("help: cannot open " + page + " (error " +
                                        std::to_string(result) + ")");
    return TPlatformStatus::Success();
}

} // namespace scenaria
