#pragma once
// The process-wide pseudo-random generator. It is a plain 32-bit linear congruential
// generator on purpose: stored positions and test expectations depend on its exact sequence.

#include <cstdint>

namespace scenaria {

extern std::uint32_t RandSeed;

// Seeds from the time of day: milliseconds since midnight, universal time.
void Randomize();

// Advances the seed (seed * 134775813 + 1) and returns a whole number from 0 to n - 1: the
// upper half of the 64-bit product of the new seed and n. n = 0 gives 0.
std::uint32_t Random(std::uint32_t n);

} // namespace scenaria
