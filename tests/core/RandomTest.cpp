#include "core/Random.h"

#include <gtest/gtest.h>

namespace scenaria {
namespace {

TEST(Random, FollowsTheLinearCongruentialSequence)
{
    RandSeed = 0;
    EXPECT_EQ(Random(540), 0u);
    EXPECT_EQ(RandSeed, 1u);
    EXPECT_EQ(Random(10), 0u);
    EXPECT_EQ(RandSeed, 134775814u);
    EXPECT_EQ(Random(1000), 861u);
    EXPECT_EQ(RandSeed, 3698175007u);
    EXPECT_EQ(Random(3), 0u);
    EXPECT_EQ(Random(0xFFFFFFFFu), 1172187916u);
}

TEST(Random, DrawsFromAKnownSeed)
{
    RandSeed = 12345;
    const std::uint32_t expected[] = {38, 28, 7, 55, 63, 34};
    for (std::uint32_t e : expected)
        EXPECT_EQ(Random(100), e);
}

TEST(Random, StaysBelowTheBound)
{
    RandSeed = 987654321;
    for (int i = 0; i < 10000; ++i)
        ASSERT_LT(Random(7), 7u);
}

TEST(Random, SeedsFromTheTimeOfDay)
{
    Randomize();
    EXPECT_LT(RandSeed, 24u * 60 * 60 * 1000);
}

} // namespace
} // namespace scenaria
