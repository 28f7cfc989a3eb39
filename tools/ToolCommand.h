#pragma once
// scenarix-tool's subcommands. Each lives in its own file and registers itself with a
// TToolCommandRegistration object, so adding one never touches the others.

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace scenaria::tool {

struct TToolCommand {
    std::string Name;
    std::string Synopsis; // "NAME [options]" line of --help
    std::string Help;     // what it does, options one per line
    std::function<int(const std::vector<std::string>& args)> Run;
};

void RegisterToolCommand(TToolCommand command);
const std::map<std::string, TToolCommand>& ToolCommands();

struct TToolCommandRegistration {
    explicit TToolCommandRegistration(TToolCommand command)
    {
        RegisterToolCommand(std::move(command));
    }
};

// A usage mistake: reported on stderr with exit code 1.
class EToolUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The arguments of one subcommand: "--name value" options, "--flag" switches and the
// positional rest, checked against what the subcommand accepts.
class TToolArgs {
public:
    TToolArgs(const std::vector<std::string>& args, const std::vector<std::string>& valueOptions,
              const std::vector<std::string>& flags = {});

    const std::vector<std::string>& Positional() const { return positional_; }
    std::optional<std::string> Value(const std::string& option) const;
    bool Flag(const std::string& flag) const;
    // The option's value as a whole number in [min, max], or nothing when absent.
    std::optional<long long> Integer(const std::string& option, long long min, long long max) const;

private:
    std::vector<std::string> positional_;
    std::map<std::string, std::string> values_;
    std::vector<std::string> flags_;
};

// The settings file of the program "scenarix" installed beside this tool.
std::string ProgramSettingsFile();

} // namespace scenaria::tool
