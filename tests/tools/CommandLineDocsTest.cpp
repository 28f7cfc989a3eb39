// What is installed beside scenarix-tool to describe it, the manual pages and the shell
// completion, against what the tool itself says in --help: they are written by hand, and must
// follow every command and option the tool gains or loses.

#include "RunProgram.h"
#include "TempDir.h"
#include "platform/PlatformTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace scenaria {
namespace {

using testing::ReadFile;
using testing::RunProgram;
using testing::RunTool;
using testing::SourceFolder;
using testing::TTempDir;

using TWords = std::set<std::string>;

TWords SplitLines(const std::string& text)
{
    TWords lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.insert(line);
    return lines;
}

// The commands "scenarix-tool --help" lists: the first word of each two-space indented line.
TWords ToolCommands()
{
    const auto help = RunTool({"--help"});
    EXPECT_EQ(help.ExitCode, 0) << help.Err;
    TWords commands;
    const std::regex synopsis("^  ([a-z][a-z-]*)( .*)?$");
    std::istringstream in(help.Out);
    std::string line;
    std::smatch match;
    while (std::getline(in, line))
        if (std::regex_match(line, match, synopsis))
            commands.insert(match[1]);
    return commands;
}

// The options one command's --help names, its synopsis and its text.
TWords OptionsOf(const std::string& command)
{
    const auto help = RunTool({command, "--help"});
    EXPECT_EQ(help.ExitCode, 0) << command << ": " << help.Err;
    TWords options;
    const std::regex option("--[a-z][a-z-]*");
    for (auto it = std::sregex_iterator(help.Out.begin(), help.Out.end(), option);
         it != std::sregex_iterator(); ++it)
        options.insert(it->str());
    options.erase("--help");
    return options;
}

std::string Listed(const TWords& words)
{
    std::string text;
    for (const auto& word : words)
        text += " " + word;
    return text;
}

class Completion : public ::testing::Test {
protected:
    // What bash offers for the words typed so far (the last one being completed), with the
    // completion file sourced the way bash-completion loads it, in `folder` as the current one.
    TWords Complete(const std::vector<std::string>& typed, const std::string& folder = "/")
    {
        // The function is whatever "complete -p" names, so that only the registration counts.
        const std::string script =
            "set -u\nsource \"$1\" || exit 3\ncd \"$2\" || exit 3\nshift 2\n"
            "function=$(complete -p scenarix-tool | sed -n 's/.* -F \\([^ ]*\\) .*/\\1/p')\n"
            "[ -n \"$function\" ] || exit 4\n"
            "COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); COMP_LINE=\"$*\"; "
            "COMP_POINT=${#COMP_LINE}\n"
            "\"$function\" scenarix-tool \"${COMP_WORDS[COMP_CWORD]}\" "
            "\"${COMP_WORDS[COMP_CWORD - 1]}\" || exit 5\n"
            "for word in \"${COMPREPLY[@]}\"; do printf '%s\\n' \"$word\"; done\n";
        const std::string harness = dir_.Write("harness.sh", script);
        std::vector<std::string> argv{"/bin/bash", "--norc", "--noprofile",  harness,
                                      file_,       folder,   "scenarix-tool"};
        argv.insert(argv.end(), typed.begin(), typed.end());
        const auto r = RunProgram(argv);
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(r.Err, "");
        return SplitLines(r.Out);
    }

    const std::string file_ = SourceFolder() + "/tools/completion/scenarix-tool";
    TTempDir dir_;
};

TEST_F(Completion, RegistersAFunctionForTheTool)
{
    const auto r = RunProgram({"/bin/bash", "--norc", "--noprofile", "-c",
                               "source \"$1\" && complete -p scenarix-tool", "bash", file_});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_TRUE(std::regex_match(r.Out, std::regex("complete -F [_A-Za-z]+ scenarix-tool\n")))
        << r.Out;
}

TEST_F(Completion, OffersEveryCommandOfHelpAndNoOther)
{
    const TWords commands = ToolCommands();
    ASSERT_GE(commands.size(), 10u) << "--help lists too little:" << Listed(commands);
    TWords expected = commands;
    expected.insert("--help");
    EXPECT_EQ(Complete({""}), expected) << "offered for the first word";

    TWords startingWithGif;
    for (const auto& command : commands)
        if (command.rfind("gif", 0) == 0)
            startingWithGif.insert(command);
    EXPECT_EQ(Complete({"gif"}), startingWithGif);
    EXPECT_EQ(Complete({"nosuchcommand", ""}), TWords{});
}

TEST_F(Completion, OffersEachCommandsOwnOptions)
{
    for (const auto& command : ToolCommands()) {
        TWords expected = OptionsOf(command);
        expected.insert("--help");
        // Typed after an argument, as options may come anywhere.
        EXPECT_EQ(Complete({command, "x", "--"}), expected) << command;
    }
}

TEST_F(Completion, OffersTheValuesAnOptionTakes)
{
    // The modes as convert's synopsis spells them.
    const auto help = RunTool({"convert", "--help"});
    std::smatch match;
    ASSERT_TRUE(std::regex_search(help.Out, match, std::regex("--stretch-mode ([a-z|]+)")))
        << help.Out;
    TWords modes;
    std::istringstream in(match[1].str());
    for (std::string mode; std::getline(in, mode, '|');)
        modes.insert(mode);
    EXPECT_EQ(Complete({"convert", "a.jpg", "b.bmp", "--resize", "9x9", "--stretch-mode", ""}),
              modes);
    EXPECT_EQ(Complete({"convert", "a.jpg", "b.bmp", "--stretch-mode", "m"}), TWords{"medium"});
    // A number or a name is the user's to type.
    EXPECT_EQ(Complete({"convert", "a.jpg", "b.bmp", "--quality", ""}), TWords{});
    EXPECT_EQ(Complete({"next", "--program", ""}), TWords{});
}

TEST_F(Completion, OffersFilesWhereTheCommandTakesThemAndFoldersForADump)
{
    TTempDir work;
    work.Write("a photo.jpg");
    work.Write("a folder/inside.png");
    work.Write("other.gif");
    const std::string folder = work.Path().string();

    EXPECT_EQ(Complete({"info", "a"}, folder), (TWords{"a photo.jpg", "a folder"}));
    EXPECT_EQ(Complete({"convert", "a photo.jpg", "o"}, folder), TWords{"other.gif"});
    EXPECT_EQ(Complete({"wallpaper", "a photo.jpg", "--ini", "a"}, folder),
              (TWords{"a photo.jpg", "a folder"}));
    EXPECT_EQ(Complete({"gif", "other.gif", "--dump", "a"}, folder), TWords{"a folder"});
    // Commands without a file argument offer their options instead.
    EXPECT_EQ(Complete({"status", ""}, folder), (TWords{"--program", "--help"}));
    EXPECT_EQ(Complete({"settings", ""}, folder), (TWords{"--ini", "--seed", "--help"}));
}

// A manual page as its troff source.
std::string ManPage(const std::string& name)
{
    const std::string text = ReadFile(SourceFolder() + "/docs/man/" + name);
    EXPECT_FALSE(text.empty()) << "docs/man/" << name << " is missing";
    return text;
}

// The words troff prints for the source's escaped hyphens.
std::string Unescaped(std::string text)
{
    for (std::size_t at = 0; (at = text.find("\\-", at)) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

TEST(ManPages, TheToolsPageHeadsAnEntryForEveryCommandAndOption)
{
    const std::string page = Unescaped(ManPage("scenarix-tool.1"));
    TWords headed; // the first word of every font macro line: .B name, .BI name " FILE"
    TWords mentioned;
    const std::regex heading("^\\.(B|BI|BR) ([a-z-]+)\\b.*$");
    const std::regex option("--[a-z][a-z-]*");
    std::istringstream in(page);
    std::smatch match;
    for (std::string line; std::getline(in, line);) {
        if (std::regex_match(line, match, heading))
            headed.insert(match[2]);
        for (auto it = std::sregex_iterator(line.begin(), line.end(), option);
             it != std::sregex_iterator(); ++it)
            mentioned.insert(it->str());
    }

    TWords options{"--help"};
    for (const auto& command : ToolCommands()) {
        EXPECT_TRUE(headed.count(command)) << "no entry for the command " << command;
        for (const auto& name : OptionsOf(command)) {
            options.insert(name);
            EXPECT_TRUE(headed.count(name)) << "no entry for " << command << "'s " << name;
        }
    }
    for (const auto& name : mentioned)
        EXPECT_TRUE(options.count(name)) << "the page names " << name << ", which no command has";
}

TEST(ManPages, TheProgramsPageNamesOnlyCommandsTheToolHas)
{
    const std::string page = Unescaped(ManPage("scenarix.1"));
    const TWords commands = ToolCommands();
    const std::regex use("scenarix-tool ([a-z][a-z-]*)");
    int uses = 0;
    for (auto it = std::sregex_iterator(page.begin(), page.end(), use);
         it != std::sregex_iterator(); ++it, ++uses)
        EXPECT_TRUE(commands.count((*it)[1])) << "scenarix.1 names " << it->str();
    EXPECT_GT(uses, 0) << "scenarix.1 says nothing of the tool's commands";
}

TEST(ManPages, CarryTheProjectsVersionAndFormatWithoutWarnings)
{
    const std::string lists = ReadFile(SourceFolder() + "/CMakeLists.txt");
    std::smatch match;
    ASSERT_TRUE(
        std::regex_search(lists, match, std::regex("project\\(Scenaria VERSION ([0-9.]+)")));
    const std::string version = match[1];
    ASSERT_TRUE(testing::RequireProgram("groff", "groff-base"));
    for (const char* name : {"scenarix.1", "scenarix-tool.1"}) {
        const std::string page = ManPage(name);
        std::string upper = std::string(name).substr(0, std::string(name).find('.'));
        for (auto& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_NE(page.find(".TH " + upper + " 1 \"\" \"Scenaria " + version + "\""),
                  std::string::npos)
            << name << " has not the title line of version " << version;
        // -ww: every warning troff has; -z: no output, only the diagnostics.
        const auto r = RunProgram(
            {"groff", "-man", "-Tutf8", "-ww", "-z", SourceFolder() + "/docs/man/" + name});
        EXPECT_EQ(r.ExitCode, 0) << name << ": " << r.Err;
        EXPECT_EQ(r.Err, "") << name;
    }
}

} // namespace
} // namespace scenaria
