#pragma once
// A recording IPlatform for tests: answers from its fields and writes down every call.

#include "platform/Platform.h"

#include <cstdio>
#include <string>
#include <vector>

namespace scenaria::testing {

class TFakePlatform : public IPlatform {
public:
    struct TInstall {
        bool Active = false; // true: InstallActiveDesktop, false: InstallClassic
        std::string File;
        bool Tiled = false; // classic
        int Style = -1;     // active
        bool operator==(const TInstall&) const = default;
    };

    // Answers.
    std::string Program = "/opt/scenaria/scenarix";
    std::string SettingsFile = "/opt/scenaria/scenarix.INI";
    std::string PictureFolder = "/home/user/Pictures";
    std::string SaveFolder = "/tmp";
    bool Win98 = false;
    bool DesktopReady = true;
    TScreenFacts Screen{1024, 768, 24};
    std::vector<TMonitor> MonitorList; // empty: the one screen of Screen
    TPlatformStatus InstallResult;
    TPlatformStatus TrashResult;
    bool TrashRemovesFile = true; // a successful trash moves the file away
    TPlatformStatus ShortcutResult;

    // Records.
    std::vector<TInstall> Installs;
    struct TMonitorInstall {
        std::vector<TMonitorPicture> Pictures;
        std::string LayoutFile;
    };
    std::vector<TMonitorInstall> MonitorInstalls;
    std::vector<std::string> Trashed;
    int ShortcutCalls = 0;
    std::vector<int> HelpContexts;
    int InitializeCalls = 0;
    int FinalizeCalls = 0;

    std::string ProgramPath() const override { return Program; }
    std::string SettingsFilePath() const override { return SettingsFile; }
    std::string DefaultPictureFolder() const override { return PictureFolder; }
    std::string DefaultSaveFolder() const override { return SaveFolder; }
    bool Win98Style() const override { return Win98; }

    bool InitializeDesktop() override
    {
        ++InitializeCalls;
        return DesktopReady;
    }
    void FinalizeDesktop() override { ++FinalizeCalls; }
    TScreenFacts ScreenFacts() const override { return Screen; }
    std::vector<TMonitor> Monitors() const override
    {
        return MonitorList.empty() ? IPlatform::Monitors() : MonitorList;
    }
    TPlatformStatus InstallClassic(const std::string& file, bool tiled) override
    {
        Installs.push_back({false, file, tiled, -1});
        return InstallResult;
    }
    TPlatformStatus InstallActiveDesktop(const std::string& file, int style) override
    {
        Installs.push_back({true, file, false, style});
        return InstallResult;
    }
    TPlatformStatus InstallMonitors(const std::vector<TMonitorPicture>& pictures,
                                    const std::string& layoutFile) override
    {
        MonitorInstalls.push_back({pictures, layoutFile});
        return InstallResult;
    }
    TPlatformStatus DeleteToRecycleBin(const std::string& file) override;
    TPlatformStatus CreateStartupShortcut() override
    {
        ++ShortcutCalls;
        return ShortcutResult;
    }
    TPlatformStatus ShowHelp(int helpContext) override
    {
        HelpContexts.push_back(helpContext);
        return {};
    }
};

inline TPlatformStatus TFakePlatform::DeleteToRecycleBin(const std::string& file)
{
    Trashed.push_back(file);
    if (TrashResult.Ok && TrashRemovesFile)
        std::remove(file.c_str());
    return TrashResult;
}

} // namespace scenaria::testing
