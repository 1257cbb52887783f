#include "quantum/algorithms/random_walk.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

namespace walk = tesvi_quantum::algorithms::random_walk;

TEST(RandomWalk, StepZeroKeepsTheRoundedCoinNorm) {
    const auto r = walk::quantum_random_walk(0);
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(r->positions, std::vector<int64_t>{0});
    // 2 c^2 with c = 1/sqrt 2 rounded up.
    EXPECT_EQ(r->probabilities, std::vector<double>{1.0000000000000002});
    EXPECT_EQ(r->variance, 0.0);
    EXPECT_FALSE(std::signbit(r->variance));
}

TEST(RandomWalk, KnownDistributions) {
    struct Case {
        uint64_t steps;
        std::vector<double> probabilities;
        double variance;
    } cases[] = {
        {1, {0.5, 0, 0.5}, 1},
        {2, {0.25, 0, 0.5, 0, 0.25}, 2},
        {3, {0.125, 0, 0.375, 0, 0.375, 0, 0.125}, 3},
        {4, {0.0625, 0, 0.375, 0, 0.125, 0, 0.375, 0, 0.0625}, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        const auto r = walk::quantum_random_walk(c.steps);
        ASSERT_TRUE(r.has_value());
        ASSERT_EQ(r->probabilities.size(), c.probabilities.size());
        for (size_t i = 0; i < c.probabilities.size(); ++i) {
            EXPECT_EQ(r->positions[i], static_cast<int64_t>(i) - static_cast<int64_t>(c.steps));
            EXPECT_NEAR(r->probabilities[i], c.probabilities[i], 1e-14);
            // The rounded coin constant only ever adds weight.
            EXPECT_GE(r->probabilities[i], c.probabilities[i]);
        }
        EXPECT_NEAR(r->variance, c.variance, 1e-13);
    }
}

TEST(RandomWalk, WrongParityIsExactlyZeroAndTheWalkIsSymmetric) {
    for (uint64_t steps : {5u, 17u, 60u, 101u}) {
        const auto r = walk::quantum_random_walk(steps);
        ASSERT_TRUE(r.has_value());
        const auto& p = r->probabilities;
        double total = 0.0;
        for (size_t i = 0; i < p.size(); ++i) {
            if ((r->positions[i] + static_cast<int64_t>(steps)) % 2 != 0) {
                EXPECT_EQ(p[i], 0.0);
            }
            EXPECT_EQ(p[i], p[p.size() - 1 - i]);
            total += p[i];
        }
        EXPECT_NEAR(total, 1.0, 1e-12);
        // A Hadamard walk spreads ballistically: far beyond the classical variance.
        EXPECT_GT(r->variance, 0.25 * static_cast<double>(steps * steps));
    }
}

TEST(RandomWalk, WalksTooLongForMemoryAreRefused) {
    for (uint64_t steps : {uint64_t{1} << 40, uint64_t{1} << 62, uint64_t{1} << 63, UINT64_MAX}) {
        const auto r = walk::quantum_random_walk(steps);
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error().message(), "Simulation error: random walk of " + std::to_string(steps) +
                                           " steps needs more memory than can be allocated");
    }
}

}  // namespace
