#include "core/Random.h"

#include <chrono>

namespace scenaria {

std::uint32_t RandSeed = 0;

void Randomize()
{
    using namespace std::chrono;
    const auto now = system_clock::now().time_since_epoch();
    const auto msSinceMidnight = duration_cast<milliseconds>(now).count() % (24LL * 60 * 60 * 1000);
    RandSeed = static_cast<std::uint32_t>(msSinceMidnight);
}

std::uint32_t Random(std::uint32_t n)
{
    RandSeed = RandSeed * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(RandSeed) * n) >> 32);
}

} // namespace scenaria
