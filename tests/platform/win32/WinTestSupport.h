#pragma once
// What the Windows backend's tests share: folders and registry values that are put back
// afterwards, and a second copy of the test program started as a child.

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace scenaria::testing {

// The system's ANSI code page, as the backend's own calls use it.
inline std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return {};
    const int size =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

inline std::string Narrow(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size,
                        nullptr, nullptr);
    return narrow;
}

inline std::string ThisProgram()
{
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, length);
}

inline std::string FileNameOf(const std::string& path)
{
    return path.substr(path.find_last_of("\\/") + 1);
}

inline bool SameText(const std::string& a, const std::string& b)
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

// A folder of the test's own under the system's temporary folder, removed with everything in it.
class TTempFolder {
public:
    TTempFolder()
    {
        char temp[MAX_PATH + 1] = {};
        GetTempPathA(MAX_PATH, temp);
        static int counter = 0;
        path_ = std::string(temp) + "scx-test-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(++counter);
        std::filesystem::create_directories(path_);
    }
    ~TTempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

inline void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot write " << path;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}

inline bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One registry value as the registry keeps it: its type and its bytes exactly, terminator or
// none. The registry keeps strings in UTF-16, so that is what the wide calls give back.
struct TRegistryValue {
    DWORD Type = REG_NONE;
    std::string Bytes;
};

// The UTF-16 bytes of an ASCII text, without a terminator.
inline std::string Utf16Bytes(const std::string& text)
{
    std::string bytes;
    for (const char c : text) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// A string value's text, up to its terminator if it has one.
inline std::string RegistryText(const TRegistryValue& value)
{
    std::wstring text(value.Bytes.size() / 2, L'\0');
    std::memcpy(text.data(), value.Bytes.data(), text.size() * 2);
    return Narrow(text.substr(0, text.find(L'\0')));
}

inline std::optional<TRegistryValue> ReadRegistryValue(HKEY root, const char* key, const char* name)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, Wide(key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    TRegistryValue value;
    DWORD size = 0;
    std::optional<TRegistryValue> result;
    const std::wstring wideName = Wide(name);
    if (RegQueryValueExW(opened, wideName.c_str(), nullptr, &value.Type, nullptr, &size) ==
        ERROR_SUCCESS) {
        value.Bytes.resize(size);
        if (RegQueryValueExW(opened, wideName.c_str(), nullptr, &value.Type,
                             reinterpret_cast<BYTE*>(value.Bytes.data()), &size) == ERROR_SUCCESS) {
            value.Bytes.resize(size);
            result = value;
        }
    }
    RegCloseKey(opened);
    return result;
}

inline void WriteRegistryValue(HKEY root, const char* key, const char* name,
                               const std::optional<TRegistryValue>& value)
{
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, Wide(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &opened, nullptr),
              ERROR_SUCCESS);
    if (value)
        RegSetValueExW(opened, Wide(name).c_str(), 0, value->Type,
                       reinterpret_cast<const BYTE*>(value->Bytes.data()),
                       static_cast<DWORD>(value->Bytes.size()));
    else
        RegDeleteValueW(opened, Wide(name).c_str());
    RegCloseKey(opened);
}

// A string value with its terminator, as the system's own tools store one.
inline TRegistryValue StringValue(const std::string& text)
{
    return {REG_SZ, Utf16Bytes(text) + std::string(2, '\0')};
}

// Puts a registry value back as it was, or removes it when it was missing.
class TRegistryValueGuard {
public:
    TRegistryValueGuard(HKEY root, std::string key, std::string name)
        : root_(root), key_(std::move(key)), name_(std::move(name)),
          saved_(ReadRegistryValue(root_, key_.c_str(), name_.c_str()))
    {
    }
    ~TRegistryValueGuard() { WriteRegistryValue(root_, key_.c_str(), name_.c_str(), saved_); }
    TRegistryValueGuard(const TRegistryValueGuard&) = delete;
    TRegistryValueGuard& operator=(const TRegistryValueGuard&) = delete;

private:
    HKEY root_;
    std::string key_;
    std::string name_;
    std::optional<TRegistryValue> saved_;
};

// The outcome of a child run of this test program.
struct TChildRun {
    bool Started = false;
    bool Ended = false;
    DWORD ExitCode = 0;
    std::chrono::milliseconds Took{0};
};

// Starts this program again with the arguments and waits at most the limit for it to end.
// Window messages sent to this thread meanwhile are handled, so that the child may call a
// window of this process while it waits.
TChildRun RunChild(const std::vector<std::string>& arguments,
                   std::chrono::milliseconds limit = std::chrono::seconds(60));
// The same with a copy of this program stored elsewhere.
TChildRun RunChildAs(const std::string& program, const std::vector<std::string>& arguments,
                     std::chrono::milliseconds limit = std::chrono::seconds(60));

// The child modes, chosen by the first argument; main() hands them the process.
inline constexpr const char* ChildSecondCopy = "--scenaria-child-second-copy";

// Ends the process the way the program's entry does for a guard of that name: a second copy
// asks the running one to show itself and ends with 0; a first copy would run on, which here
// ends with FirstCopyExit.
inline constexpr DWORD FirstCopyExit = 3;
int RunSecondCopyChild(const std::string& programFileName);

// Moves the file to the recycle bin from a process of its own; ends with 0 when that succeeded.
inline constexpr const char* ChildRecycle = "--scenaria-child-recycle";
int RunRecycleChild(const std::string& file);

// Installs the file the classic way, tiled when the flag is "1". Ends with 0 when that succeeded,
// 1 when not, plus ChildWin98 when the child found itself on the Windows 98 family.
inline constexpr const char* ChildClassic = "--scenaria-child-classic";
inline constexpr DWORD ChildWin98 = 10;
int RunClassicChild(const std::string& file, const std::string& tiled);

} // namespace scenaria::testing
