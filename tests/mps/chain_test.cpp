#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

#include "mps_helpers.hpp"
#include "quantum/simulator/mps.hpp"
#include "quantum/simulator/simulator.hpp"

namespace {

using namespace mps_test;
using tesvi_quantum::circuit::Instruction;
using tesvi_quantum::gate::Gate;
using tesvi_quantum::simulator::RandomStream;
using tesvi_quantum::simulator::Simulator;
using tesvi_quantum::simulator::mps::amplitude_for_basis;
using tesvi_quantum::simulator::mps::BasisIndex;
using tesvi_quantum::simulator::mps::dense_amplitudes;
using tesvi_quantum::simulator::mps::propagate_branch;
using tesvi_quantum::simulator::mps::SampleList;
namespace gate = tesvi_quantum::gate;

MPSSimulator evolved(const Circuit& c, uint64_t bond) {
    MPSSimulator chain(c.num_qubits(), bond);
    EXPECT_TRUE(chain.apply_instructions(c.instructions()).has_value());
    return chain;
}

SampleList sample(const MPSSimulator& chain, uint32_t shots, uint64_t seed = 1) {
    RandomStream rng = RandomStream::from_seed(seed);
    auto r = chain.measure(shots, rng);
    if (!r) ADD_FAILURE() << r.error().message();
    return r ? *std::move(r) : SampleList{};
}

uint64_t widest_bond(const MPSSimulator& chain) {
    uint64_t w = 0;
    for (const auto& t : chain.tensors) w = std::max(w, t.right_dim);
    return w;
}

TEST(Chain, NewChainIsAllZeros) {
    const MPSSimulator chain(3, 4);
    ASSERT_EQ(chain.tensors.size(), 3u);
    EXPECT_EQ(chain.truncation_error, 0.0);
    const auto dense = dense_amplitudes(chain.tensors);
    ASSERT_EQ(dense.size(), 8u);
    for (size_t b = 0; b < 8; ++b) {
        EXPECT_EQ(dense[b], (Complex{b == 0 ? 1.0 : 0.0, 0.0})) << b;
        EXPECT_EQ(*amplitude_for_basis(chain.tensors, b), dense[b]) << b;
    }
    EXPECT_EQ(*amplitude_for_basis({}, 0), (Complex{1.0, 0.0}));
}

TEST(Chain, PropagateBranchReadsOnePhysicalValue) {
    // left_dim 2, right_dim 2; entry (l, p, r) = 10l + 5p + r + 1.
    MPSTensor t{{}, 2, 2};
    for (int l = 0; l < 2; ++l)
        for (int p = 0; p < 2; ++p)
            for (int r = 0; r < 2; ++r) t.data.push_back({10.0 * l + 5.0 * p + r + 1, 0.0});
    const std::vector<Complex> v{{1, 0}, {0, 1}};
    EXPECT_EQ(propagate_branch(v, t, 1), (std::vector<Complex>{{6, 16}, {7, 17}}));
    // A shorter vector leaves the rest of the bond out; an empty one gives zeros.
    EXPECT_EQ(propagate_branch({{2, 0}}, t, 0), (std::vector<Complex>{{2, 0}, {4, 0}}));
    EXPECT_EQ(propagate_branch({}, t, 0), (std::vector<Complex>{{}, {}}));
}

TEST(Chain, BellPairUnderEveryBondLimit) {
    struct Case {
        uint64_t limit, bond;
        double truncation;
    } cases[] = {{1, 1, 0.5}, {2, 2, 0.0}, {64, 2, 0.0}};
    Circuit bell = make(2);
    bell.h(0).value(), bell.cnot(0, 1).value();
    for (const auto& tc : cases) {
        const MPSSimulator chain = evolved(bell, tc.limit);
        EXPECT_EQ(chain.tensors[0].right_dim, tc.bond) << tc.limit;
        EXPECT_EQ(chain.tensors[1].left_dim, tc.bond) << tc.limit;
        EXPECT_NEAR(chain.truncation_error, tc.truncation, 1e-15) << tc.limit;
        const SampleList s = sample(chain, 1000);
        uint64_t shots = 0;
        for (const auto& [basis, count] : s) {
            EXPECT_TRUE(basis == 0 || basis == 3) << tc.limit;
            shots += count;
        }
        EXPECT_EQ(shots, 1000u);
        // Truncated to one branch, sampling renormalises it into a certainty.
        EXPECT_EQ(s.size(), tc.limit == 1 ? 1u : 2u) << tc.limit;
    }
}

TEST(Chain, RoutedGatesReachTheirQubits) {
    // Both orders, and a gap of one and two sites: the state ends in one basis state.
    struct Case {
        uint64_t n, flip, control, target;
        BasisIndex expected;
    } cases[] = {
        {3, 0, 0, 2, 5}, {3, 2, 2, 0, 5}, {4, 0, 0, 3, 9}, {4, 3, 3, 0, 9}, {4, 3, 3, 1, 10}};
    for (const auto& tc : cases) {
        Circuit c = make(tc.n);
        c.x(tc.flip).value(), c.cnot(tc.control, tc.target).value();
        const MPSSimulator chain = evolved(c, 8);
        for (uint64_t b = 0; b < (uint64_t{1} << tc.n); ++b)
            EXPECT_NEAR(distance(*amplitude_for_basis(chain.tensors, b),
                                 {b == tc.expected ? 1.0 : 0.0, 0.0}),
                        0.0, 1e-14)
                << tc.control << "->" << tc.target << " at " << b;
        const SampleList s = sample(chain, 50);
        ASSERT_EQ(s.size(), 1u);
        EXPECT_TRUE(s[0].first == tc.expected && s[0].second == 50u);
        EXPECT_EQ(widest_bond(chain), 1u);
    }
}

TEST(Chain, UnentanglingGatesKeepBondOne) {
    const std::function<void(Circuit&)> cases[] = {
        [](Circuit& c) { c.cz(0, 1).value(); },
        [](Circuit& c) { c.cnot(0, 1).value(); },
        [](Circuit& c) { c.h(1).value(), c.cnot(0, 1).value(); },  // target already |+>
        [](Circuit& c) { c.h(0).value(), c.swap(0, 1).value(); },
        [](Circuit& c) { c.x(0).value(), c.cz(0, 2).value(), c.rzz(2, 0, 0.7).value(); },
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        Circuit c = make(3);
        cases[i](c);
        const MPSSimulator chain = evolved(c, 16);
        EXPECT_EQ(widest_bond(chain), 1u) << i;
        EXPECT_LT(chain.truncation_error, 1e-24) << i;
    }
}

// Shot by shot with the same stream, qubit k reads 0 when P(0 | the bits
// drawn so far), taken from the exact probabilities, exceeds the site's draw.
std::map<uint64_t, uint64_t> conditional_draws(const std::vector<double>& p, uint64_t n,
                                               uint32_t shots, uint64_t seed) {
    RandomStream rng = RandomStream::from_seed(seed);
    std::map<uint64_t, uint64_t> counts;
    for (uint32_t shot = 0; shot < shots; ++shot) {
        uint64_t prefix = 0;
        for (uint64_t k = 0; k < n; ++k) {
            double p0 = 0.0, p1 = 0.0;
            const uint64_t mask = (uint64_t{1} << k) - 1;
            for (uint64_t b = 0; b < p.size(); ++b)
                if ((b & mask) == prefix) ((b >> k) & 1 ? p1 : p0) += p[b];
            if (!(p0 / std::max(p0 + p1, 1e-12) > rng.uniform())) prefix |= uint64_t{1} << k;
        }
        ++counts[prefix];
    }
    return counts;
}

TEST(Chain, SamplingFollowsTheExactConditionals) {
    struct Case {
        uint64_t n;
        int gates;
    } cases[] = {{2, 10}, {3, 1}, {4, 40}, {6, 120}};
    for (const auto& tc : cases)
        for (uint64_t seed : {3, 4}) {
            Circuit c = random_circuit(tc.n, tc.gates, seed);
            c.ry(0, 1.0).value();  // Schmidt values that differ
            const auto amps = Simulator{}.statevector(c).value();
            std::vector<double> p;
            for (const auto& a : amps) p.push_back(a.norm_sqr());
            auto expected = conditional_draws(p, tc.n, 3000, seed);
            const SampleList s = sample(evolved(c, 64), 3000, seed);
            ASSERT_EQ(s.size(), expected.size()) << tc.n << " qubits, seed " << seed;
            for (size_t i = 0; i < s.size(); ++i) {
                EXPECT_EQ(s[i].second, expected[static_cast<uint64_t>(s[i].first)]) << seed;
                if (i == 0) continue;
                // Counts descending, ties by basis index ascending.
                EXPECT_TRUE(s[i - 1].second > s[i].second ||
                            (s[i - 1].second == s[i].second && s[i - 1].first < s[i].first))
                    << seed << " at " << i;
            }
        }
}

// |a|^2 / sum |a|^2 over a chain's dense amplitudes, scaled by the largest
// magnitude first: a deep truncated chain's amplitudes square below the
// smallest double.
std::vector<double> normalised_probabilities(const MPSSimulator& chain) {
    const auto amps = dense_amplitudes(chain.tensors);
    double top = 0.0;
    for (const auto& a : amps) top = std::max({top, std::fabs(a.re), std::fabs(a.im)});
    EXPECT_GT(top, 0.0);
    std::vector<double> p;
    double norm = 0.0;
    for (const auto& a : amps) {
        p.push_back((a * (1.0 / top)).norm_sqr());
        norm += p.back();
    }
    for (double& x : p) x /= norm;
    return p;
}

// Deep circuits under a small bond limit shrink the chain's norm by many orders
// of magnitude; sampling must still follow the chain's own normalised state.
TEST(Chain, TruncatedDeepChainsSampleTheirNormalisedState) {
    struct Case {
        const char* name;
        Circuit circuit;
        uint64_t bond;
    } cases[] = {
        {"2 qubits, bond 1", random_circuit(2, 90, 11), 1},
        {"8 qubits, bond 2", random_circuit(8, 600, 11), 2},
        {"10 qubits, bond 4", random_circuit(10, 900, 11), 4},
        // The lost weight collects on the last site, far below sqrt(DBL_MIN).
        {"12 qubits, bond 2, 900 layers", random_layers(12, 900, 3), 2},
    };
    for (const auto& tc : cases) {
        const MPSSimulator chain = evolved(tc.circuit, tc.bond);
        const uint64_t n = tc.circuit.num_qubits();
        const auto expected = conditional_draws(normalised_probabilities(chain), n, 2000, 5);
        const SampleList s = sample(chain, 2000, 5);
        ASSERT_EQ(s.size(), expected.size()) << tc.name;
        for (const auto& [basis, count] : s)
            EXPECT_EQ(count, expected.at(static_cast<uint64_t>(basis))) << tc.name;
    }
}

TEST(Chain, SamplingEdgeCases) {
    EXPECT_TRUE(sample(MPSSimulator(2, 2), 0).empty());
    const SampleList none = sample(MPSSimulator(0, 1), 7);
    ASSERT_EQ(none.size(), 1u);
    EXPECT_TRUE(none[0].first == 0 && none[0].second == 7u);
}

TEST(Chain, ErrorsLeaveTheChainUnchanged) {
    const Gate short1{"bad", {{1, 0}, {0, 0}, {0, 0}}, 1};
    const Gate short2{"bad2", {{1, 0}, {0, 0}, {0, 0}, {1, 0}}, 2};
    const Gate wide{"CCX", std::vector<Complex>(64), 3};
    const std::vector<Instruction> conditional = {Instruction::Conditional{{0}, 1, gate::x(), {0}}};
    struct Case {
        const char* message;
        std::function<tesvi_quantum::error::Result<void>(MPSSimulator&)> op;
    } cases[] = {
        {"Simulation error: MPS backend does not support conditional gates",
         [&](MPSSimulator& m) { return m.apply_instructions(conditional); }},
        {"Simulation error: MPS backend does not support 1-qubit gate 'H'",
         [](MPSSimulator& m) {
             return m.apply_instructions({Instruction::Gate{gate::h(), {0, 1}}});
         }},
        {"Simulation error: MPS backend does not support 2-qubit gate 'CNOT'",
         [](MPSSimulator& m) {
             return m.apply_instructions({Instruction::Gate{gate::cnot(), {0}}});
         }},
        {"Simulation error: MPS backend does not support 3-qubit gate 'CCX'",
         [&](MPSSimulator& m) {
             return m.apply_instructions({Instruction::Gate{wide, {0, 1, 2}}});
         }},
        {"Two-qubit gate requires different qubits, got 2 and 2",
         [](MPSSimulator& m) { return m.apply_2q(2, 2, gate::cnot()); }},
        {"Qubit index 5 out of range (circuit has 3 qubits)",
         [](MPSSimulator& m) { return m.apply_2q(0, 5, gate::cnot()); }},
        {"Qubit index 5 out of range (circuit has 3 qubits)",
         [](MPSSimulator& m) { return m.apply_2q(5, 5, gate::h()); }},  // range before the rest
        {"Qubit index 4 out of range (circuit has 3 qubits)",
         [](MPSSimulator& m) { return m.apply_2q(4, 7, gate::cnot()); }},
        {"Simulation error: expected 2-qubit gate, got 'H'",
         [](MPSSimulator& m) { return m.apply_2q(0, 1, gate::h()); }},
        {"Simulation error: gate 'bad2' has 4 matrix entries, expected 16",
         [&](MPSSimulator& m) { return m.apply_2q(2, 0, short2); }},
        {"Qubit index 3 out of range (circuit has 3 qubits)",
         [](MPSSimulator& m) { return m.apply_1q(3, gate::cnot()); }},
        {"Simulation error: expected 1-qubit gate, got 'CNOT'",
         [](MPSSimulator& m) { return m.apply_1q(0, gate::cnot()); }},
        {"Simulation error: gate 'bad' has 3 matrix entries, expected 4",
         [&](MPSSimulator& m) { return m.apply_1q(1, short1); }},
        {"Qubit index 3 out of range (circuit has 3 qubits)",
         [](MPSSimulator& m) { return m.apply_adjacent_2q(2, gate::cnot()); }},
        {"Simulation error: expected 2-qubit gate, got 'H'",
         [](MPSSimulator& m) { return m.apply_adjacent_2q(0, gate::h()); }},
    };
    Circuit prep = make(3);
    prep.h(0).value(), prep.cnot(0, 2).value(), prep.ry(1, 0.4).value();
    for (const auto& tc : cases) {
        MPSSimulator chain = evolved(prep, 4);
        const MPSSimulator before = chain;
        const auto r = tc.op(chain);
        ASSERT_FALSE(r.has_value()) << tc.message;
        EXPECT_EQ(r.error().message(), tc.message);
        EXPECT_TRUE(same_sites(chain.tensors, before.tensors)) << tc.message;
        EXPECT_EQ(chain.truncation_error, before.truncation_error) << tc.message;
    }
}

TEST(Chain, InstructionsBeforeAFailureStayApplied) {
    MPSSimulator chain(2, 2);
    const auto r = chain.apply_instructions(
        {Instruction::Gate{gate::x(), {0}}, Instruction::Measure{0, 0},
         Instruction::Barrier{{0, 1}}, Instruction::Conditional{{0}, 1, gate::x(), {1}},
         Instruction::Gate{gate::x(), {1}}});
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(*amplitude_for_basis(chain.tensors, 1), (Complex{1.0, 0.0}));
}

TEST(Chain, NonFiniteBlocksAreRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Gate huge = Gate::two_qubit(
        "huge", {{inf, 0}, {}, {}, {}, {}, {1, 0}, {}, {}, {}, {}, {1, 0}, {}, {}, {}, {}, {1, 0}});
    const std::function<tesvi_quantum::error::Result<void>(MPSSimulator&)> cases[] = {
        [&](MPSSimulator& m) {
            m.apply_1q(0, gate::rx(nan)).value();
            return m.apply_2q(0, 1, gate::cnot());
        },
        [&](MPSSimulator& m) { return m.apply_2q(2, 1, huge); },
    };
    for (const auto& op : cases) {
        MPSSimulator chain(3, 4);
        chain.apply_1q(1, gate::h()).value();
        const auto r = op(chain);
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error().message(), "Simulation error: MPS SVD failed to compute U");
        EXPECT_EQ(widest_bond(chain), 1u);
        EXPECT_EQ(chain.truncation_error, 0.0);
    }
}

TEST(Chain, NonFiniteSitesAreNotSampled) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Gate huge{"huge", {{1e300, 0}, {}, {}, {1e300, 0}}, 1};
    const std::function<void(MPSSimulator&)> cases[] = {
        [&](MPSSimulator& m) { m.apply_1q(1, gate::rx(nan)).value(); },
        [&](MPSSimulator& m) { m.apply_1q(0, huge).value(), m.apply_1q(0, huge).value(); },
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        MPSSimulator chain(3, 4);
        chain.apply_1q(2, gate::h()).value();
        cases[i](chain);
        RandomStream rng = RandomStream::from_seed(1);
        const auto r = chain.measure(10, rng);
        ASSERT_FALSE(r.has_value()) << i;
        EXPECT_EQ(r.error().message(), "Simulation error: MPS state holds a non-finite amplitude")
            << i;
    }
}

TEST(Chain, BrokenInvariantsFaultInsteadOfReadingAstray) {
    using tesvi_quantum::error::InternalFault;
    auto chain_with = [](size_t site, MPSTensor t) {
        MPSSimulator m(3, 4);
        m.tensors[site] = std::move(t);
        return m;
    };
    const std::function<void()> cases[] = {
        [] { MPSSimulator(3, 0); },
        [] { MPSSimulator(129, 2); },
        [] { MPSSimulator(UINT64_MAX, 2); },
        [] { dense_amplitudes(MPSSimulator(21, 2).tensors); },
        [] {
            propagate_branch({{1, 0}, {1, 0}}, MPSTensor{{{1, 0}, {0, 0}}, 1, 1}, 0);
        },
        [] {
            propagate_branch({{1, 0}}, MPSTensor{{{1, 0}, {0, 0}}, 1, 1}, 2);
        },
        [&] {
            chain_with(1, MPSTensor{{{1, 0}}, 1, 1}).apply_1q(1, gate::x()).value();
        },
        [&] {
            chain_with(1, MPSTensor{std::vector<Complex>(4), 1, 2})
                .apply_2q(1, 2, gate::cz())
                .value();
        },
        [&] {
            chain_with(0, MPSTensor{{}, 0, 1}).apply_2q(0, 1, gate::cz()).value();
        },
        [&] {
            RandomStream rng = RandomStream::from_seed(1);
            (void)chain_with(2, MPSTensor{std::vector<Complex>(4), 2, 1}).measure(1, rng);
        },
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_THROW(cases[i](), InternalFault) << i;
}

TEST(Chain, MemoryBudgetRefusesBeforeAllocating) {
    // Sites 1 and 2 meet over bond 1 but face bonds of 2^14 on their outer
    // sides, so their block would be 2^15 x 2^15 entries.
    constexpr uint64_t W = uint64_t{1} << 14;
    MPSSimulator chain(4, UINT64_MAX);
    chain.tensors = {
        MPSTensor{std::vector<Complex>(2 * W), 1, W}, MPSTensor{std::vector<Complex>(2 * W), W, 1},
        MPSTensor{std::vector<Complex>(2 * W), 1, W}, MPSTensor{std::vector<Complex>(2 * W), W, 1}};
    const auto before = chain.tensors;
    const auto r = chain.apply_adjacent_2q(1, gate::cnot());
    ASSERT_FALSE(r.has_value());
    const uint64_t need = (4 * 2 * W + 12 * 4 * W * W) * 16;
    EXPECT_EQ(r.error().message(), "Insufficient memory for 4-qubit simulation (need " +
                                       std::to_string(need) + " bytes)");
    EXPECT_TRUE(same_sites(chain.tensors, before));
}

TEST(Chain, TruncationBoundsEveryBond) {
    // Six qubits need bonds up to 8; every smaller limit drops weight, and
    // sampling still hands out every shot.
    const Circuit c = random_circuit(6, 150, 17);
    ASSERT_EQ(widest_bond(evolved(c, 64)), 8u);
    for (uint64_t limit : {1, 2, 3, 4, 8}) {
        const MPSSimulator chain = evolved(c, limit);
        for (const auto& t : chain.tensors) EXPECT_LE(t.right_dim, limit);
        if (limit < 8) {
            EXPECT_GT(chain.truncation_error, 1e-6) << limit;
        } else {
            EXPECT_LT(chain.truncation_error, 1e-20);
        }
        uint64_t shots = 0;
        for (const auto& [basis, count] : sample(chain, 500)) shots += count;
        EXPECT_EQ(shots, 500u) << limit;
    }
}

TEST(Chain, DenseExpansionIsAmplitudeForBasis) {
    const Circuit c = random_circuit(7, 80, 5);
    const MPSSimulator chain = evolved(c, 64);
    const auto dense = dense_amplitudes(chain.tensors);
    ASSERT_EQ(dense.size(), 128u);
    for (uint64_t b = 0; b < 128; ++b)
        EXPECT_EQ(dense[b], *amplitude_for_basis(chain.tensors, b)) << b;
}

}  // namespace
