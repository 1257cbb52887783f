#include "quantum/simulator/statevector_avx2.hpp"

#include <gtest/gtest.h>

#include <cstring>

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

// The vector path must give the portable block kernel's bits for every qubit pair.
TEST(Avx2, TwoQubitKernelsMatchThePortableBlocks) {
    if (!sv::avx2::available()) GTEST_SKIP() << "no AVX2 on this processor";
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

}  // namespace
