#include "quantum/simulator/statevector_avx2.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "common/cpu.hpp"
#include "quantum/simulator/random_stream.hpp"
#include "quantum/simulator/statevector.hpp"

namespace {

namespace sv = tesvi_quantum::simulator::statevector;
using tesvi_quantum::complex::Complex;
using tesvi_quantum::simulator::RandomStream;

std::vector<Complex> random_state(uint64_t n, uint64_t seed) {
    RandomStream rng = RandomStream::from_seed(seed);
    std::vector<Complex> s(uint64_t{1} << n);
    for (auto& a : s) a = {rng.uniform() - 0.5, rng.uniform() - 0.5};
    return s;
}

// The vector path must give the portable block kernel's bits for every target,
// over ranges that start and end at every parity.
TEST(Avx2, OneQubitKernelsMatchThePortableBlocks) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2 on this processor";
    const uint64_t n = 6;
    tesvi_quantum::gate::Gate g = tesvi_quantum::gate::h();
    RandomStream rng = RandomStream::from_seed(9);
    for (auto& e : g.matrix) e = {rng.uniform() - 0.5, rng.uniform() - 0.5};
    for (uint64_t t = 0; t < n; ++t)
        for (uint64_t k0 : {0, 1, 3})
            for (uint64_t k1 : {29, 31, 32}) {
                const auto src = random_state(n, t * 100 + k0 * 10 + k1);
                auto ref = src, vec = src;
                const uint64_t h = uint64_t{1} << t;
                const Complex* m = g.matrix.data();
                for (uint64_t k = k0; k < k1; ++k) {
                    Complex* p = ref.data() + sv::avx2::pair_offset(k, t);
                    const Complex a0 = p[0], a1 = p[h];
                    p[0] = m[0] * a0 + m[1] * a1, p[h] = m[2] * a0 + m[3] * a1;
                }
                sv::avx2::pairs(vec.data(), t, k0, k1, g.matrix.data());
                EXPECT_EQ(std::memcmp(ref.data(), vec.data(), ref.size() * sizeof(Complex)), 0)
                    << t << " " << k0 << ".." << k1;

                std::vector<double> re(src.size()), im(src.size());
                for (size_t i = 0; i < src.size(); ++i) re[i] = src[i].re, im[i] = src[i].im;
                auto ref_re = re, ref_im = im;
                for (uint64_t k = k0; k < k1; ++k) {
                    const uint64_t o = sv::avx2::pair_offset(k, t);
                    const Complex a0{ref_re[o], ref_im[o]}, a1{ref_re[o + h], ref_im[o + h]};
                    const Complex b0 = m[0] * a0 + m[1] * a1, b1 = m[2] * a0 + m[3] * a1;
                    ref_re[o] = b0.re, ref_im[o] = b0.im, ref_re[o + h] = b1.re,
                    ref_im[o + h] = b1.im;
                }
                sv::avx2::pairs_soa(re.data(), im.data(), t, k0, k1, g.matrix.data());
                EXPECT_EQ(std::memcmp(re.data(), ref_re.data(), re.size() * 8), 0) << t;
                EXPECT_EQ(std::memcmp(im.data(), ref_im.data(), im.size() * 8), 0) << t;
            }
}

TEST(Avx2, TwoQubitKernelsMatchThePortableBlocks) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2 on this processor";
    const uint64_t n = 6;
    tesvi_quantum::gate::Gate g2 = tesvi_quantum::gate::rzz(0.7);
    RandomStream rng = RandomStream::from_seed(5);
    for (auto& e : g2.matrix) e = {rng.uniform() - 0.5, rng.uniform() - 0.5};
    for (uint64_t a = 0; a < n; ++a)
        for (uint64_t b = 0; b < n; ++b) {
            if (a == b) continue;
            auto ref = random_state(n, a * n + b), vec = ref;
            const uint64_t chunk = uint64_t{2} << std::max(a, b);
            for (uint64_t j = 0; j < ref.size() / chunk; ++j)
                sv::apply_2q_block(ref.data() + j * chunk, a, b, g2);
            sv::avx2::quads(vec.data(), a, b, 0, vec.size() / 4, g2.matrix.data());
            EXPECT_EQ(std::memcmp(ref.data(), vec.data(), ref.size() * sizeof(Complex)), 0)
                << a << "," << b;

            std::vector<double> re(ref.size()), im(ref.size());
            auto src = random_state(n, a * n + b);
            for (size_t i = 0; i < src.size(); ++i) re[i] = src[i].re, im[i] = src[i].im;
            auto ref_re = re, ref_im = im;
            for (uint64_t j = 0; j < ref.size() / chunk; ++j)
                sv::apply_2q_block_soa(ref_re.data() + j * chunk, ref_im.data() + j * chunk, a, b,
                                       g2);
            sv::avx2::quads_soa(re.data(), im.data(), a, b, 0, re.size() / 4, g2.matrix.data());
            EXPECT_EQ(re, ref_re) << a << "," << b;
            EXPECT_EQ(im, ref_im) << a << "," << b;
        }
}

// Permutation gates move amplitudes instead of multiplying; the signs of zero
// results and the NaNs that 0 * inf makes must still be the full product's.
TEST(Avx2, PermutationsGiveTheFullProductsBits) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2 on this processor";
    const uint64_t n = 4;
    const double parts[] = {0.0, -0.0, 1.0, -1.0, 4.9e-320, -0.3, 2.5};
    const double inf = std::numeric_limits<double>::infinity();
    RandomStream rng = RandomStream::from_seed(17);
    auto state = [&](bool with_infinity) {
        std::vector<Complex> s(uint64_t{1} << n);
        for (auto& a : s) a = {parts[rng.below(7)], parts[rng.below(7)]};
        if (with_infinity) s[rng.below(s.size())].im = rng.below(2) ? inf : -inf;
        return s;
    };
    for (int round = 0; round < 300; ++round) {
        const bool with_infinity = round % 10 == 0;
        for (uint64_t t = 0; t < n; ++t) {
            auto ref = state(with_infinity), vec = ref;
            for (uint64_t j = 0; j < ref.size() >> (t + 1); ++j)
                sv::apply_1q_block(ref.data() + (j << (t + 1)), uint64_t{1} << t,
                                   tesvi_quantum::gate::x());
            sv::apply_gate(vec, {t}, tesvi_quantum::gate::x(), false);
            ASSERT_EQ(std::memcmp(ref.data(), vec.data(), ref.size() * sizeof(Complex)), 0) << t;
        }
        for (const auto& g : {tesvi_quantum::gate::cnot(), tesvi_quantum::gate::swap()})
            for (uint64_t a = 0; a < n; ++a)
                for (uint64_t b = 0; b < n; ++b) {
                    if (a == b) continue;
                    auto ref = state(with_infinity), vec = ref;
                    const uint64_t chunk = uint64_t{2} << std::max(a, b);
                    for (uint64_t j = 0; j < ref.size() / chunk; ++j)
                        sv::apply_2q_block(ref.data() + j * chunk, a, b, g);
                    sv::apply_gate(vec, {a, b}, g, false);
                    ASSERT_EQ(std::memcmp(ref.data(), vec.data(), ref.size() * sizeof(Complex)), 0)
                        << g.name << " " << a << "," << b;
                }
    }
}

}  // namespace
