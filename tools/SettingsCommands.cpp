// "settings" and "catalogue": what the program reads from its settings file and which
// pictures it would choose, without starting it.

#include "tools/ToolCommand.h"

#include "core/Catalogue.h"
#include "core/Settings.h"
#include "platform/Platform.h"

#include <cstdio>

namespace scenaria::tool {
namespace {

// Loads Settings the way the program does at start-up, from --ini or the program's own file.
void LoadToolSettings(const TToolArgs& args)
{
    const auto platform = CreatePlatform();
    TSettingsPlace place = SettingsPlaceOf(*platform);
    place.FileName = args.Value("--ini").value_or(ProgramSettingsFile());
    std::optional<std::uint32_t> seed;
    if (const auto s = args.Integer("--seed", 0, 0xFFFFFFFFLL))
        seed = static_cast<std::uint32_t>(*s);
    LoadSettings(place, seed);
}

int RunSettings(const std::vector<std::string>& argv)
{
    const TToolArgs args(argv, {"--ini", "--seed"});
    if (!args.Positional().empty())
        throw EToolUsage("unexpected argument \"" + args.Positional()[0] + "\"");
    LoadToolSettings(args);
    const TSettings& s = Settings;
    const auto line = [](const char* key, const std::string& value) {
        std::printf("%s=%s\n", key, value.c_str());
    };
    const auto number = [&line](const char* key, long long value) {
        line(key, std::to_string(value));
    };
    line("Directory", s.Directory);
    number("Subfolders", s.Subfolders);
    line("Save Folder", s.SaveFolder);
    number("Mode", s.Mode);
    number("Delay", s.Delay);
    number("LastIndex", s.LastIndex);
    number("Random", s.Random);
    number("Tile", s.Tile);
    number("MinWidth", s.MinWidth);
    number("MinHeight", s.MinHeight);
    number("RunOnStart", s.RunOnStart);
    number("Stretch", s.Stretch);
    number("Proportional", s.Proportional);
    number("ActiveDesktop", s.ActiveDesktop);
    number("ShowHints", s.ShowHints);
    number("Hint on Tray", s.HintOnTray);
    number("FilesType", s.FilesType);
    number("Interval", s.Interval);
    number("RandomDelay", s.RandomDelay);
    // Extension keys after the derived values, so that the lines above keep their places.
    number("AutoRotate", s.AutoRotate);
    number("Smooth", s.Smooth);
    number("Monitors", s.Monitors);
    number("Fill", s.Fill);
    line("Background", ColourText(s.Background));
    return 0;
}

int RunCatalogue(const std::vector<std::string>& argv)
{
    const TToolArgs args(argv, {"--ini", "--seed", "--choose"});
    if (!args.Positional().empty())
        throw EToolUsage("unexpected argument \"" + args.Positional()[0] + "\"");
    const long long choices = args.Integer("--choose", 0, 1000000).value_or(0);
    LoadToolSettings(args);
    if (!FolderExists(Settings.Directory)) {
        std::fprintf(stderr, "The picture folder \"%s\" does not exist or cannot be entered.\n",
                     Settings.Directory.c_str());
        return 1;
    }
    TCatalogue catalogue;
    RebuildCatalogue(catalogue, Settings);
    for (const auto& path : catalogue) {
        std::fwrite(path.data(), 1, path.size(), stdout);
        std::fputc('\n', stdout);
    }
    if (choices > 0 && catalogue.empty()) {
        std::fprintf(stderr, "The catalogue is empty: there is nothing to choose.\n");
        return 1;
    }
    int current = Settings.LastIndex;
    for (long long i = 0; i < choices; ++i) {
        ChooseNext(current, static_cast<int>(catalogue.size()), Settings);
        std::printf("choose: %d\n", current);
        Settings.LastIndex = current;
    }
    return 0;
}

const TToolCommandRegistration settingsCommand({
    "settings",
    "settings [--ini PATH] [--seed S]",
    "Prints every key of the settings file as the program loads it (Key=value), then the\n"
    "derived Interval and RandomDelay.\n"
    "--ini PATH  read this settings file instead of the program's own\n"
    "--seed S    seed the generator with S instead of the time of day",
    RunSettings,
});

const TToolCommandRegistration catalogueCommand({
    "catalogue",
    "catalogue [--ini PATH] [--choose N] [--seed S]",
    "Prints the catalogue of pictures of the settings file, one full path a line.\n"
    "--choose N  then N successive choices as the change cycle makes them, as\n"
    "            \"choose: <index>\" (nothing is written to the settings file)\n"
    "--ini PATH  read this settings file instead of the program's own\n"
    "--seed S    seed the generator with S instead of the time of day",
    RunCatalogue,
});

} // namespace
} // namespace scenaria::tool
