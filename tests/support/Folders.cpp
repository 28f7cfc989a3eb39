// The folders of this checkout and build, fixed when the tests were configured.

#include "TempDir.h"

namespace scenaria::testing {

std::string SourceFolder()
{
    return SCENARIA_SOURCE_DIR;
}

std::string TestDataFolder()
{
    return SCENARIA_SOURCE_DIR "/tests/data";
}

std::string BinaryFolder()
{
    return SCENARIA_BINARY_DIR;
}

} // namespace scenaria::testing
