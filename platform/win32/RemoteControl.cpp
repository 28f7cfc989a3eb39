// The running copy's commands on Windows: a message to a hidden window of the copy. The caller
// sends the command with WM_COPYDATA; before that call returns, the copy sends its answer back
// the same way to a hidden window of the caller.

#include "platform/RemoteControl.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace scenaria {

namespace {

const wchar_t* const WindowClass = L"ScenariaRemoteControl";
const wchar_t* const AnswerClass = L"ScenariaRemoteAnswer";
constexpr ULONG_PTR CommandTag = 0x53435851; // "SCXQ"
constexpr ULONG_PTR AnswerTag = 0x53435841;  // "SCXA"
// Commands and answers are short; anything longer did not come from us.
constexpr DWORD MaxPayload = 64 * 1024;

// The copy's window is named after its program without ".exe", so that "scenarix-tool next"
// finds scenarix.exe under the same default name as on Linux, and "--program scenarix.exe" too.
std::string ServiceName(const std::string& programFileName)
{
    std::string name = programFileName;
    if (name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".exe") == 0)
        name.resize(name.size() - 4);
    return RemoteServiceName(name);
}

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            size);
    return wide;
}

std::string Payload(const COPYDATASTRUCT* data)
{
    if (!data || !data->lpData || data->cbData > MaxPayload)
        return {};
    return std::string(static_cast<const char*>(data->lpData), data->cbData);
}

// Outcome as one digit, then the lines, each ended by "\n".
std::string Encode(const TRemoteAnswer& answer)
{
    std::string text(1, static_cast<char>('0' + answer.Outcome));
    for (const auto& line : answer.Lines)
        text += line + "\n";
    return text;
}

TRemoteAnswer Decode(const std::string& text)
{
    TRemoteAnswer answer;
    if (text.empty() || text[0] < '0' || text[0] > '0' + roUnreachable) {
        answer.Lines = {"the running copy gave an answer that cannot be read"};
        answer.Outcome = roFailed;
        return answer;
    }
    answer.Outcome = static_cast<TRemoteOutcome>(text[0] - '0');
    std::size_t start = 1;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        answer.Lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return answer;
}

bool Send(HWND to, HWND from, ULONG_PTR tag, const std::string& text, UINT timeoutMs)
{
    COPYDATASTRUCT data{tag, static_cast<DWORD>(text.size()), const_cast<char*>(text.data())};
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from),
                               reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, timeoutMs,
                               &result) != 0 &&
           result == TRUE;
}

void RegisterClassOnce(const wchar_t* name, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass); // fails harmlessly when registered already
}

} // namespace

struct TRemoteServer::TImpl {
    THandler Handler;
    HWND Window = nullptr;
    std::string Error;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message != WM_COPYDATA)
            return DefWindowProcW(window, message, wParam, lParam);
        auto* self = reinterpret_cast<TImpl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!self || !data || data->dwData != CommandTag)
            return FALSE;
        const std::string command = Payload(data);
        const auto& names = RemoteCommandNames();
        TRemoteAnswer answer;
        if (std::find(names.begin(), names.end(), command) == names.end())
            answer = {roFailed, {"unknown command \"" + command + "\""}};
        else
            answer = self->Handler(command);
        Send(reinterpret_cast<HWND>(wParam), window, AnswerTag, Encode(answer), 5000);
        return TRUE;
    }
};

TRemoteServer::TRemoteServer(const std::string& programFileName, THandler handler)
    : impl_(std::make_unique<TImpl>())
{
    impl_->Handler = std::move(handler);
    const std::wstring title = Wide(ServiceName(programFileName));
    if (FindWindowExW(HWND_MESSAGE, nullptr, WindowClass, title.c_str())) {
        impl_->Error = "another copy answers under the name " + ServiceName(programFileName);
        return;
    }
    RegisterClassOnce(WindowClass, &TImpl::Procedure);
    impl_->Window = CreateWindowExW(0, WindowClass, title.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!impl_->Window) {
        impl_->Error = "cannot make the window that answers other programs";
        return;
    }
    SetWindowLongPtrW(impl_->Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl_.get()));
}

TRemoteServer::~TRemoteServer()
{
    if (impl_->Window)
        DestroyWindow(impl_->Window);
}

bool TRemoteServer::Listening() const
{
    return impl_->Window != nullptr;
}

const std::string& TRemoteServer::Error() const
{
    return impl_->Error;
}

namespace {

LRESULT CALLBACK AnswerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_COPYDATA)
        return DefWindowProcW(window, message, wParam, lParam);
    auto* answer = reinterpret_cast<std::string*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!answer || !data || data->dwData != AnswerTag)
        return FALSE;
    *answer = Payload(data);
    return TRUE;
}

} // namespace

TRemoteAnswer CallRunningCopy(const std::string& programFileName, const std::string& command,
                              int timeoutMs)
{
    TRemoteAnswer answer;
    answer.Lines = {"Scenaria is not running: no copy of \"" + programFileName + "\" answers"};
    const HWND copy = FindWindowExW(HWND_MESSAGE, nullptr, WindowClass,
                                    Wide(ServiceName(programFileName)).c_str());
    if (!copy)
        return answer;
    RegisterClassOnce(AnswerClass, &AnswerProcedure);
    const HWND self = CreateWindowExW(0, AnswerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    if (!self)
        return answer;
    // The copy's answer arrives while this thread waits in the send below.
    std::string text;
    SetWindowLongPtrW(self, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&text));
    const bool delivered =
        Send(copy, self, CommandTag, command, static_cast<UINT>(timeoutMs > 0 ? timeoutMs : 1));
    DestroyWindow(self);
    if (delivered && !text.empty())
        answer = Decode(text);
    else if (delivered)
        answer = {roFailed, {"the running copy took the command but its answer never came"}};
    return answer;
}

} // namespace scenaria
