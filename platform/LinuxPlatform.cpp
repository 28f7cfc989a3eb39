#include "platform/LinuxPlatform.h"

#include "platform/Folders.h"

namespace scenaria {

std::unique_ptr<IPlatform> CreatePlatform()
{
    return std::make_unique<TLinuxPlatform>();
}

TLinuxPlatform::TLinuxPlatform() : programPath_(CurrentProgramPath()) {}

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

// The desktop backends, the trash and the autostart entry are not built yet; until they are,
// every such call reports that it could not be done.

bool TLinuxPlatform::InitializeDesktop()
{
    return false;
}

void TLinuxPlatform::FinalizeDesktop() {}

TScreenFacts TLinuxPlatform::ScreenFacts() const
{
    return {};
}

TPlatformStatus TLinuxPlatform::InstallClassic(const std::string&, bool)
{
    return TPlatformStatus::Failure("no desktop backend available");
}

TPlatformStatus TLinuxPlatform::InstallActiveDesktop(const std::string&, int)
{
    return TPlatformStatus::Failure("no desktop backend available");
}

bool TLinuxPlatform::DeleteToRecycleBin(const std::string&)
{
    return false;
}

int TLinuxPlatform::CreateStartupShortcut()
{
    return 1;
}

TPlatformStatus TLinuxPlatform::ShowHelp(int)
{
    return TPlatformStatus::Failure("no help viewer available");
}

}  // namespace scenaria
