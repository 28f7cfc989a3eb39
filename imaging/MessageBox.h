#pragma once
// The questions that the library's warning actions (pgwaOKBox, pgwaOKCancelBox) put to the user
// go through one process-wide hook, so that the library needs no user interface of its own: the
// program installs a real message box, command-line tools and tests install nothing or their
// own answer.

#include <functional>
#include <string>

namespace scenaria {

enum TPGMessageButtons : int { pgmbOK, pgmbOKCancel };
enum TPGMessageIcon : int { pgmiWarning, pgmiError, pgmiInformation };
enum TPGMessageAnswer : int { pgmaOK, pgmaCancel };

using TPGMessageBoxHook =
    std::function<TPGMessageAnswer(const std::string& caption, const std::string& text,
                                   TPGMessageButtons buttons, TPGMessageIcon icon)>;

// Installs the hook (an empty function removes it) and returns the one it replaces. Safe to
// call from any thread; the hook itself is called on the thread that asks.
TPGMessageBoxHook SetPGMessageBoxHook(TPGMessageBoxHook hook);

// Asks through the hook. Without one, an OK box is taken as seen and an OK/Cancel box as
// cancelled: with nobody to ask, nothing should be changed on the user's behalf. An exception
// from the hook propagates.
TPGMessageAnswer PGMessageBox(const std::string& caption, const std::string& text,
                              TPGMessageButtons buttons, TPGMessageIcon icon);

} // namespace scenaria
