// next, delete, configure, explore, status, quit: the running copy's tray commands for
// scripts, hotkeys and desktops without a notification area.

#include "tools/ToolCommand.h"

#include "platform/RemoteControl.h"

#include <cstdio>

namespace scenaria::tool {

namespace {

// Long enough for a slow picture to be composed and installed by "next" and "delete".
constexpr int AnswerTimeoutMs = 60000;

// Exit codes: 0 answered and done, 1 no copy runs or the command failed, 2 a dialog is open.
int AskRunningCopy(const std::string& tool, const std::string& command,
                   const std::vector<std::string>& args)
{
    const TToolArgs options(args, {"--program"});
    if (!options.Positional().empty())
        throw EToolUsage("takes no arguments besides --program NAME");
    const std::string program = options.Value("--program").value_or("scenarix");
    if (program.empty() || program.find('/') != std::string::npos)
        throw EToolUsage("--program needs the program's file name, not a path");
    const TRemoteAnswer answer = CallRunningCopy(program, command, AnswerTimeoutMs);
    if (answer.Outcome == roDone) {
        for (const auto& line : answer.Lines)
            std::printf("%s\n", line.c_str());
        return 0;
    }
    for (const auto& line : answer.Lines)
        std::fprintf(stderr, "scenarix-tool %s: %s\n", tool.c_str(), line.c_str());
    return answer.Outcome == roBusy ? 2 : 1;
}

TToolCommand RunningCopyCommand(const std::string& tool, const std::string& command,
                                const std::string& what)
{
    return {tool, tool + " [--program NAME]",
            what + "\n--program NAME  the copy started under that file name (default scenarix)"
                   "\nExit status 0 when done, 1 when no copy runs or it could not,"
                   "\n2 when a dialog is open (nothing done).",
            [tool, command](const std::vector<std::string>& args) {
                return AskRunningCopy(tool, command, args);
            }};
}

const TToolCommandRegistration NextCommand(RunningCopyCommand(
    "next", "Next", "Has the running copy change the wallpaper now; prints the new picture."));
const TToolCommandRegistration DeleteCommand(RunningCopyCommand(
    "delete", "DeleteShown",
    "Has the running copy move the picture it shows to the trash and show the next."));
const TToolCommandRegistration ConfigureCommand(RunningCopyCommand(
    "configure", "Configure",
    "Has the running copy open its configuration dialog (or bring the open one forward)."));
const TToolCommandRegistration ExploreCommand(
    RunningCopyCommand("explore", "Explore", "Has the running copy open the Bitmap Explorer."));
const TToolCommandRegistration StatusCommand(RunningCopyCommand(
    "status", "Status",
    "Prints the running copy's state, one fact a line: the picture shown, the minutes left\n"
    "until the next change, the settings file in use."));
const TToolCommandRegistration QuitCommand(RunningCopyCommand("quit", "Quit",
                                                              "Ends the running copy."));

} // namespace

} // namespace scenaria::tool
