// The Windows backend's test program. Started with a child mode as its first argument it plays
// a second copy of the program instead of running the tests.

#include "WinTestSupport.h"

#include "platform/RemoteControl.h"
#include "platform/SingleInstance.h"
#include "platform/win32/WinPlatform.h"

#include <cstdio>
#include <cstring>

namespace scenaria::testing {

int RunSecondCopyChild(const std::string& programFileName)
{
    // What the program's entry does before anything else.
    const TSingleInstance justOne(programFileName);
    if (justOne.Previous()) {
        CallRunningCopy(programFileName, "Configure", 5000);
        return 0;
    }
    return static_cast<int>(FirstCopyExit);
}

int RunRecycleChild(const std::string& file)
{
    TWinPlatform platform;
    const TPlatformStatus status = platform.DeleteToRecycleBin(file);
    std::printf("%s\n", status.Ok ? "recycled" : status.Error.c_str());
    return status.Ok ? 0 : 1;
}

int RunClassicChild(const std::string& file, const std::string& tiled)
{
    TWinPlatform platform;
    const TPlatformStatus status = platform.InstallClassic(file, tiled == "1");
    if (!status.Ok)
        std::printf("%s\n", status.Error.c_str());
    return (status.Ok ? 0 : 1) + (platform.Win98Style() ? static_cast<int>(ChildWin98) : 0);
}

TChildRun RunChild(const std::vector<std::string>& arguments, std::chrono::milliseconds limit)
{
    return RunChildAs(ThisProgram(), arguments, limit);
}

TChildRun RunChildAs(const std::string& program, const std::vector<std::string>& arguments,
                     std::chrono::milliseconds limit)
{
    std::wstring commandLine = L"\"" + Wide(program) + L"\"";
    for (const auto& argument : arguments)
        commandLine += L" \"" + Wide(argument) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    TChildRun run;
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return run;
    run.Started = true;
    CloseHandle(process.hThread);
    for (;;) {
        const auto left = limit - std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now() - start);
        if (left.count() <= 0)
            break;
        const DWORD woken = MsgWaitForMultipleObjects(
            1, &process.hProcess, FALSE, static_cast<DWORD>(left.count()), QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0) {
            run.Ended = true;
            break;
        }
        if (woken != WAIT_OBJECT_0 + 1)
            break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    run.Took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    if (run.Ended)
        GetExitCodeProcess(process.hProcess, &run.ExitCode);
    else
        TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hProcess);
    return run;
}

} // namespace scenaria::testing

int main(int argc, char** argv)
{
    using namespace scenaria::testing;
    if (argc == 3 && std::strcmp(argv[1], ChildSecondCopy) == 0)
        return RunSecondCopyChild(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], ChildRecycle) == 0)
        return RunRecycleChild(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], ChildClassic) == 0)
        return RunClassicChild(argv[2], argv[3]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
