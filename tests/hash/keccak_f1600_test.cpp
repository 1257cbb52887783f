#include "crypto/hash/keccak_f1600.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "common/cpu.hpp"
#include "crypto/hash/keccak_x4.hpp"

namespace {

namespace hash = tesvi_crypto::hash;
using Lanes = std::array<uint64_t, 25>;

// States that reach every lane and bit: zero, all ones, and a chain of
// permutations of a counter pattern.
std::array<Lanes, 6> states() {
    std::array<Lanes, 6> s{};
    s[1].fill(~uint64_t{0});
    for (int i = 0; i < 25; ++i) s[2][i] = 0x0123456789ABCDEFu * (i + 1);
    for (size_t k = 3; k < s.size(); ++k) {
        s[k] = s[k - 1];
        hash::keccak_f1600_portable(s[k].data());
    }
    return s;
}

// The unrolled kernels are built on x86-64 only.
#if defined(__x86_64__)
TEST(KeccakF1600, UnrolledKernelMatchesPortable) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2";
    for (Lanes st : states()) {
        Lanes want = st;
        hash::keccak_f1600_portable(want.data());
        hash::keccak_f1600_avx2(st.data());
        EXPECT_EQ(st, want);
    }
}

#endif

// The first permutation of the zero state, from the Keccak team's
// intermediate values: pins the portable kernel itself.
TEST(KeccakF1600, ZeroStateKnownAnswer) {
    Lanes st{};
    hash::keccak_f1600(st.data());
    EXPECT_EQ(st[0], 0xF1258F7940E1DDE7u);
    EXPECT_EQ(st[1], 0x84D5CCF933C0478Au);
    EXPECT_EQ(st[24], 0xEAF1FF7B5CECA249u);
}

#if defined(__x86_64__)
TEST(KeccakF1600, FourWayPermutesEachStateAlone) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2";
    auto s = states();
    hash::x4::State st;
    for (int i = 0; i < 25; ++i)
        for (int j = 0; j < 4; ++j) st.s[i][j] = s[j + 1][i];
    hash::x4::permute(st);
    for (int j = 0; j < 4; ++j) {
        Lanes want = s[j + 1];
        hash::keccak_f1600_portable(want.data());
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(st.s[i][j], want[i]) << "lane " << i << " state " << j;
    }
}

#endif

}  // namespace
