#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <set>

#include "mps_helpers.hpp"
#include "quantum/noise.hpp"
#include "quantum/simulator/simulator.hpp"

namespace {

using namespace mps_test;
using tesvi_quantum::noise::NoiseModel;
using tesvi_quantum::result::QuantumResult;
using tesvi_quantum::simulator::Backend;
using tesvi_quantum::simulator::Simulator;

Simulator on(Backend backend, uint64_t seed = 7) {
    Simulator s{seed, backend, {}, true, false};
    return s;
}

std::set<std::string> keys(const QuantumResult& r) {
    std::set<std::string> k;
    for (const auto& [key, n] : r.counts) k.emplace(key);
    return k;
}

uint64_t total(const QuantumResult& r) {
    uint64_t t = 0;
    for (const auto& [key, n] : r.counts) t += n;
    return t;
}

TEST(MpsRoad, AmplitudesAgreeWithTheStateVector) {
    struct Case {
        uint64_t n;
        int gates;
    } cases[] = {{1, 20}, {2, 40}, {3, 60}, {5, 120}, {7, 200}, {8, 200}};
    for (const auto& tc : cases)
        for (uint64_t seed : {1, 2, 3}) {
            Circuit c = random_circuit(tc.n, tc.gates, seed);
            if (tc.n >= 3) c.toffoli(0, tc.n - 1, 1).value();
            c.measure_all().value();
            const auto exact = on(Backend::StateVector{}).statevector(c).value();
            const auto mps = on(Backend::Mps{64}).statevector(c).value();
            ASSERT_EQ(mps.size(), exact.size());
            double worst = 0.0;
            for (size_t b = 0; b < exact.size(); ++b)
                worst = std::max(worst, distance(mps[b], exact[b]));
            EXPECT_LT(worst, 1e-12) << tc.n << " qubits, seed " << seed;
        }
}

TEST(MpsRoad, KeysAgreeWithTheStateVector) {
    struct Case {
        const char* name;
        uint64_t n;
        std::function<void(Circuit&)> build;
        uint64_t width;
    } cases[] = {
        {"no measurement keys every qubit", 3,
         [](Circuit& c) { c.h(0).value(), c.cnot(0, 2).value(); }, 3},
        {"one of two superposed qubits measured", 2,
         [](Circuit& c) { c.h(0).value(), c.h(1).value(), c.measure(1).value(); }, 1},
        {"qubit measured twice", 2,
         [](Circuit& c) { c.h(0).value(), c.measure(0).value(), c.measure(0).value(); }, 2},
        {"measured list order, not classical bits", 4,
         [](Circuit& c) {
             c.x(3).value(), c.h(1).value(), c.cnot(1, 2).value(), c.measure_into(3, 0).value(),
                 c.barrier({0, 1}).value(), c.measure_into(0, 5), c.measure_into(2, 1);
         },
         3},
    };
    for (const auto& tc : cases) {
        Circuit c = make(tc.n);
        tc.build(c);
        const auto exact = on(Backend::StateVector{}).run(c, 2000).value();
        const auto mps = on(Backend::Mps{8}).run(c, 2000).value();
        EXPECT_EQ(keys(mps), keys(exact)) << tc.name;
        EXPECT_EQ(mps.num_qubits, tc.width) << tc.name;
        EXPECT_EQ(mps.total_shots, 2000u) << tc.name;
        EXPECT_EQ(total(mps), 2000u) << tc.name;
        // A seeded simulator repeats its counts.
        EXPECT_EQ(on(Backend::Mps{8}).run(c, 2000).value(), mps) << tc.name;
    }
}

// The key of basis index b when every qubit is measured in order.
std::string key_of(uint64_t b, uint64_t n) {
    std::string key(n, '0');
    for (uint64_t q = 0; q < n; ++q)
        if ((b >> q) & 1) key[q] = '1';
    return key;
}

// Exact outcome probabilities by key, every qubit measured.
std::map<std::string, double> exact_distribution(const Circuit& c) {
    std::map<std::string, double> p;
    const auto amps = on(Backend::StateVector{}).statevector(c).value();
    for (uint64_t b = 0; b < amps.size(); ++b)
        if (amps[b].norm_sqr() > 1e-12) p[key_of(b, c.num_qubits())] = amps[b].norm_sqr();
    return p;
}

// Blocks of 16 columns or more whose singular values repeat (every SWAP of
// the routing gives all ones) must still split into orthonormal factors.
TEST(MpsRoad, RepeatedSingularValuesKeepTheSupport) {
    Circuit pairs = make(8);
    for (uint64_t i = 0; i < 4; ++i) pairs.h(i).value();
    for (uint64_t i = 0; i < 4; ++i) pairs.cnot(i, i + 4).value();
    pairs.cnot(3, 7).value();
    Circuit swapped = make(10);
    for (uint64_t i = 0; i < 5; ++i) swapped.h(i).value();
    for (uint64_t i = 0; i < 5; ++i) swapped.cnot(i, i + 5).value();
    swapped.swap(0, 9).value();
    struct Case {
        const char* name;
        const Circuit* circuit;
        uint64_t bond;
        uint32_t shots;
    } cases[] = {
        {"four pairs, one undone", &pairs, 1024, 20000},
        {"five pairs, one swapped end to end, bond 32", &swapped, 32, 2000},
        {"five pairs, one swapped end to end, bond 1024", &swapped, 1024, 2000},
    };
    for (const auto& tc : cases) {
        const auto exact = exact_distribution(*tc.circuit);
        const auto r = on(Backend::Mps{tc.bond}, 1).run(*tc.circuit, tc.shots);
        ASSERT_TRUE(r.has_value()) << tc.name << ": " << r.error().message();
        std::set<std::string> support;
        for (const auto& [key, p] : exact) support.insert(key);
        EXPECT_EQ(keys(*r), support) << tc.name;
    }
}

// Sampled from the exact amplitudes, the total variation distance of N shots
// exceeds its bound 1/2 sum sqrt(p (1 - p) / N) on the mean by 0.05 with
// probability below exp(-2 N 0.05^2) (McDiarmid), e^-20 at N = 4000.
TEST(MpsRoad, RandomCircuitsFromNineQubitsFollowTheStateVector) {
    constexpr uint32_t shots = 4000;
    struct Case {
        uint64_t n, seed;
    } cases[] = {{9, 1}, {10, 2}, {11, 1}, {12, 2}};
    for (const auto [n, seed] : cases) {
        const Circuit c = random_circuit(n, 20 * static_cast<int>(n), seed);
        const auto exact = on(Backend::StateVector{}).statevector(c).value();
        const auto mps = on(Backend::Mps{1024}).statevector(c);
        ASSERT_TRUE(mps.has_value()) << n << " qubits: " << mps.error().message();
        double worst = 0.0;
        for (size_t b = 0; b < exact.size(); ++b)
            worst = std::max(worst, distance((*mps)[b], exact[b]));
        EXPECT_LT(worst, 1e-10) << n << " qubits, seed " << seed;

        const auto r = on(Backend::Mps{1024}, seed).run(c, shots);
        ASSERT_TRUE(r.has_value()) << n << " qubits: " << r.error().message();
        double tv = 0.0, bound = 0.0;
        std::map<std::string, double> p;
        for (uint64_t b = 0; b < exact.size(); ++b) p[key_of(b, n)] = exact[b].norm_sqr();
        for (const auto& [key, q] : p) {
            const auto it = r->counts.find(key);
            const double seen = it == r->counts.end() ? 0.0 : it->second / double{shots};
            tv += std::fabs(seen - q) / 2;
            bound += std::sqrt(q * (1 - q) / shots) / 2;
        }
        EXPECT_EQ(total(*r), shots);
        EXPECT_LT(tv, bound + 0.05) << n << " qubits, seed " << seed;
    }
}

// A circuit followed by its inverse leaves |0...0>: every shot reads zeros
// however far apart its gates act, as long as no bond is truncated.
TEST(MpsRoad, MirroredCircuitsReturnToZero) {
    struct Case {
        uint64_t n;
        int gates;
        uint64_t bond;
    } cases[] = {{40, 120, 1024}, {128, 200, 1024}};
    for (const auto& tc : cases) {
        const Circuit c = mirrored(random_circuit(tc.n, tc.gates, tc.n));
        const auto r = on(Backend::Mps{tc.bond}).run(c, 200);
        ASSERT_TRUE(r.has_value()) << tc.n << " qubits: " << r.error().message();
        EXPECT_EQ(keys(*r), (std::set<std::string>{std::string(tc.n, '0')})) << tc.n << " qubits";
    }
}

// Deep layers of far-apart CNOTs at a small bond limit keep every SWAP block
// at the limit; the run must finish and hand out every shot.
TEST(MpsRoad, DeepTruncatedLayersRun) {
    const auto r = on(Backend::Mps{8}).run(random_layers(24, 20, 9), 500);
    ASSERT_TRUE(r.has_value()) << r.error().message();
    EXPECT_EQ(total(*r), 500u);
}

// GHZ over qubits 0 .. span - 1 of an n-qubit register.
Circuit ghz(uint64_t n, uint64_t span = 0) {
    Circuit c = make(n);
    c.h(0).value();
    for (uint64_t q = 1; q < (span ? span : n); ++q) c.cnot(q - 1, q).value();
    return c;
}

TEST(MpsRoad, AutoTakesTheChainFromTwentyOneQubits) {
    const Simulator automatic = on(Backend::Auto{});
    Simulator noisy = automatic;
    noisy.noise = NoiseModel::uniform(0.01, 0.01, 0.0);

    // 20 qubits stay on the state vector: dense output and noisy runs work.
    const Circuit twenty = ghz(20);
    const auto v = automatic.statevector(twenty).value();
    ASSERT_EQ(v.size(), size_t{1} << 20);
    EXPECT_NEAR(v[0].re, std::sqrt(0.5), 1e-12);
    EXPECT_TRUE(noisy.run(twenty, 1).has_value());

    // 21 qubits take the chain with bond limit 64.
    const Circuit wide = ghz(21);
    EXPECT_EQ(automatic.statevector(wide).error().message(),
              "Circuit exceeds maximum qubit count (21 > 20)");
    EXPECT_EQ(noisy.run(wide, 1).error().message(),
              "Simulation error: MPS backend does not yet support noise models");
    const auto r = automatic.run(wide, 300).value();
    EXPECT_EQ(keys(r), (std::set<std::string>{std::string(21, '0'), std::string(21, '1')}));
    EXPECT_EQ(r.num_qubits, 21u);
}

TEST(MpsRoad, ChecksComeInOrder) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Circuit mid = make(2);
    mid.measure(0).value(), mid.h(0).value();
    Circuit conditional = make(2);
    conditional.measure(0).value(),
        conditional.conditional_gate({0}, 1, tesvi_quantum::gate::x(), {1}).value();
    Circuit broken = ghz(21);
    broken.rx(3, nan).value(), broken.cnot(3, 4).value();
    struct Case {
        const char* name;
        Backend backend;
        bool noisy;
        const Circuit* circuit;
        const char* run;
        const char* statevector;
    } cases[] = {
        {"noise before bond 0", Backend::Mps{0}, true, &mid,
         "Simulation error: MPS backend does not yet support noise models",
         "Simulation error: statevector is unavailable when noise is enabled"},
        {"mid-circuit before bond 0", Backend::Mps{0}, false, &mid,
         "Simulation error: MPS backend does not support mid-circuit measurements",
         "Simulation error: statevector is unavailable for circuits with mid-circuit measurements"},
        {"conditional before bond 0", Backend::Mps{0}, false, &conditional,
         "Simulation error: MPS backend does not support mid-circuit measurements",
         "Simulation error: statevector is unavailable for circuits with mid-circuit measurements"},
        {"bond 0", Backend::Mps{0}, false, &broken,
         "Simulation error: MPS backend requires max_bond_dim >= 1",
         "Simulation error: MPS backend requires max_bond_dim >= 1"},
        {"the circuit's own failure before the dense limit", Backend::Auto{}, false, &broken,
         "Simulation error: MPS SVD failed to compute U",
         "Simulation error: MPS SVD failed to compute U"},
    };
    for (const auto& tc : cases) {
        Simulator s = on(tc.backend);
        if (tc.noisy) s.noise = NoiseModel::ibm_like();
        EXPECT_EQ(s.run(*tc.circuit, 0).error().message(),
                  "Shot count must be greater than zero, got 0")
            << tc.name;
        EXPECT_EQ(s.run(*tc.circuit, 10).error().message(), tc.run) << tc.name;
        EXPECT_EQ(s.statevector(*tc.circuit).error().message(), tc.statevector) << tc.name;
    }
}

TEST(MpsRoad, WideCircuitsKeepEveryQubitApart) {
    // GHZ over qubits 0..63, qubit 100 flipped, 127 left alone: keys must tell
    // qubits beyond bit 63 apart. A bond limit of 2^64 - 1 allocates nothing extra.
    Circuit c = ghz(128, 64);
    c.custom_gate(tesvi_quantum::gate::x(), {100}).value();
    c.measure(100).value(), c.measure(127).value(), c.measure(0).value(), c.measure(63).value();
    const Simulator s = on(Backend::Mps{UINT64_MAX});
    const auto r = s.run(c, 400).value();
    EXPECT_EQ(keys(r), (std::set<std::string>{"1000", "1011"}));
    EXPECT_EQ(total(r), 400u);
    EXPECT_EQ(s.statevector(c).error().message(), "Circuit exceeds maximum qubit count (128 > 20)");

    const auto all = s.run(ghz(128), 100).value();
    EXPECT_EQ(keys(all), (std::set<std::string>{std::string(128, '0'), std::string(128, '1')}));
}

}  // namespace
