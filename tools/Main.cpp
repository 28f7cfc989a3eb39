// scenarix-tool: the command-line face of the image library, the settings and the wallpaper
// composition.

#include "tools/ToolCommand.h"

#include "platform/FileSystem.h"
#include "platform/Folders.h"

#include <cstdio>
#include <exception>
#include <iostream>

namespace scenaria::tool {

namespace {
std::map<std::string, TToolCommand>& Registry()
{
    static std::map<std::string, TToolCommand> commands;
    return commands;
}
} // namespace

void RegisterToolCommand(TToolCommand command)
{
    Registry()[command.Name] = std::move(command);
}

const std::map<std::string, TToolCommand>& ToolCommands()
{
    return Registry();
}

TToolArgs::TToolArgs(const std::vector<std::string>& args,
                     const std::vector<std::string>& valueOptions,
                     const std::vector<std::string>& flags)
{
    const auto known = [](const std::vector<std::string>& list, const std::string& s) {
        for (const auto& item : list)
            if (item == s)
                return true;
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            if (known(valueOptions, arg)) {
                if (i + 1 >= args.size())
                    throw EToolUsage(arg + " needs a value");
                values_[arg] = args[++i];
            } else if (known(flags, arg)) {
                flags_.push_back(arg);
            } else {
                throw EToolUsage("unknown option " + arg);
            }
        } else {
            positional_.push_back(arg);
        }
    }
}

std::optional<std::string> TToolArgs::Value(const std::string& option) const
{
    const auto it = values_.find(option);
    if (it == values_.end())
        return std::nullopt;
    return it->second;
}

bool TToolArgs::Flag(const std::string& flag) const
{
    for (const auto& f : flags_)
        if (f == flag)
            return true;
    return false;
}

std::optional<long long> TToolArgs::Integer(const std::string& option, long long min,
                                            long long max) const
{
    const auto text = Value(option);
    if (!text)
        return std::nullopt;
    std::size_t used = 0;
    long long value = 0;
    try {
        value = std::stoll(*text, &used, 10);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text->size() || value < min || value > max)
        throw EToolUsage(option + " needs a whole number from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not \"" + *text + "\"");
    return value;
}

std::string ProgramSettingsFile()
{
    const std::string self = CurrentProgramPath();
    // The tool's own name replaced, its folder spelt as the system spelt it.
    return SettingsFileFor(self.substr(0, self.size() - FileNameOf(self).size()) + "scenarix");
}

} // namespace scenaria::tool

namespace {

void PrintHelp(std::FILE* out)
{
    std::fprintf(out, "usage: scenarix-tool COMMAND [arguments]\n\nCommands:\n");
    for (const auto& [name, command] : scenaria::tool::ToolCommands()) {
        std::fprintf(out, "\n  %s\n", command.Synopsis.c_str());
        std::string help = command.Help;
        std::size_t start = 0;
        while (start < help.size()) {
            auto end = help.find('\n', start);
            if (end == std::string::npos)
                end = help.size();
            std::fprintf(out, "      %s\n", help.substr(start, end - start).c_str());
            start = end + 1;
        }
    }
    std::fprintf(out,
                 "\nExit status: 0 on success, 1 with a message on stderr on failure, unless a\n"
                 "command says otherwise above.\n");
}

} // namespace

int main(int argc, char** argv)
{
    using namespace scenaria::tool;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        PrintHelp(stderr);
        return 1;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        PrintHelp(stdout);
        return 0;
    }
    const auto& commands = ToolCommands();
    const auto it = commands.find(args[0]);
    if (it == commands.end()) {
        std::fprintf(stderr, "scenarix-tool: unknown command \"%s\" (see --help)\n",
                     args[0].c_str());
        return 1;
    }
    args.erase(args.begin());
    for (const auto& arg : args) {
        if (arg == "--help") {
            std::printf("%s\n%s\n", it->second.Synopsis.c_str(), it->second.Help.c_str());
            return 0;
        }
    }
    try {
        return it->second.Run(args);
    } catch (const EToolUsage& e) {
        std::fprintf(stderr, "scenarix-tool %s: %s\n", it->first.c_str(), e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
