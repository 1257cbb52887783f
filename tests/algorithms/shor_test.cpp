#include "quantum/algorithms/shor.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <string>

namespace {

namespace shor = tesvi_quantum::algorithms::shor;
using tesvi_quantum::simulator::Simulator;

Simulator seeded(std::optional<uint64_t> seed) {
    return Simulator{seed, {}, {}, true, false};
}

uint64_t pow_mod(uint64_t a, uint64_t e, uint64_t n) {
    unsigned __int128 r = 1 % n, b = a % n;
    for (; e; e >>= 1, b = b * b % n)
        if (e & 1) r = r * b % n;
    return static_cast<uint64_t>(r);
}

// Whether a^k = n exactly.
bool is_power(uint64_t a, int k, uint64_t n) {
    unsigned __int128 p = 1;
    for (int i = 0; i < k && p <= n; ++i) p *= a;
    return p == n;
}

// The smallest a >= 2 with a^k = n for some k >= 2, from the k-th roots
// rather than a scan over bases.
uint64_t smallest_root(uint64_t n) {
    uint64_t best = 0;
    for (int k = 2; k < 64; ++k) {
        const auto near =
            static_cast<uint64_t>(std::llround(std::pow(static_cast<double>(n), 1.0 / k)));
        for (uint64_t a = std::max<uint64_t>(near, 3) - 1; a <= near + 1; ++a)
            if (is_power(a, k, n) && (best == 0 || a < best)) best = a;
    }
    return best;
}

TEST(Shor, Shortcuts) {
    struct Case {
        uint64_t n, base, f;
    } cases[] = {
        {4, 2, 2},
        {6, 2, 2},
        {1000, 2, 2},
        {UINT64_MAX - 1, 2, 2},
        {9, 3, 3},
        {27, 3, 3},
        {81, 3, 3},  // also 9^2: the smallest base wins
        {125, 5, 5},
        {243, 3, 3},
        {4052555153018976267ULL, 3, 3},  // 3^39, far above the emulated range
        {18446744030759878681ULL, 4294967291,
         4294967291},                     // the square of the largest 32-bit prime
        {12157665459056928801ULL, 3, 3},  // 3^40
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        const auto r = shor::shor_factor(c.n, seeded(1));
        ASSERT_TRUE(r.has_value()) << r.error().message();
        EXPECT_EQ(r->n, c.n);
        EXPECT_EQ(r->factors, std::pair(c.f, c.n / c.f));
        EXPECT_EQ(r->base_a, c.base);
        EXPECT_EQ(r->period, 0u);
        EXPECT_EQ(r->attempts, 1u);
        EXPECT_TRUE(r->success);
    }
}

TEST(Shor, PerfectPowerScanFindsTheSmallestRoot) {
    std::vector<uint64_t> ns;
    for (uint64_t n = 5; n < 200000; n += 2) ns.push_back(n);
    for (uint64_t a = 3; a < 4000000; a = a * 3 / 2 | 1) {
        unsigned __int128 p = a * a;
        for (; p <= UINT64_MAX; p *= a)
            for (int d : {-2, 0, 2}) ns.push_back(static_cast<uint64_t>(p) + d);
    }
    for (uint64_t n : ns) {
        const uint64_t root = smallest_root(n);
        const auto r = shor::shor_factor(n, seeded(3));
        if (root) {
            ASSERT_TRUE(r.has_value()) << n;
            EXPECT_EQ(r->base_a, root) << n;
            EXPECT_EQ(r->period, 0u) << n;
        } else {
            EXPECT_FALSE(r.has_value() && r->success && r->period == 0) << n;
        }
    }
}

TEST(Shor, EmulatedPathFactorsOddComposites) {
    for (uint64_t n = 15; n < 256; n += 2) {
        if (smallest_root(n)) continue;
        for (uint64_t seed = 0; seed < 8; ++seed) {
            const auto r = shor::shor_factor(n, seeded(seed));
            ASSERT_TRUE(r.has_value());
            if (!r->success) {
                EXPECT_EQ(r->factors, std::pair(uint64_t{1}, n));
                EXPECT_EQ(r->base_a, 0u);
                EXPECT_EQ(r->period, 0u);
                continue;
            }
            const auto [f, g] = r->factors;
            EXPECT_GT(f, 1u);
            EXPECT_LT(f, n);
            EXPECT_EQ(f * g, n);
            EXPECT_EQ(std::gcd(r->base_a, n), 1u);
            EXPECT_EQ(r->period % 2, 0u);
            EXPECT_EQ(pow_mod(r->base_a, r->period, n), 1u);
            EXPECT_GE(r->attempts, 1u);
            EXPECT_LE(r->attempts, 10u);
        }
    }
}

// Seeded runs pinned against an independent model of the stream (ChaCha12 with
// the PCG32 key expansion, rejection-sampled indices, continued fractions).
TEST(Shor, SeededRunsDrawTheDocumentedStream) {
    struct Case {
        uint64_t n, f1, f2, base_a, period;
        uint32_t attempts;
    } cases[] = {
        {15, 5, 3, 2, 4, 2},  {21, 7, 3, 19, 6, 3},      {33, 3, 11, 5, 10, 4},
        {35, 5, 7, 2, 12, 2}, {255, 17, 15, 248, 16, 1}, {253, 23, 11, 247, 110, 1},
    };
    for (const auto& c : cases) {
        const auto r = shor::shor_factor(c.n, seeded(1));
        ASSERT_TRUE(r.has_value()) << c.n;
        EXPECT_EQ(r->factors, std::make_pair(c.f1, c.f2)) << c.n;
        EXPECT_EQ(r->base_a, c.base_a) << c.n;
        EXPECT_EQ(r->period, c.period) << c.n;
        EXPECT_EQ(r->attempts, c.attempts) << c.n;
        EXPECT_TRUE(r->success) << c.n;
    }
}

TEST(Shor, FifteenAlwaysSplits) {
    for (std::optional<uint64_t> seed : {std::optional<uint64_t>{}, std::optional<uint64_t>{0},
                                         std::optional<uint64_t>{42}, std::optional<uint64_t>{7}}) {
        const auto r = shor::shor_factor(15, seeded(seed));
        ASSERT_TRUE(r.has_value());
        EXPECT_TRUE(r->success);
        EXPECT_EQ(std::min(r->factors.first, r->factors.second), 3u);
        EXPECT_EQ(std::max(r->factors.first, r->factors.second), 5u);
        EXPECT_EQ(r->period % 2, 0u);
    }
}

TEST(Shor, PrimesFailAfterEveryCandidateOrTen) {
    struct Case {
        uint64_t n;
        uint32_t attempts;
    } cases[] = {{5, 3}, {7, 5}, {11, 9}, {13, 10}, {251, 10}};
    for (const auto& c : cases) {
        const auto r = shor::shor_factor(c.n, seeded(9));
        ASSERT_TRUE(r.has_value());
        EXPECT_FALSE(r->success);
        EXPECT_EQ(r->factors, std::pair(uint64_t{1}, c.n));
        EXPECT_EQ(r->base_a, 0u);
        EXPECT_EQ(r->period, 0u);
        EXPECT_EQ(r->attempts, c.attempts) << c.n;
    }
}

TEST(Shor, Refusals) {
    struct Case {
        uint64_t n;
        std::string message;
    } cases[] = {
        {0, "Simulation error: N must be at least 4"},
        {3, "Simulation error: N must be at least 4"},
        {257, "Circuit exceeds maximum qubit count (17 > 16)"},
        {259, "Circuit exceeds maximum qubit count (17 > 16)"},
        {UINT64_MAX, "Circuit exceeds maximum qubit count (128 > 16)"},
    };
    for (const auto& c : cases) {
        const auto r = shor::shor_factor(c.n, seeded(1));
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error().message(), c.message);
    }
}

TEST(Shor, SeedMakesTheRunReproducible) {
    for (uint64_t n : {21, 33, 35, 91, 221, 247}) {
        const auto a = shor::shor_factor(n, seeded(1234)), b = shor::shor_factor(n, seeded(1234));
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->factors, b->factors);
        EXPECT_EQ(a->base_a, b->base_a);
        EXPECT_EQ(a->period, b->period);
        EXPECT_EQ(a->attempts, b->attempts);
    }
}

}  // namespace
