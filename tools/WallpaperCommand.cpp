// "wallpaper": sets one picture as the wallpaper the way the change cycle does, and says
// which installer call that made. Also the way to set a picture from a script.

#include "tools/ToolCommand.h"

#include "core/Settings.h"
#include "core/Wallpaper.h"
#include "platform/Platform.h"

#include <cstdio>
#include <memory>

namespace scenaria::tool {
namespace {

// Passes everything to the real platform, except that the screen may be overridden and the
// installer calls are written down (and, for a dry run, not made).
class TRecordingPlatform : public IPlatform {
public:
    TRecordingPlatform(IPlatform& real, TScreenFacts screen, bool dryRun)
        : real_(real), screen_(screen), dryRun_(dryRun)
    {
    }

    std::string Call; // what was asked of the installer, as printed
    bool ScreenOverridden = false;
    TPlatformStatus Answer; // what the desktop said to it

    std::string ProgramPath() const override { return real_.ProgramPath(); }
    std::string SettingsFilePath() const override { return real_.SettingsFilePath(); }
    std::string DefaultPictureFolder() const override { return real_.DefaultPictureFolder(); }
    std::string DefaultSaveFolder() const override { return real_.DefaultSaveFolder(); }
    bool Win98Style() const override { return real_.Win98Style(); }
    bool InitializeDesktop() override { return real_.InitializeDesktop(); }
    void FinalizeDesktop() override { real_.FinalizeDesktop(); }
    TScreenFacts ScreenFacts() const override { return screen_; }
    TPlatformStatus InstallClassic(const std::string& file, bool tiled) override
    {
        Call = "installer: classic\nfile: " + file + "\ntiled: " + (tiled ? "1" : "0") + "\n";
        Answer = dryRun_ ? TPlatformStatus::Success() : real_.InstallClassic(file, tiled);
        return Answer;
    }
    TPlatformStatus InstallActiveDesktop(const std::string& file, int style) override
    {
        Call = "installer: active\nfile: " + file + "\nstyle: " + std::to_string(style) + "\n";
        Answer = dryRun_ ? TPlatformStatus::Success() : real_.InstallActiveDesktop(file, style);
        return Answer;
    }
    // An overridden screen is one monitor of that size; otherwise the system's monitors.
    std::vector<TMonitor> Monitors() const override
    {
        return ScreenOverridden ? IPlatform::Monitors() : real_.Monitors();
    }
    TPlatformStatus InstallMonitors(const std::vector<TMonitorPicture>& pictures,
                                    const std::string& layoutFile) override
    {
        Call = "installer: monitors\n";
        for (const TMonitorPicture& p : pictures)
            Call += "monitor: " + p.Monitor.Name + " " + std::to_string(p.Monitor.Width) + "x" +
                    std::to_string(p.Monitor.Height) + "+" + std::to_string(p.Monitor.X) + "+" +
                    std::to_string(p.Monitor.Y) + " " + p.File + "\n";
        Call += "layout: " + layoutFile + "\n";
        Answer = dryRun_ ? TPlatformStatus::Success() : real_.InstallMonitors(pictures, layoutFile);
        return Answer;
    }
    TPlatformStatus DeleteToRecycleBin(const std::string& file) override
    {
        return real_.DeleteToRecycleBin(file);
    }
    TPlatformStatus CreateStartupShortcut() override { return real_.CreateStartupShortcut(); }
    TPlatformStatus ShowHelp(int helpContext) override { return real_.ShowHelp(helpContext); }

private:
    IPlatform& real_;
    TScreenFacts screen_;
    bool dryRun_;
};

int RunWallpaper(const std::vector<std::string>& argv)
{
    const TToolArgs args(argv, {"--ini", "--screen", "--depth"}, {"--dry-run"});
    if (args.Positional().empty())
        throw EToolUsage("needs a picture file (one for each monitor with Monitors=1)");
    const auto platform = CreatePlatform();

    TScreenFacts screen = platform->ScreenFacts();
    if (const auto size = args.Value("--screen")) {
        int width = 0, height = 0, used = 0;
        if (std::sscanf(size->c_str(), "%dx%d%n", &width, &height, &used) != 2 ||
            used != static_cast<int>(size->size()) || width <= 0 || height <= 0 || width > 65535 ||
            height > 65535)
            throw EToolUsage("--screen needs WIDTHxHEIGHT, for example 1920x1080");
        screen.Width = width;
        screen.Height = height;
    }
    if (const auto depth = args.Integer("--depth", 1, 32))
        screen.BitsPerPixel = static_cast<int>(*depth);

    TSettingsPlace place = SettingsPlaceOf(*platform);
    place.FileName = args.Value("--ini").value_or(ProgramSettingsFile());
    LoadSettings(place);

    TRecordingPlatform recording(*platform, screen, args.Flag("--dry-run"));
    recording.ScreenOverridden = args.Value("--screen").has_value();
    ComReady = recording.InitializeDesktop();
    bool shown = false;
    try {
        const std::vector<TMonitor> monitors = recording.Monitors();
        if (args.Positional().size() > 1 && Settings.Monitors == 1 && monitors.size() > 1)
            shown = SetMonitorWallpapers(recording, monitors, args.Positional());
        else if (args.Positional().size() > 1)
            throw EToolUsage("several picture files need Monitors=1 and several monitors");
        else
            shown = SetWallpaper(recording, args.Positional()[0]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        recording.FinalizeDesktop();
        return 2;
    }
    recording.FinalizeDesktop();
    std::fputs(recording.Call.c_str(), stdout);
    // A temporary bitmap that could not be written is a failure to compose, whose reason
    // SetWallpaper has written.
    if (!shown && LastWallpaperFailure == wfTemporaryBitmap)
        return 2;
    if (!shown) {
        std::fprintf(stderr, "The picture was not installed: it is a GIF the desktop cannot "
                             "show, or it could not be read.\n");
        return 1;
    }
    // The program counts a picture the desktop refused as shown (so that the tray can name and
    // delete it), but a script wants to know; SetWallpaper has already written the reason.
    return recording.Answer.Ok ? 0 : 3;
}

const TToolCommandRegistration wallpaperCommand({
    "wallpaper",
    "wallpaper FILE... [--ini PATH] [--screen WxH] [--depth N] [--dry-run]",
    "Makes FILE the desktop wallpaper as the program would, with the program's settings, and\n"
    "prints the installer call: \"installer: classic\", \"file:\", \"tiled: 0|1\" or\n"
    "\"installer: active\", \"file:\", \"style: 0|1|2\" (0 centre, 1 tile, 2 stretch).\n"
    "On several monitors (or with Fill or Background set): \"installer: monitors\", a\n"
    "\"monitor: NAME WxH+X+Y FILE\" line for each and \"layout: FILE\"; with Monitors=1 each\n"
    "monitor in turn shows the next FILE given.\n"
    "Exit status: 0 installed; 1 the picture was refused (a GIF the desktop cannot show) or\n"
    "could not be read; 2 composing the wallpaper or writing the temporary bitmap failed;\n"
    "3 the desktop refused it (the program still counts such a picture as shown). Every\n"
    "failure says why on stderr.\n"
    "--ini PATH      read this settings file instead of the program's own\n"
    "--screen WxH    compose for this screen size instead of the real one\n"
    "--depth N       and this colour depth in bits per pixel\n"
    "--dry-run       print the installer call instead of making it (the temporary bitmap\n"
    "                is still written)",
    RunWallpaper,
});

} // namespace
} // namespace scenaria::tool
