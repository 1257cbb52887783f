#include "crypto/hash/keccak_f1600.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "common/cpu.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/hash/keccak_x8.hpp"

namespace {

namespace hash = tesvi_crypto::hash;
using Lanes = std::array<uint64_t, 25>;

// States that reach every lane and bit: zero, all ones, and a chain of
// permutations of a counter pattern.
std::array<Lanes, 9> states() {
    std::array<Lanes, 9> s{};
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
// Every four- and eight-way form by name, not only the one permute picks here.
template <class State>
struct ManyWayForm {
    const char* name;
    void (*permute)(State&);
    bool (*available)();
};

template <class State, size_t N>
void expect_each_state_alone(const ManyWayForm<State> (&forms)[N]) {
    constexpr size_t ways = std::extent_v<decltype(State::s), 1>;
    auto s = states();
    for (const auto& form : forms) {
        if (!form.available()) {
            std::printf("%zu-way form %s not supported here\n", ways, form.name);
            continue;
        }
        // Two calls in a row, so lanes carried over from the first show.
        State st;
        for (size_t i = 0; i < 25; ++i)
            for (size_t j = 0; j < ways; ++j) st.s[i][j] = s[j + 1][i];
        form.permute(st);
        form.permute(st);
        for (size_t j = 0; j < ways; ++j) {
            Lanes want = s[j + 1];
            hash::keccak_f1600_portable(want.data());
            hash::keccak_f1600_portable(want.data());
            for (size_t i = 0; i < 25; ++i)
                EXPECT_EQ(st.s[i][j], want[i])
                    << ways << "-way " << form.name << " lane " << i << " state " << j;
        }
    }
}

TEST(KeccakF1600, ManyWayFormsPermuteEachStateAlone) {
    const ManyWayForm<hash::x4::State> four[] = {
        {"dispatch", hash::x4::permute, tesvi::cpu::has_avx2},
        {"avx2", hash::x4::permute_avx2, tesvi::cpu::has_avx2},
        {"avx512", hash::x4::permute_avx512, tesvi::cpu::has_avx512},
    };
    const ManyWayForm<hash::x8::State> eight[] = {
        {"dispatch", hash::x8::permute, tesvi::cpu::has_avx2},
        {"avx2", hash::x8::permute_avx2, tesvi::cpu::has_avx2},
        {"avx512", hash::x8::permute_avx512, tesvi::cpu::has_avx512},
    };
    expect_each_state_alone(four);
    expect_each_state_alone(eight);
}

#endif

}  // namespace
