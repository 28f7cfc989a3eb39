// Starting programs with CreateProcessW, each output read to the end by a thread of its own so
// that neither pipe can fill up and stall the child.

#include "RunProgram.h"
#include "TempDir.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

namespace scenaria::testing {
namespace {

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const wchar_t* text, std::size_t length)
{
    if (length == 0)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), narrow.data(), n, nullptr,
                        nullptr);
    return narrow;
}

// One argument quoted the way the C runtime's command-line parser reads it back.
std::wstring Quoted(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

struct THandle {
    HANDLE Value = nullptr;
    ~THandle() { Close(); }
    void Close()
    {
        if (Value)
            CloseHandle(Value);
        Value = nullptr;
    }
};

// Reads what the pipe holds now, without waiting for more.
void ReadAvailable(HANDLE pipe, std::string& into)
{
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char buffer[4096];
        DWORD n = 0;
        if (!::ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof buffer), &n, nullptr) ||
            n == 0)
            return;
        into.append(buffer, n);
    }
}

// The C runtime writes text streams with CRLF; the tests compare lines as the Linux build
// prints them.
std::string WithoutCarriageReturns(const std::string& text)
{
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            lines += text[i];
    return lines;
}

} // namespace

std::vector<std::string> Environment(const std::vector<std::string>& extraEnv)
{
    std::vector<std::string> env;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* e = block; *e; e += wcslen(e) + 1)
            env.push_back(Narrow(e, wcslen(e)));
        FreeEnvironmentStringsW(block);
    }
    for (const auto& extra : extraEnv) {
        const std::string name = extra.substr(0, extra.find('=') + 1);
        std::erase_if(env, [&name](const std::string& e) {
            return e.size() >= name.size() &&
                   CompareStringOrdinal(Wide(e.substr(0, name.size())).c_str(), -1,
                                        Wide(name).c_str(), -1, TRUE) == CSTR_EQUAL;
        });
        env.push_back(extra);
    }
    return env;
}

TRunResult RunProgram(const std::vector<std::string>& argv,
                      const std::vector<std::string>& extraEnv)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    THandle outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead.Value, &outWrite.Value, &inherit, 0) ||
        !CreatePipe(&errRead.Value, &errWrite.Value, &inherit, 0))
        throw std::runtime_error("pipe failed");
    SetHandleInformation(outRead.Value, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead.Value, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine;
    for (const auto& argument : argv)
        commandLine += (commandLine.empty() ? L"" : L" ") + Quoted(Wide(argument));
    std::wstring block;
    for (const auto& entry : Environment(extraEnv))
        block += Wide(entry) + L'\0';
    block += L'\0';

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite.Value;
    startup.hStdError = errWrite.Value;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                        CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup, &process))
        throw std::runtime_error("cannot start " + argv[0]);
    CloseHandle(process.hThread);
    THandle child{process.hProcess};
    // The child holds its own copies now; ours would keep the pipes open forever.
    outWrite.Close();
    errWrite.Close();

    // The outputs are read until the program has ended, not until the pipes close: a process
    // it leaves behind (wine starts its desktop process on the first window) may hold them
    // open for ever. Reading while it runs keeps a full pipe from stalling it.
    TRunResult result;
    for (bool ended = false; !ended;) {
        ended = WaitForSingleObject(child.Value, 10) == WAIT_OBJECT_0;
        ReadAvailable(outRead.Value, result.Out);
        ReadAvailable(errRead.Value, result.Err);
    }
    result.Out = WithoutCarriageReturns(result.Out);
    result.Err = WithoutCarriageReturns(result.Err);
    DWORD code = 0;
    if (GetExitCodeProcess(child.Value, &code))
        result.ExitCode = static_cast<int>(code);
    return result;
}

std::string BuiltProgram(const std::string& name)
{
    return BinaryFolder() + "/bin/" + name + ".exe";
}

} // namespace scenaria::testing
