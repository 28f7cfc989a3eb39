#pragma once
// The freedesktop.org implementation of IPlatform.

#include "platform/Desktop.h"
#include "platform/Folders.h"
#include "platform/Platform.h"
#include "platform/ScreenOverride.h"
#include "platform/WallpaperAlias.h"

#include <memory>

namespace scenaria {

class TLinuxPlatform : public IPlatform {
public:
    TLinuxPlatform();
    // For tests: another program path (the autostart entry, the help set beside it).
    explicit TLinuxPlatform(std::string programPath);

    std::string ProgramPath() const override;
    std::string SettingsFilePath() const override;
    std::string DefaultPictureFolder() const override;
    std::string DefaultSaveFolder() const override;
    bool Win98Style() const override { return false; }

    bool InitializeDesktop() override;
    void FinalizeDesktop() override;
    TScreenFacts ScreenFacts() const override;
    std::vector<TMonitor> Monitors() const override;
    bool CompositingActive() const override;
    TPlatformStatus InstallClassic(const std::string& file, bool tiled) override;
    TPlatformStatus InstallActiveDesktop(const std::string& file, int style) override;
    TPlatformStatus InstallMonitors(const std::vector<TMonitorPicture>& pictures,
                                    const std::string& layoutFile) override;

    TPlatformStatus DeleteToRecycleBin(const std::string& file) override;
    TPlatformStatus CreateStartupShortcut() override;
    TPlatformStatus ShowHelp(int helpContext) override;

    // The desktop in effect (detected on first use).
    TDesktopKind Desktop();
    // <folder of the program>/../share/scenaria/help/scenarix.html
    std::string HelpFile() const;

private:
    IDesktopBackend* Backend();
    TPlatformStatus Install(const std::string& file, TWallpaperStyle style);
    TPlatformStatus InstallOnce(const std::string& file, TWallpaperStyle style);
    TPlatformStatus OpenHelp(int helpContext);

    std::string programPath_;
    bool detected_ = false;
    std::unique_ptr<IDesktopBackend> backend_;
    TWallpaperAliases aliases_{StateHome() + "/scenaria/wallpaper-aliases"};
    std::vector<TWallpaperAliases> monitorAliases_; // one for each monitor's bitmap, in memory
};

} // namespace scenaria
