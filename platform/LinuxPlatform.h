#pragma once
// The freedesktop.org implementation of IPlatform.

#include "platform/Platform.h"

namespace scenaria {

class TLinuxPlatform : public IPlatform {
public:
    TLinuxPlatform();

    std::string ProgramPath() const override;
    std::string SettingsFilePath() const override;
    std::string DefaultPictureFolder() const override;
    std::string DefaultSaveFolder() const override;
    bool Win98Style() const override { return false; }

    bool InitializeDesktop() override;
    void FinalizeDesktop() override;
    TScreenFacts ScreenFacts() const override;
    TPlatformStatus InstallClassic(const std::string& file, bool tiled) override;
    TPlatformStatus InstallActiveDesktop(const std::string& file, int style) override;

    bool DeleteToRecycleBin(const std::string& file) override;
    int CreateStartupShortcut() override;
    TPlatformStatus ShowHelp(int helpContext) override;

private:
    std::string programPath_;
};

}  // namespace scenaria
