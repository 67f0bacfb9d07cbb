#include <gtest/gtest.h>

#include <random>

#include "core/mt19937.h"

TEST(Mt19937, ReferenceOutputsForSeed5489) {
    Mt19937 mt;
    mt_seed(&mt, 5489);
    const uint32_t first[] = {3499211612u, 581869302u, 3890346734u, 3586334585u, 545404204u};
    for (uint32_t expected : first) EXPECT_EQ(mt_next(&mt), expected);
    for (int i = 5; i < 9999; i++) mt_next(&mt);
    EXPECT_EQ(mt_next(&mt), 4123659995u);   // the 10000th output
}

TEST(Mt19937, UnseededGeneratorStartsWithSeed5489) {
    Mt19937 mt = {{0}, MT19937_N + 1};
    EXPECT_EQ(mt_next(&mt), 3499211612u);
}

TEST(Mt19937, MatchesStandardLibrary) {
    const uint32_t seeds[] = {0, 1, 42, 19800, 0xffffffffu};
    for (uint32_t seed : seeds) {
        Mt19937 mt;
        mt_seed(&mt, seed);
        std::mt19937 reference(seed);
        for (int i = 0; i < 3000; i++) ASSERT_EQ(mt_next(&mt), reference()) << "seed " << seed << " draw " << i;
    }
}
