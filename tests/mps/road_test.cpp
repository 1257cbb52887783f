#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
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
    for (const auto& [key, n] : r.counts) k.insert(key);
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
            if (tc.n >= 3) c.toffoli(0, tc.n - 1, 1);
            c.measure_all();
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
        {"no measurement keys every qubit", 3, [](Circuit& c) { c.h(0), c.cnot(0, 2); }, 3},
        {"one of two superposed qubits measured", 2,
         [](Circuit& c) { c.h(0), c.h(1), c.measure(1); }, 1},
        {"qubit measured twice", 2, [](Circuit& c) { c.h(0), c.measure(0), c.measure(0); }, 2},
        {"measured list order, not classical bits", 4,
         [](Circuit& c) {
             c.x(3), c.h(1), c.cnot(1, 2), c.measure_into(3, 0), c.barrier({0, 1}),
                 c.measure_into(0, 5), c.measure_into(2, 1);
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
        const auto again = on(Backend::Mps{8}).run(c, 2000).value();
        for (const auto& [key, n] : mps.counts) EXPECT_EQ(again.counts.at(key), n) << tc.name;
    }
}

// GHZ over qubits 0 .. span - 1 of an n-qubit register.
Circuit ghz(uint64_t n, uint64_t span = 0) {
    Circuit c = make(n);
    c.h(0);
    for (uint64_t q = 1; q < (span ? span : n); ++q) c.cnot(q - 1, q);
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
    mid.measure(0), mid.h(0);
    Circuit conditional = make(2);
    conditional.measure(0), conditional.conditional_gate({0}, 1, tesvi_quantum::gate::x(), {1});
    Circuit broken = ghz(21);
    broken.rx(3, nan), broken.cnot(3, 4);
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
    c.custom_gate(tesvi_quantum::gate::x(), {100});
    c.measure(100), c.measure(127), c.measure(0), c.measure(63);
    const Simulator s = on(Backend::Mps{UINT64_MAX});
    const auto r = s.run(c, 400).value();
    EXPECT_EQ(keys(r), (std::set<std::string>{"1000", "1011"}));
    EXPECT_EQ(total(r), 400u);
    EXPECT_EQ(s.statevector(c).error().message(), "Circuit exceeds maximum qubit count (128 > 20)");

    const auto all = s.run(ghz(128), 100).value();
    EXPECT_EQ(keys(all), (std::set<std::string>{std::string(128, '0'), std::string(128, '1')}));
}

}  // namespace
