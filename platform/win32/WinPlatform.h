#pragma once
// The Windows implementation of IPlatform: the registry values and system parameter of the
// classic wallpaper, Active Desktop through COM, the shell's recycle bin and shell links, and
// WinHelp.

#include "platform/Platform.h"

namespace scenaria {

class TWinPlatform : public IPlatform {
public:
    TWinPlatform();
    // As if the program were that file: its settings, help and shortcut follow it.
    explicit TWinPlatform(std::string programPath);
    ~TWinPlatform() override;

    std::string ProgramPath() const override;
    std::string SettingsFilePath() const override;
    std::string DefaultPictureFolder() const override;
    std::string DefaultSaveFolder() const override;
    bool Win98Style() const override { return win98Style_; }

    bool InitializeDesktop() override;
    void FinalizeDesktop() override;
    TScreenFacts ScreenFacts() const override;
    std::vector<TMonitor> Monitors() const override;
    TPlatformStatus InstallMonitors(const std::vector<TMonitorPicture>& pictures,
                                    const std::string& layoutFile) override;
    TPlatformStatus InstallClassic(const std::string& file, bool tiled) override;
    TPlatformStatus InstallActiveDesktop(const std::string& file, int style) override;

    TPlatformStatus DeleteToRecycleBin(const std::string& file) override;
    TPlatformStatus CreateStartupShortcut() override;
    TPlatformStatus ShowHelp(int helpContext) override;

    // The application's window (an HWND), owner of the shell's own error boxes and of the
    // help viewer; none until the application sets it.
    void SetOwnerWindow(void* window) { owner_ = window; }

private:
    std::string programPath_;
    bool win98Style_ = false;
    bool comInitialized_ = false;
    // CoInitialize returned S_OK: a call that merely joined COM already started on this thread
    // (S_FALSE) still wants balancing, but leaves Active Desktop unused.
    bool desktopReady_ = false;
    void* owner_ = nullptr;
};

} // namespace scenaria
