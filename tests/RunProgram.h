#pragma once
// Runs a program of the build (or any command) and collects its exit code and output. The
// operating system's half lives in tests/support/<system>/RunProgram.cpp.

#include <string>
#include <vector>

namespace scenaria::testing {

struct TRunResult {
    int ExitCode = -1; // -1 when the program did not exit normally
    std::string Out;
    std::string Err;
};

// This process's environment with the given "NAME=value" entries added or replaced.
std::vector<std::string> Environment(const std::vector<std::string>& extraEnv);

// Runs argv[0] (looked up on PATH when it has no folder) with the given extra environment
// entries ("NAME=value") and returns once it has ended. Throws when it cannot be started.
TRunResult RunProgram(const std::vector<std::string>& argv,
                      const std::vector<std::string>& extraEnv = {});

// A program of this build by its name without extension.
std::string BuiltProgram(const std::string& name);

// scenarix-tool with the given arguments.
inline TRunResult RunTool(const std::vector<std::string>& args,
                          const std::vector<std::string>& extraEnv = {})
{
    std::vector<std::string> argv{BuiltProgram("scenarix-tool")};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, extraEnv);
}

} // namespace scenaria::testing
