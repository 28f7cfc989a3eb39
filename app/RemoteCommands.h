#pragma once
// What the running copy does when another process asks (a second start, scenarix-tool, the
// desktop entry's actions): the tray menu's commands under the menu's own rules.

#include "platform/RemoteControl.h"

#include <string>

namespace scenaria {

class TfmMain;

// One command of RemoteCommandNames(). A command that opens a window answers at once and opens
// it once the answer has gone out.
TRemoteAnswer RunRemoteCommand(TfmMain& fmMain, const std::string& command);

} // namespace scenaria
