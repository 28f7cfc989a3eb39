#include "imaging/MessageBox.h"

#include <mutex>

namespace scenaria {

namespace {

std::mutex& HookMutex()
{
    static std::mutex mutex;
    return mutex;
}

TPGMessageBoxHook& Hook()
{
    static TPGMessageBoxHook hook;
    return hook;
}

} // namespace

TPGMessageBoxHook SetPGMessageBoxHook(TPGMessageBoxHook hook)
{
    const std::lock_guard lock(HookMutex());
    std::swap(Hook(), hook);
    return hook;
}

TPGMessageAnswer PGMessageBox(const std::string& caption, const std::string& text,
                              TPGMessageButtons buttons, TPGMessageIcon icon)
{
    TPGMessageBoxHook hook;
    {
        // A copy is called, so that a hook may replace itself and a slow dialog holds no lock.
        const std::lock_guard lock(HookMutex());
        hook = Hook();
    }
    if (!hook)
        return buttons == pgmbOK ? pgmaOK : pgmaCancel;
    return hook(caption, text, buttons, icon);
}

} // namespace scenaria
