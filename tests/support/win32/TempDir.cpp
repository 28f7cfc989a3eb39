// Windows has no root to give up, no FIFOs in its file system and no per-process limit on a
// file's size; the tests that need them are excluded there (tests/windows-excluded.txt).

#include "TempDir.h"

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

} // namespace scenaria::testing
