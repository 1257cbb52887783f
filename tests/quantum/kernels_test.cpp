// Every vector form of the gate updates (AVX2 interleaved and split, AVX-512
// split) against the scalar definition, bit for bit: every target and qubit
// pair, inside and across registers, over ranges that start and end off a
// register's edge, for random matrices, and for the shorter roads
// (permutations, real matrices on real states) on states of exact zeros of
// both signs, subnormals and infinities.
#include "quantum/simulator/statevector_kernels.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "common/cpu.hpp"
#include "quantum/gate.hpp"
#include "quantum/simulator/random_stream.hpp"
#include "quantum/simulator/statevector.hpp"

namespace {

namespace sv = tesvi_quantum::simulator::statevector;
namespace gate = tesvi_quantum::gate;
using tesvi_quantum::complex::Complex;
using tesvi_quantum::simulator::RandomStream;
using tesvi_quantum::simulator::StateArray;

using Pairs = void (*)(Complex*, uint64_t, uint64_t, uint64_t, const Complex*, bool);
using Quads = void (*)(Complex*, uint64_t, uint64_t, uint64_t, uint64_t, const Complex*, bool);

// One form: the interleaved product kernels (which multiply for every
// matrix), or prepared ones, in place on interleaved storage or on a split
// copy; on_real: a split copy whose imaginary parts are all +0 takes the
// real road where the gate has one, which must say truly whether they all
// still are. Every form runs as over a state in memory, asking ahead for
// lines (which must change no bit).
struct Form {
    std::string name;
    bool available;
    Pairs pairs = nullptr;
    Quads quads = nullptr;
    const sv::PreparedKernels* prepared = nullptr;
    bool interleaved = false;
    bool on_real = false;

    void run_prepared(StateArray<Complex>& x, uint64_t width, uint64_t a, uint64_t b, uint64_t k0,
                      uint64_t k1, const Complex* m, const sv::Permutation* p) const {
        sv::PreparedGate g;
        g.streaming = true;
        if (interleaved) {
            prepared->interleaved(g, width, a, b, m, p);
            return g.run(g, &x.data()->re, nullptr, k0, k1);
        }
        std::vector<double> re(x.size()), im(x.size());
        for (size_t i = 0; i < x.size(); ++i) re[i] = x[i].re, im[i] = x[i].im;
        prepared->split(g, width, a, b, m, p);
        if (on_real && g.run_real && all_plus_zero(im)) {
            const bool stays_real = g.run_real(g, re.data(), im.data(), k0, k1);
            EXPECT_TRUE(!stays_real || all_plus_zero(im)) << name << ": said real, is not";
        } else {
            g.run(g, re.data(), im.data(), k0, k1);
        }
        for (size_t i = 0; i < x.size(); ++i) x[i] = {re[i], im[i]};
    }
    static bool all_plus_zero(const std::vector<double>& parts) {
        return std::all_of(parts.begin(), parts.end(),
                           [](double p) { return std::bit_cast<uint64_t>(p) == 0; });
    }
    void one(StateArray<Complex>& x, uint64_t t, uint64_t k0, uint64_t k1, const Complex* m,
             const sv::Permutation* p) const {
        if (pairs) return pairs(x.data(), t, k0, k1, m, true);
        run_prepared(x, 1, t, 0, k0, k1, m, p);
    }
    void two(StateArray<Complex>& x, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
             const Complex* m, const sv::Permutation* p) const {
        if (quads) return quads(x.data(), a, b, k0, k1, m, true);
        run_prepared(x, 2, a, b, k0, k1, m, p);
    }
};

std::vector<Form> forms() {
    const bool avx2 = tesvi::cpu::has_avx2(), avx512 = tesvi::cpu::has_avx512();
    return {{"avx2 products", avx2, sv::avx2::pairs, sv::avx2::quads},
            {"avx2 split", avx2, nullptr, nullptr, &sv::avx2::prepared},
            {"avx512 split", avx512, nullptr, nullptr, &sv::avx512::prepared},
            {"avx2 split on real", avx2, nullptr, nullptr, &sv::avx2::prepared, false, true},
            {"avx512 split on real", avx512, nullptr, nullptr, &sv::avx512::prepared, false, true},
            {"avx2 interleaved", avx2, nullptr, nullptr, &sv::avx2::prepared, true},
            {"avx512 interleaved", avx512, nullptr, nullptr, &sv::avx512::prepared, true}};
}

// The scalar definitions over update indices [k0, k1).
void reference_pairs(StateArray<Complex>& x, uint64_t t, uint64_t k0, uint64_t k1,
                     const Complex* m) {
    const uint64_t h = uint64_t{1} << t;
    for (uint64_t k = k0; k < k1; ++k) {
        Complex* p = x.data() + sv::pair_offset(k, t);
        const Complex a0 = p[0], a1 = p[h];
        p[0] = m[0] * a0 + m[1] * a1, p[h] = m[2] * a0 + m[3] * a1;
    }
}

void reference_quads(StateArray<Complex>& x, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
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
StateArray<Complex> awkward_state(RandomStream& rng, uint64_t n, bool infinity) {
    const double parts[] = {0.0, -0.0, 1.0, -1.0, 4.9e-320, -0.3, 2.5};
    StateArray<Complex> s(uint64_t{1} << n);
    for (auto& a : s) a = {parts[rng.below(7)], parts[rng.below(7)]};
    if (infinity) {
        const double inf = std::numeric_limits<double>::infinity();
        s[rng.below(s.size())].im = rng.below(2) ? inf : -inf;
    }
    return s;
}

// Ordinary parts with an awkward one now and then: most updates then hold no
// zero, and a few hold parts whose product underflows or overflows.
StateArray<Complex> mostly_ordinary_state(RandomStream& rng, uint64_t n) {
    const double awkward[] = {0.0, -0.0, 4.9e-320, 1e-300, -1e300};
    auto part = [&] { return rng.below(40) ? rng.uniform() - 0.5 : awkward[rng.below(5)]; };
    StateArray<Complex> s(uint64_t{1} << n);
    for (auto& a : s) a = {part(), part()};
    return s;
}

StateArray<Complex> random_state(RandomStream& rng, uint64_t n) {
    StateArray<Complex> s(uint64_t{1} << n);
    for (auto& a : s) a = {rng.uniform() - 0.5, rng.uniform() - 0.5};
    return s;
}

bool same_bits(const StateArray<Complex>& a, const StateArray<Complex>& b) {
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

// Monomial matrices take the moving path: the matrices of ones (X, CNOT,
// SWAP) always, the others (entries i, -1, -i, zeros of both signs) where no
// part of an update is zero or not finite. The signs of zero results and the
// NaNs that 0 * inf makes must still be the full product's.
TEST(VectorKernels, PermutationsGiveTheFullProductsBits) {
    RandomStream rng = RandomStream::from_seed(17);
    struct Moving {
        gate::Gate g;
        sv::Permutation p;
    };
    // Rows of sources 2, 0, 3, 1 times i, -1, -i and 1 - 0i, zeros signed at random.
    gate::Gate turned = gate::cz();
    for (auto& e : turned.matrix) e = {rng.below(2) ? 0.0 : -0.0, rng.below(2) ? 0.0 : -0.0};
    turned.matrix[0 * 4 + 2] = {0.0, 1.0}, turned.matrix[1 * 4 + 0] = {-1.0, -0.0};
    turned.matrix[2 * 4 + 3] = {-0.0, -1.0}, turned.matrix[3 * 4 + 1] = {1.0, -0.0};
    const Moving one_qubit[] = {{gate::x(), {{1, 0}, {}, true}},
                                {gate::z(), {{0, 1}, {0, 2}, false}},
                                {gate::s(), {{0, 1}, {0, 1}, false}},
                                {gate::y(), {{1, 0}, {3, 1}, false}}};
    const Moving two_qubit[] = {{gate::cnot(), {{0, 1, 3, 2}, {}, true}},
                                {gate::swap(), {{0, 2, 1, 3}, {}, true}},
                                {gate::cz(), {{0, 1, 2, 3}, {0, 0, 0, 2}, false}},
                                {turned, {{2, 0, 3, 1}, {1, 2, 3, 0}, false}}};
    const uint64_t pairs = uint64_t{1} << (N - 1), quads = uint64_t{1} << (N - 2);
    for (const Form& f : forms()) {
        if (!f.available) continue;
        for (int round = 0; round < 40; ++round) {
            const bool infinity = round % 8 == 0 || round % 8 == 5;
            // Odd rounds are real states: every imaginary part +0 (an
            // infinity moves to the real part); every fourth round is mostly
            // ordinary parts.
            auto state = [&] {
                auto s = round % 4 == 2 ? mostly_ordinary_state(rng, N)
                                        : awkward_state(rng, N, infinity);
                if (round % 2)
                    for (auto& a : s) a = {std::isinf(a.im) ? a.im : a.re, 0.0};
                return s;
            };
            for (const Moving& m : one_qubit)
                for (uint64_t t = 0; t < N; ++t) {
                    auto ref = state(), vec = ref;
                    reference_pairs(ref, t, 1, pairs, m.g.matrix.data());
                    f.one(vec, t, 1, pairs, m.g.matrix.data(), &m.p);
                    ASSERT_TRUE(same_bits(ref, vec)) << f.name << " " << m.g.name << " q" << t;
                }
            for (const Moving& m : two_qubit)
                for (uint64_t a = 0; a < N; ++a)
                    for (uint64_t b = 0; b < N; ++b) {
                        if (a == b) continue;
                        auto ref = state(), vec = ref;
                        reference_quads(ref, a, b, 0, quads, m.g.matrix.data());
                        f.two(vec, a, b, 0, quads, m.g.matrix.data(), &m.p);
                        ASSERT_TRUE(same_bits(ref, vec))
                            << f.name << " " << m.g.name << " (" << a << "," << b << ")";
                    }
        }
    }
}

// The engine picks the moving form from the matrix's exact entries: a -0
// anywhere takes a matrix out of the ones, and an entry a hair off a unit
// takes it out of the moving forms.
TEST(VectorKernels, GatesTakeTheMovingFormTheirEntriesAllow) {
    RandomStream rng = RandomStream::from_seed(23);
    // Interleaved storage moves only on states of 512 amplitudes or more.
    constexpr uint64_t QUBITS = 9;
    auto with = [](gate::Gate g, size_t entry, Complex value) {
        g.matrix[entry] = value;
        return g;
    };
    const gate::Gate one_qubit[] = {
        gate::x(), with(gate::x(), 1, {1.0, -0.0}),   with(gate::x(), 0, {-0.0, 0.0}), gate::s(),
        gate::y(), with(gate::z(), 3, {-1.0, 1e-300})};
    const gate::Gate two_qubit[] = {gate::cnot(),
                                    with(gate::cnot(), 0, {1.0, -0.0}),
                                    with(gate::swap(), 1, {0.0, -0.0}),
                                    gate::cz(),
                                    gate::cy(),
                                    with(gate::cz(), 15, {-1.0 + 1e-16, 0.0})};
    for (int round = 0; round < 16; ++round) {
        auto state = [&] {
            auto s = awkward_state(rng, QUBITS, round % 4 == 0);
            if (round % 2)
                for (auto& a : s) a.im = 0.0;
            return s;
        };
        auto check = [&](const gate::Gate& g, const std::vector<uint64_t>& qubits) {
            auto ref = state(), vec = ref;
            if (qubits.size() == 1)
                reference_pairs(ref, qubits[0], 0, uint64_t{1} << (QUBITS - 1), g.matrix.data());
            else
                reference_quads(ref, qubits[0], qubits[1], 0, uint64_t{1} << (QUBITS - 2),
                                g.matrix.data());
            auto split =
                sv::StateVectorSoA{StateArray<double>(vec.size()), StateArray<double>(vec.size())};
            for (size_t i = 0; i < vec.size(); ++i)
                split.re[i] = vec[i].re, split.im[i] = vec[i].im;
            sv::apply_gate(vec, qubits, g, false);
            if (qubits.size() == 1)
                sv::apply_1q_soa(split, qubits[0], g, false);
            else
                sv::apply_2q_soa(split, qubits[0], qubits[1], g, false);
            EXPECT_TRUE(same_bits(ref, vec)) << g.name << " interleaved";
            EXPECT_TRUE(same_bits(ref, split.into_aos())) << g.name << " split";
        };
        for (const auto& g : one_qubit)
            for (uint64_t t : {uint64_t{0}, uint64_t{4}}) check(g, {t});
        for (const auto& g : two_qubit)
            for (auto [a, b] :
                 {std::pair{uint64_t{0}, uint64_t{5}}, std::pair{uint64_t{6}, uint64_t{3}}})
                check(g, {a, b});
    }
}

// Real matrices on real states take a shorter road; its zeros must carry the
// full product's signs: entries of both zero signs (H holds -0 imaginary
// parts), real parts of every awkward kind, one infinity now and then. A
// third of the one-qubit matrices have H's shape, a second row that is the
// first with its second entry negated, whose products the road forms once.
TEST(VectorKernels, RealMatricesOnRealStatesGiveTheFullProductsBits) {
    RandomStream rng = RandomStream::from_seed(23);
    const double entries[] = {0.0, -0.0, 1.0, -1.0, 0.5, -0.7};
    // Half the matrices have only +0 imaginary parts, whose products with
    // +0 the kernels leave out; the others a -0 here and there.
    auto real_matrix = [&](Complex* m, int count) {
        const bool plus_zeros = rng.below(2) == 0;
        for (int e = 0; e < count; ++e)
            m[e] = {entries[rng.below(6)], plus_zeros || rng.below(2) ? 0.0 : -0.0};
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
                if (rng.below(3) == 0) m[2] = m[0], m[3] = {-m[1].re, m[1].im};
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
