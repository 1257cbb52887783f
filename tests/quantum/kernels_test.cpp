// Every vector form of the gate updates (AVX2 interleaved and split, AVX-512
// split) against the scalar definition, bit for bit: every target and qubit
// pair, inside and across registers, over ranges that start and end off a
// register's edge, for random matrices, and for the shorter roads
// (permutations, real matrices on real states) on states of exact zeros of
// both signs, subnormals and infinities.
#include "quantum/simulator/statevector_kernels.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "common/cpu.hpp"
#include "quantum/gate.hpp"
#include "quantum/simulator/random_stream.hpp"

namespace {

namespace sv = tesvi_quantum::simulator::statevector;
namespace gate = tesvi_quantum::gate;
using tesvi_quantum::complex::Complex;
using tesvi_quantum::simulator::RandomStream;

using Pairs = void (*)(Complex*, uint64_t, uint64_t, uint64_t, const Complex*,
                       const sv::Permutation*);
using Quads = void (*)(Complex*, uint64_t, uint64_t, uint64_t, uint64_t, const Complex*,
                       const sv::Permutation*);
using SplitPairs = void (*)(double*, double*, uint64_t, uint64_t, uint64_t, const Complex*,
                            const sv::Permutation*);
using SplitQuads = void (*)(double*, double*, uint64_t, uint64_t, uint64_t, uint64_t,
                            const Complex*, const sv::Permutation*);

// One form: interleaved kernels, or split ones run on a split copy.
struct Form {
    std::string name;
    bool available;
    Pairs pairs = nullptr;
    Quads quads = nullptr;
    SplitPairs split_pairs = nullptr;
    SplitQuads split_quads = nullptr;

    template <class Run>
    static void on_split(std::vector<Complex>& x, const Run& run) {
        std::vector<double> re(x.size()), im(x.size());
        for (size_t i = 0; i < x.size(); ++i) re[i] = x[i].re, im[i] = x[i].im;
        run(re.data(), im.data());
        for (size_t i = 0; i < x.size(); ++i) x[i] = {re[i], im[i]};
    }
    void one(std::vector<Complex>& x, uint64_t t, uint64_t k0, uint64_t k1, const Complex* m,
             const sv::Permutation* p) const {
        if (pairs) return pairs(x.data(), t, k0, k1, m, p);
        on_split(x, [&](double* re, double* im) { split_pairs(re, im, t, k0, k1, m, p); });
    }
    void two(std::vector<Complex>& x, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
             const Complex* m, const sv::Permutation* p) const {
        if (quads) return quads(x.data(), a, b, k0, k1, m, p);
        on_split(x, [&](double* re, double* im) { split_quads(re, im, a, b, k0, k1, m, p); });
    }
};

std::vector<Form> forms() {
    const bool avx2 = tesvi::cpu::has_avx2(), avx512 = tesvi::cpu::has_avx512();
    return {{"avx2", avx2, sv::avx2::pairs, sv::avx2::quads},
            {"avx2 split", avx2, nullptr, nullptr, sv::avx2::split.pairs, sv::avx2::split.quads},
            {"avx512 split", avx512, nullptr, nullptr, sv::avx512::split.pairs,
             sv::avx512::split.quads}};
}

// The scalar definitions over update indices [k0, k1).
void reference_pairs(std::vector<Complex>& x, uint64_t t, uint64_t k0, uint64_t k1,
                     const Complex* m) {
    const uint64_t h = uint64_t{1} << t;
    for (uint64_t k = k0; k < k1; ++k) {
        Complex* p = x.data() + sv::pair_offset(k, t);
        const Complex a0 = p[0], a1 = p[h];
        p[0] = m[0] * a0 + m[1] * a1, p[h] = m[2] * a0 + m[3] * a1;
    }
}

void reference_quads(std::vector<Complex>& x, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
                     const Complex* m) {
    const uint64_t d[4] = {0, uint64_t{1} << b, uint64_t{1} << a,
                           (uint64_t{1} << a) + (uint64_t{1} << b)};
    for (uint64_t k = k0; k < k1; ++k) {
        Complex* p = x.data() + sv::quad_offset(k, std::min(a, b), std::max(a, b));
        const Complex y[4] = {p[d[0]], p[d[1]], p[d[2]], p[d[3]]};
        for (int r = 0; r < 4; ++r)
            p[d[r]] =
                m[4 * r] * y[0] + m[4 * r + 1] * y[1] + m[4 * r + 2] * y[2] + m[4 * r + 3] * y[3];
    }
}

// Parts of exact zeros of both signs, ones, a subnormal and ordinary values;
// with `infinity`, one part somewhere is infinite (0 * inf is NaN).
std::vector<Complex> awkward_state(RandomStream& rng, uint64_t n, bool infinity) {
    const double parts[] = {0.0, -0.0, 1.0, -1.0, 4.9e-320, -0.3, 2.5};
    std::vector<Complex> s(uint64_t{1} << n);
    for (auto& a : s) a = {parts[rng.below(7)], parts[rng.below(7)]};
    if (infinity) {
        const double inf = std::numeric_limits<double>::infinity();
        s[rng.below(s.size())].im = rng.below(2) ? inf : -inf;
    }
    return s;
}

// Ordinary parts with an awkward one now and then: most updates then hold no
// zero, and a few hold parts whose product underflows or overflows.
std::vector<Complex> mostly_ordinary_state(RandomStream& rng, uint64_t n) {
    const double awkward[] = {0.0, -0.0, 4.9e-320, 1e-300, -1e300};
    auto part = [&] { return rng.below(40) ? rng.uniform() - 0.5 : awkward[rng.below(5)]; };
    std::vector<Complex> s(uint64_t{1} << n);
    for (auto& a : s) a = {part(), part()};
    return s;
}

std::vector<Complex> random_state(RandomStream& rng, uint64_t n) {
    std::vector<Complex> s(uint64_t{1} << n);
    for (auto& a : s) a = {rng.uniform() - 0.5, rng.uniform() - 0.5};
    return s;
}

bool same_bits(const std::vector<Complex>& a, const std::vector<Complex>& b) {
    return std::memcmp(a.data(), b.data(), a.size() * sizeof(Complex)) == 0;
}

constexpr uint64_t N = 7;  // qubits 0..6: inside and across registers of every width

TEST(VectorKernels, RandomMatricesGiveTheScalarBitsOverAnyRange) {
    RandomStream rng = RandomStream::from_seed(9);
    for (const Form& f : forms()) {
        if (!f.available) continue;
        const uint64_t pairs = uint64_t{1} << (N - 1), quads = uint64_t{1} << (N - 2);
        for (uint64_t t = 0; t < N; ++t) {
            Complex m[4];
            for (auto& e : m) e = {rng.uniform() - 0.5, rng.uniform() - 0.5};
            for (uint64_t k0 : {uint64_t{0}, uint64_t{1}, uint64_t{3}})
                for (uint64_t k1 : {pairs - 3, pairs - 1, pairs}) {
                    auto ref = random_state(rng, N), vec = ref;
                    reference_pairs(ref, t, k0, k1, m);
                    f.one(vec, t, k0, k1, m, nullptr);
                    EXPECT_TRUE(same_bits(ref, vec))
                        << f.name << " q" << t << " " << k0 << ".." << k1;
                }
        }
        for (uint64_t a = 0; a < N; ++a)
            for (uint64_t b = 0; b < N; ++b) {
                if (a == b) continue;
                Complex m[16];
                for (auto& e : m) e = {rng.uniform() - 0.5, rng.uniform() - 0.5};
                for (auto [k0, k1] :
                     {std::pair{uint64_t{0}, quads}, std::pair{uint64_t{1}, quads - 3}}) {
                    auto ref = random_state(rng, N), vec = ref;
                    reference_quads(ref, a, b, k0, k1, m);
                    f.two(vec, a, b, k0, k1, m, nullptr);
                    EXPECT_TRUE(same_bits(ref, vec))
                        << f.name << " (" << a << "," << b << ") " << k0 << ".." << k1;
                }
            }
    }
}

// X, CNOT and SWAP take the moving path; the signs of zero results and the
// NaNs that 0 * inf makes must still be the full product's.
TEST(VectorKernels, PermutationsGiveTheFullProductsBits) {
    RandomStream rng = RandomStream::from_seed(17);
    const sv::Permutation x{{1, 0}}, cnot{{0, 1, 3, 2}}, swap{{0, 2, 1, 3}};
    const gate::Gate gx = gate::x(), gcnot = gate::cnot(), gswap = gate::swap();
    const uint64_t pairs = uint64_t{1} << (N - 1), quads = uint64_t{1} << (N - 2);
    for (const Form& f : forms()) {
        if (!f.available) continue;
        for (int round = 0; round < 40; ++round) {
            const bool infinity = round % 8 == 0;
            // Odd rounds are real states: every imaginary part +0; every
            // fourth round is mostly ordinary parts.
            auto state = [&] {
                auto s = round % 4 == 2 ? mostly_ordinary_state(rng, N)
                                        : awkward_state(rng, N, infinity);
                if (round % 2)
                    for (auto& a : s) a.im = infinity ? a.im : 0.0;
                return s;
            };
            for (uint64_t t = 0; t < N; ++t) {
                auto ref = state(), vec = ref;
                reference_pairs(ref, t, 1, pairs, gx.matrix.data());
                f.one(vec, t, 1, pairs, gx.matrix.data(), &x);
                ASSERT_TRUE(same_bits(ref, vec)) << f.name << " X q" << t;
            }
            for (auto [g, p] : {std::pair{&gcnot, &cnot}, std::pair{&gswap, &swap}})
                for (uint64_t a = 0; a < N; ++a)
                    for (uint64_t b = 0; b < N; ++b) {
                        if (a == b) continue;
                        auto ref = state(), vec = ref;
                        reference_quads(ref, a, b, 0, quads, g->matrix.data());
                        f.two(vec, a, b, 0, quads, g->matrix.data(), p);
                        ASSERT_TRUE(same_bits(ref, vec))
                            << f.name << " " << g->name << " (" << a << "," << b << ")";
                    }
        }
    }
}

// Real matrices on real states take a shorter road; its zeros must carry the
// full product's signs: entries of both zero signs (H holds -0 imaginary
// parts), real parts of every awkward kind, one infinity now and then.
TEST(VectorKernels, RealMatricesOnRealStatesGiveTheFullProductsBits) {
    RandomStream rng = RandomStream::from_seed(23);
    const double entries[] = {0.0, -0.0, 1.0, -1.0, 0.5, -0.7};
    auto real_matrix = [&](Complex* m, int count) {
        for (int e = 0; e < count; ++e) m[e] = {entries[rng.below(6)], rng.below(2) ? 0.0 : -0.0};
    };
    auto real_state = [&](bool infinity) {
        auto s = awkward_state(rng, N, infinity);
        for (auto& a : s) a.im = 0.0;
        if (infinity) s[rng.below(s.size())].re = -std::numeric_limits<double>::infinity();
        return s;
    };
    const uint64_t pairs = uint64_t{1} << (N - 1), quads = uint64_t{1} << (N - 2);
    for (const Form& f : forms()) {
        if (!f.available) continue;
        for (int round = 0; round < 40; ++round) {
            const bool infinity = round % 8 == 0;
            Complex m[16];
            for (uint64_t t = 0; t < N; ++t) {
                real_matrix(m, 4);
                auto ref = real_state(infinity), vec = ref;
                reference_pairs(ref, t, 0, pairs, m);
                f.one(vec, t, 0, pairs, m, nullptr);
                ASSERT_TRUE(same_bits(ref, vec)) << f.name << " q" << t;
            }
            for (uint64_t a = 0; a < N; ++a)
                for (uint64_t b = 0; b < N; ++b) {
                    if (a == b) continue;
                    real_matrix(m, 16);
                    auto ref = real_state(infinity), vec = ref;
                    reference_quads(ref, a, b, 0, quads, m);
                    f.two(vec, a, b, 0, quads, m, nullptr);
                    ASSERT_TRUE(same_bits(ref, vec)) << f.name << " (" << a << "," << b << ")";
                }
        }
    }
}

}  // namespace
