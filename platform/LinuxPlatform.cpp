#include "platform/LinuxPlatform.h"

#include "platform/Autostart.h"
#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/Trash.h"
#include "platform/Uri.h"
#include "platform/X11Root.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

namespace scenaria {
namespace {

// sway's active outputs as it describes them. sway answers its socket at once; a second is
// plenty, and it comes out of the 5 s that a change may keep the tray program busy (see
// DesktopCallBudgetMs).
std::vector<QJsonObject> SwayActiveOutputs()
{
    std::vector<QJsonObject> active;
    const auto result = RunProcess({"swaymsg", "-r", "-t", "get_outputs"}, 1000);
    if (!result.Succeeded())
        return active;
    const auto outputs = QJsonDocument::fromJson(QByteArray::fromStdString(result.Out)).array();
    for (const auto& value : outputs) {
        const QJsonObject output = value.toObject();
        if (output.value(QStringLiteral("active")).toBool())
            active.push_back(output);
    }
    return active;
}

// sway without X: the first active output's mode (Wayland screens are all true colour).
TScreenFacts SwayScreenFacts()
{
    TScreenFacts facts;
    const std::vector<QJsonObject> outputs = SwayActiveOutputs();
    if (outputs.empty())
        return facts;
    const QJsonObject mode = outputs[0].value(QStringLiteral("current_mode")).toObject();
    facts.Width = mode.value(QStringLiteral("width")).toInt();
    facts.Height = mode.value(QStringLiteral("height")).toInt();
    facts.BitsPerPixel = facts.Width > 0 && facts.Height > 0 ? 24 : 0;
    return facts;
}

int TransformDegrees(const QString& transform)
{
    // "flipped-90" and the like turn as their plain form does.
    for (const int degrees : {90, 180, 270})
        if (transform.endsWith(QString::number(degrees)))
            return degrees;
    return 0;
}

// sway's active outputs, each at its place in the layout at its logical size.
std::vector<TMonitor> SwayMonitors()
{
    std::vector<TMonitor> monitors;
    for (const QJsonObject& output : SwayActiveOutputs()) {
        const QJsonObject rect = output.value(QStringLiteral("rect")).toObject();
        TMonitor m;
        m.Name = output.value(QStringLiteral("name")).toString().toStdString();
        m.X = rect.value(QStringLiteral("x")).toInt();
        m.Y = rect.value(QStringLiteral("y")).toInt();
        m.Width = rect.value(QStringLiteral("width")).toInt();
        m.Height = rect.value(QStringLiteral("height")).toInt();
        m.Primary = output.value(QStringLiteral("primary")).toBool();
        m.Rotation = TransformDegrees(output.value(QStringLiteral("transform")).toString());
        if (m.Width > 0 && m.Height > 0)
            monitors.push_back(m);
    }
    PrimaryFirst(monitors);
    return monitors;
}

// The caller writes an error as one line; a file name may hold any character.
TPlatformStatus OneLine(TPlatformStatus status)
{
    for (char& c : status.Error)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    return status;
}

} // namespace

std::unique_ptr<IPlatform> CreatePlatform()
{
    return std::make_unique<TLinuxPlatform>();
}

TLinuxPlatform::TLinuxPlatform() : programPath_(CurrentProgramPath())
{
}

TLinuxPlatform::TLinuxPlatform(std::string programPath) : programPath_(std::move(programPath))
{
}

std::string TLinuxPlatform::ProgramPath() const
{
    return programPath_;
}

std::string TLinuxPlatform::SettingsFilePath() const
{
    return SettingsFileFor(programPath_);
}

std::string TLinuxPlatform::DefaultPictureFolder() const
{
    return PictureFolder();
}

std::string TLinuxPlatform::DefaultSaveFolder() const
{
    return SaveFolderDefault();
}

TDesktopKind TLinuxPlatform::Desktop()
{
    const IDesktopBackend* backend = Backend();
    return backend ? backend->Kind() : dkNone;
}

IDesktopBackend* TLinuxPlatform::Backend()
{
    if (!detected_) {
        backend_ = CreateDesktopBackend(DetectDesktop());
        detected_ = true;
    }
    return backend_.get();
}

bool TLinuxPlatform::InitializeDesktop()
{
    detected_ = false;
    const IDesktopBackend* backend = Backend();
    return backend && backend->TakesFileName();
}

void TLinuxPlatform::FinalizeDesktop()
{
    backend_.reset();
    detected_ = false;
}

std::vector<TMonitor> TLinuxPlatform::Monitors() const
{
    std::vector<TMonitor> monitors;
    if (ParseMonitors(ProcessEnv("SCENARIA_SCREEN"), monitors))
        return monitors;
    if (const std::string display = ProcessEnv("DISPLAY"); !display.empty()) {
        monitors = X11Monitors(display);
        if (!monitors.empty())
            return monitors;
    }
    if (!ProcessEnv("SWAYSOCK").empty()) {
        monitors = SwayMonitors();
        if (!monitors.empty())
            return monitors;
    }
    return IPlatform::Monitors();
}

TScreenFacts TLinuxPlatform::ScreenFacts() const
{
    TScreenFacts facts;
    if (ParseScreenFacts(ProcessEnv("SCENARIA_SCREEN"), facts))
        return facts;
    // Several monitors: the screen is the rectangle that holds them all.
    if (std::vector<TMonitor> monitors; ParseMonitors(ProcessEnv("SCENARIA_SCREEN"), monitors))
        return LayoutScreenFacts(monitors);
    if (const std::string display = ProcessEnv("DISPLAY"); !display.empty()) {
        facts = X11ScreenFacts(display);
        if (facts.Width > 0)
            return facts;
    }
    if (!ProcessEnv("SWAYSOCK").empty())
        return SwayScreenFacts();
    return {};
}

bool TLinuxPlatform::CompositingActive() const
{
    if (const std::string display = ProcessEnv("DISPLAY"); !display.empty())
        return X11CompositingActive(display);
    // A Wayland session is its compositor.
    return !ProcessEnv("WAYLAND_DISPLAY").empty();
}

TPlatformStatus TLinuxPlatform::Install(const std::string& file, TWallpaperStyle style)
{
    return OneLine(InstallOnce(file, style));
}

TPlatformStatus TLinuxPlatform::InstallOnce(const std::string& file, TWallpaperStyle style)
{
    IDesktopBackend* backend = Backend();
    if (!backend)
        return TPlatformStatus::Failure(
            "no desktop to set the wallpaper on (no known desktop and no X display)");
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return TPlatformStatus::Failure(std::string(DesktopName(backend->Kind())) + ": " + file +
                                        " is not a file");
    if (!backend->TakesFileName())
        return backend->Apply(AbsolutePath(file), style);
    return aliases_.Show(file, backend->AcceptsFileName(AbsolutePath(file)),
                         [&](const std::string& name) { return backend->Apply(name, style); });
}

TPlatformStatus TLinuxPlatform::InstallClassic(const std::string& file, bool tiled)
{
    return Install(file, tiled ? wsTile : wsCentre);
}

TPlatformStatus TLinuxPlatform::InstallActiveDesktop(const std::string& file, int style)
{
    if (style != wsCentre && style != wsTile && style != wsStretch)
        return TPlatformStatus::Failure("unknown wallpaper style " + std::to_string(style));
    const IDesktopBackend* backend = Backend();
    // As without COM on Windows: nothing reaches the desktop.
    if (!backend || !backend->TakesFileName())
        return OneLine(TPlatformStatus::Failure(
            std::string("no desktop that takes a picture file is running (") +
            DesktopName(backend ? backend->Kind() : dkNone) + ")"));
    return Install(file, static_cast<TWallpaperStyle>(style));
}

TPlatformStatus TLinuxPlatform::InstallMonitors(const std::vector<TMonitorPicture>& pictures,
                                                const std::string& layoutFile)
{
    IDesktopBackend* backend = Backend();
    if (!backend)
        return OneLine(TPlatformStatus::Failure(
            "no desktop to set the wallpaper on (no known desktop and no X display)"));
    std::vector<TMonitorPicture> shown = pictures;
    for (TMonitorPicture& picture : shown)
        picture.File = AbsolutePath(picture.File);
    if (!backend->TakesFileName())
        return OneLine(backend->ApplyMonitors(shown, AbsolutePath(layoutFile)));
    // Each monitor's bitmap keeps its name from change to change: a desktop told the name it
    // shows already would keep the old picture, so each goes through an alias of its own.
    if (monitorAliases_.size() < shown.size())
        monitorAliases_.resize(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const TPlatformStatus named =
            monitorAliases_[i].Show(shown[i].File, backend->AcceptsFileName(shown[i].File),
                                    [&shown, i](const std::string& name) {
                                        shown[i].File = name;
                                        return TPlatformStatus::Success();
                                    });
        if (!named.Ok)
            return OneLine(named);
    }
    return OneLine(aliases_.Show(
        layoutFile, backend->AcceptsFileName(AbsolutePath(layoutFile)),
        [&](const std::string& name) { return backend->ApplyMonitors(shown, name); }));
}

TPlatformStatus TLinuxPlatform::DeleteToRecycleBin(const std::string& file)
{
    const TTrashResult result = MoveToTrash(file);
    return OneLine(result.Ok ? TPlatformStatus::Success() : TPlatformStatus::Failure(result.Error));
}

TPlatformStatus TLinuxPlatform::CreateStartupShortcut()
{
    const int error = WriteAutostartEntry(programPath_);
    if (error == 0)
        return TPlatformStatus::Success();
    return OneLine(TPlatformStatus::Failure("autostart: " + AutostartEntryPath() + ": " +
                                            std::strerror(error)));
}

std::string TLinuxPlatform::HelpFile() const
{
    const std::filesystem::path program(programPath_);
    return (program.parent_path() / ".." / "share" / "scenaria" / "help" / "scenarix.html")
        .lexically_normal()
        .string();
}

TPlatformStatus TLinuxPlatform::ShowHelp(int helpContext)
{
    return OneLine(OpenHelp(helpContext));
}

TPlatformStatus TLinuxPlatform::OpenHelp(int helpContext)
{
    const std::string file = HelpFile();
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return TPlatformStatus::Failure("help: " + file + " is missing");
    std::string uri = FileUri(file);
    if (helpContext != 0)
        uri += "#context-" + std::to_string(helpContext);
    std::string error;
    if (!StartDetached({"xdg-open", uri}, error))
        return TPlatformStatus::Failure("help: " + error);
    return TPlatformStatus::Success();
}

} // namespace scenaria
