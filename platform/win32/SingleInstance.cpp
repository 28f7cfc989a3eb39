// The guard on Windows: a named mutex, created owned; a name that existed already means that
// another copy runs.

#include "platform/SingleInstance.h"

#include <windows.h>

namespace scenaria {

TSingleInstance::TSingleInstance(const std::string& programFileName) : lockFile_(programFileName)
{
    HANDLE mutex = CreateMutexA(nullptr, TRUE, programFileName.c_str());
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        previous_ = true;
        CloseHandle(mutex);
        return;
    }
    // A mutex that cannot be made leaves the copy running, unguarded. The handle lives in the
    // descriptor field: Windows promises that handles survive truncation to 32 bits and sign
    // extension back.
    fd_ = mutex ? static_cast<int>(reinterpret_cast<INT_PTR>(mutex)) : -1;
}

TSingleInstance::~TSingleInstance()
{
    if (fd_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(fd_)));
}

} // namespace scenaria
