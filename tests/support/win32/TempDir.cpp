// Windows has no root to give up, no FIFOs in its file system and no per-process limit on a
// file's size; the tests that need them are excluded there (tests/windows-excluded.txt).

#include "TempDir.h"

// From version 2 on the call lives in kernel32; psapi.h needs windows.h before it.
#define PSAPI_VERSION 2
#include <windows.h>

#include <psapi.h>

namespace scenaria::testing {

bool AsUnprivilegedUser(const std::function<bool()>& check)
{
    return check();
}

bool MakeFifo(const std::string&)
{
    return false;
}

int WithFileSizeLimit(std::uintmax_t, const std::function<int()>&)
{
    return -1;
}

bool PermissionsLockOut()
{
    return false;
}

long ResidentKilobytes()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return static_cast<long>(counters.WorkingSetSize / 1024);
}

} // namespace scenaria::testing
