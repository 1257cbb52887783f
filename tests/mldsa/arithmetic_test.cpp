// The arithmetic under the signatures, against direct definitions: the
// transform against schoolbook multiplication, the rounding functions over
// every residue, hints against the recovery they exist for, and the norm check
// at its bounds.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "crypto/pqc/mldsa/poly.hpp"
#include "crypto/pqc/mldsa/rounding.hpp"

namespace {

using namespace tesvi_crypto::pqc::mldsa65;

int64_t mod_q(int64_t a) {
    return ((a % Q) + Q) % Q;
}

// The representative of a mod m in (-m/2, m/2].
int64_t mod_pm(int64_t a, int64_t m) {
    int64_t r = ((a % m) + m) % m;
    return r > m / 2 ? r - m : r;
}

TEST(MlDsa65Arithmetic, NttProductIsNegacyclicProduct) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> coeff(-(Q - 1) / 2, (Q - 1) / 2);
    for (int round = 0; round < 4; ++round) {
        Poly a, b, c;
        for (size_t i = 0; i < N; ++i) a.coeffs[i] = coeff(rng), b.coeffs[i] = coeff(rng);
        int64_t want[N] = {};
        for (size_t i = 0; i < N; ++i)
            for (size_t j = 0; j < N; ++j) {
                int64_t p = mod_q(int64_t{a.coeffs[i]} * b.coeffs[j]);
                size_t k = (i + j) % N;
                want[k] = mod_q(want[k] + (i + j < N ? p : -p));
            }
        poly_ntt(a);
        poly_ntt(b);
        poly_pointwise_montgomery(c, a, b);
        poly_invntt_tomont(c);
        for (size_t k = 0; k < N; ++k) ASSERT_EQ(mod_q(c.coeffs[k]), want[k]) << "k=" << k;
    }
}

TEST(MlDsa65Arithmetic, RoundingOverEveryResidue) {
    for (int32_t a = 0; a < Q; ++a) {
        int32_t p0;
        int32_t p1 = power2round(p0, a);
        int64_t want_p0 = mod_pm(a, 1 << D);
        ASSERT_EQ(p0, want_p0) << a;
        ASSERT_EQ(p1, (a - want_p0) >> D) << a;

        // HighBits/LowBits, with the top interval folded onto 0.
        int32_t d0;
        int32_t d1 = decompose(d0, a);
        int64_t r0 = mod_pm(a, 2 * GAMMA2);
        int64_t r1 = (a - r0) / (2 * GAMMA2);
        if (a - r0 == Q - 1) r1 = 0, r0 -= 1;
        ASSERT_EQ(d1, r1) << a;
        ASSERT_EQ(d0, r0) << a;
    }
}

// The signer knows the high part w1 and a low part r0 of the value it committed
// to, then adds e = c t0 without telling the verifier; the hint must let the
// verifier recover w1 from w1 2 GAMMA2 + r0 + e alone, for every |r0| below
// GAMMA2 - BETA and |e| below GAMMA2 (the bounds signing enforces).
TEST(MlDsa65Arithmetic, HintRecoversHighPart) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int32_t> high(0, 15);
    std::uniform_int_distribution<int32_t> low(-(GAMMA2 - BETA - 1), GAMMA2 - BETA - 1);
    std::uniform_int_distribution<int32_t> added(-(GAMMA2 - 1), GAMMA2 - 1);
    const int32_t edges[] = {-(GAMMA2 - BETA - 1), -1, 0, 1, GAMMA2 - BETA - 1};
    const int32_t added_edges[] = {-(GAMMA2 - 1), -BETA, 0, BETA, GAMMA2 - 1};
    auto check = [](int32_t w1, int32_t r0, int32_t e) {
        uint32_t h = make_hint(r0 + e, w1);
        int32_t v = static_cast<int32_t>(mod_q(int64_t{w1} * 2 * GAMMA2 + r0 + e));
        ASSERT_EQ(use_hint(v, h), w1) << "w1=" << w1 << " r0=" << r0 << " e=" << e;
    };
    for (int32_t w1 = 0; w1 < 16; ++w1)
        for (int32_t r0 : edges)
            for (int32_t e : added_edges) check(w1, r0, e);
    for (int i = 0; i < 200000; ++i) check(high(rng), low(rng), added(rng));
}

TEST(MlDsa65Arithmetic, NormCheckBounds) {
    const int32_t bound = GAMMA1 - BETA;
    const struct {
        int32_t value;
        bool over;
    } rows[] = {{0, false},     {bound - 1, false}, {-(bound - 1), false}, {bound, true},
                {-bound, true}, {Q / 2, true},      {-(Q / 2), true}};
    for (size_t pos : {size_t{0}, size_t{137}, N - 1})
        for (const auto& r : rows) {
            Poly a{};
            a.coeffs[pos] = r.value;
            EXPECT_EQ(poly_chknorm(a, bound), r.over) << r.value << " at " << pos;
        }
}

TEST(MlDsa65Arithmetic, ChallengeHasTauSignedOnes) {
    for (uint8_t seed = 0; seed < 32; ++seed) {
        uint8_t ctilde[CTILDEBYTES];
        for (size_t i = 0; i < CTILDEBYTES; ++i) ctilde[i] = static_cast<uint8_t>(seed * 31 + i);
        Poly c;
        poly_challenge(c, ctilde);
        int nonzero = 0;
        for (int32_t x : c.coeffs) {
            ASSERT_TRUE(x == 0 || x == 1 || x == -1) << x;
            nonzero += x != 0;
        }
        EXPECT_EQ(nonzero, TAU);
    }
}

}  // namespace
