#include "quantum/simulator/simulator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>

#include "quantum/simulator/pool.hpp"

namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::noise::NoiseModel;
using tesvi_quantum::simulator::Backend;
using tesvi_quantum::simulator::sample_index;
using tesvi_quantum::simulator::Simulator;

Simulator seeded(uint64_t seed) {
    return Simulator{seed, {}, {}, true, false};
}

std::vector<std::string> keys(const tesvi_quantum::result::QuantumResult& r) {
    std::vector<std::string> k;
    for (const auto& [key, n] : r.counts) k.emplace_back(key);
    std::sort(k.begin(), k.end());
    return k;
}

uint64_t total(const tesvi_quantum::result::QuantumResult& r) {
    uint64_t t = 0;
    for (const auto& [key, n] : r.counts) t += n;
    return t;
}

// The bisection must pick exactly what the left-to-right walk picks.
uint64_t walk(const std::vector<double>& p, double u) {
    double sum = 0.0;
    for (size_t b = 0; b < p.size(); ++b)
        if ((sum += p[b]) > u) return b;
    return p.size() - 1;
}

TEST(Simulator, ZeroShotsIsRefused) {
    auto c = Circuit::create(1).value();
    EXPECT_EQ(seeded(1).run(c, 0).error().message(), "Shot count must be greater than zero, got 0");
}

TEST(Simulator, KeysFollowTheMeasuredList) {
    struct Case {
        const char* name;
        void (*build)(Circuit&);
        std::vector<std::string> keys;
        uint64_t width;
    } cases[] = {
        {"no measurement: every qubit, qubit 0 leftmost",
         [](Circuit& c) { c.h(0).value(); },
         {"00", "10"},
         2},
        {"only qubit 1 measured",
         [](Circuit& c) { c.x(1).value(), c.measure(1).value(); },
         {"1"},
         1},
        {"qubit 0 measured twice",
         [](Circuit& c) { c.h(0).value(), c.measure(0).value(), c.measure(0).value(); },
         {"00", "11"},
         2},
        {"measure, barrier, measure stays exact",
         [](Circuit& c) {
             c.h(0).value(), c.measure(0).value(), c.barrier({0, 1}).value(), c.measure(1).value();
         },
         {"00", "10"},
         2},
    };
    for (const auto& tc : cases) {
        auto c = Circuit::create(2).value();
        tc.build(c);
        auto r = seeded(5).run(c, 400).value();
        EXPECT_EQ(keys(r), tc.keys) << tc.name;
        EXPECT_EQ(r.num_qubits, tc.width) << tc.name;
        EXPECT_EQ(total(r), 400u) << tc.name;
    }
}

// Keys wider than a word of characters, measured in and out of qubit order,
// on both roads that write keys from basis indices.
TEST(Simulator, WideKeysOnEveryRoad) {
    constexpr uint64_t N = 19;
    const std::vector<uint64_t> set = {0, 3, 7, 8, 9, 15, 18};
    struct Case {
        const char* name;
        std::vector<uint64_t> measured;  // empty: no measurement
    } cases[] = {
        {"no measurement", {}},
        {"all in order", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}},
        {"all reversed", {18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
        {"some, one twice", {9, 2, 18, 0, 9, 7, 1, 8, 15, 3}},
    };
    for (const auto& tc : cases) {
        auto c = Circuit::create(N).value();
        for (uint64_t q : set) c.x(q).value();
        for (uint64_t q : tc.measured) c.measure(q).value();
        std::string want;
        for (uint64_t q = 0; q < N; ++q)
            if (tc.measured.empty()) want += std::count(set.begin(), set.end(), q) ? '1' : '0';
        for (uint64_t q : tc.measured) want += std::count(set.begin(), set.end(), q) ? '1' : '0';
        for (const Backend backend : {Backend{Backend::StateVector{}}, Backend{Backend::Mps{4}}}) {
            const auto r = Simulator{7, backend, {}, true, false}.run(c, 10).value();
            EXPECT_EQ(keys(r), std::vector<std::string>{want}) << tc.name;
        }
    }
}

TEST(Simulator, GateAfterMeasurementTakesTheTrajectoryRoad) {
    // X, measure into bit 1 of a two-bit register: keys follow the classical register.
    auto c = Circuit::create(1).value();
    c.measure_into(0, 1).value();
    c.x(0).value();
    c.measure_into(0, 0).value();
    auto r = seeded(3).run(c, 50).value();
    EXPECT_EQ(keys(r), std::vector<std::string>{"10"});
    EXPECT_EQ(r.num_qubits, 2u);
}

TEST(Simulator, SeedsReproduceAndEntropyVaries) {
    auto c = Circuit::create(3).value();
    c.h(0).value(), c.h(1).value(), c.h(2).value();
    const Simulator a = seeded(42), b = seeded(42);
    auto r1 = a.run(c, 1000).value(), r2 = a.run(c, 1000).value(), r3 = b.run(c, 1000).value();
    for (const auto& [k, n] : r1.counts) {
        EXPECT_EQ(r2.counts.at(k), n);
        EXPECT_EQ(r3.counts.at(k), n);
    }
    Simulator fresh{};
    auto e1 = fresh.run(c, 1000).value(), e2 = fresh.run(c, 1000).value();
    bool differ = false;
    for (const auto& [k, n] : e1.counts) differ |= e2.counts[k] != n;
    EXPECT_TRUE(differ);
}

TEST(Simulator, ZeroRateNoiseIsIdeal) {
    Simulator s = seeded(9);
    s.noise = NoiseModel::uniform(0, 0, 0);
    auto c = Circuit::create(2).value();
    c.h(0).value();
    // The exact road keys every qubit when nothing is measured; the trajectory road would give "".
    EXPECT_EQ(keys(s.run(c, 10).value()), (std::vector<std::string>{"00", "10"}));
}

TEST(Simulator, SplitStorageGivesTheSameKeys) {
    auto c = Circuit::create(3).value();
    c.h(0).value(), c.cnot(0, 1).value(), c.measure(2).value(), c.measure(0).value();
    Simulator aos = seeded(11), soa = seeded(11);
    soa.use_soa = true;
    auto ra = aos.run(c, 300).value(), rs = soa.run(c, 300).value();
    EXPECT_EQ(keys(ra), keys(rs));
    EXPECT_EQ(rs.num_qubits, 2u);
    auto va = aos.statevector(c).value(), vs = soa.statevector(c).value();
    ASSERT_EQ(va.size(), vs.size());
    for (size_t i = 0; i < va.size(); ++i) EXPECT_NEAR(va[i].re, vs[i].re, 1e-15);
}

TEST(Simulator, StatevectorRefusals) {
    struct Case {
        const char* name;
        void (*build)(Circuit&);
        bool noisy;
        const char* message;
    } cases[] = {
        {"noise", [](Circuit& c) { c.h(0).value(); }, true,
         "Simulation error: statevector is unavailable when noise is enabled"},
        {"conditional",
         [](Circuit& c) {
             c.measure(0).value(),
                 c.conditional_gate({0}, 1, tesvi_quantum::gate::x(), {0}).value();
         },
         false,
         "Simulation error: statevector is unavailable for circuits with mid-circuit measurements"},
        {"gate after measure", [](Circuit& c) { c.measure(0).value(), c.h(0).value(); }, false,
         "Simulation error: statevector is unavailable for circuits with mid-circuit measurements"},
    };
    for (const auto& tc : cases) {
        auto c = Circuit::create(1).value();
        tc.build(c);
        Simulator s = seeded(1);
        if (tc.noisy) s.noise = NoiseModel::ibm_like();
        EXPECT_EQ(s.statevector(c).error().message(), tc.message) << tc.name;
    }
}

TEST(Simulator, StatevectorIgnoresTrailingMeasurements) {
    auto c = Circuit::create(2).value();
    c.h(0).value(), c.cnot(0, 1).value(), c.measure_all().value();
    auto v = seeded(1).statevector(c).value();
    EXPECT_EQ(v[0].re, 0.7071067811865476);
    EXPECT_EQ(v[3].re, 0.7071067811865476);
}

TEST(Simulator, MatrixProductStateRoadChecks) {
    auto c = Circuit::create(2).value();
    c.h(0).value();
    Simulator s = seeded(1);
    s.backend = Backend::Mps{0};
    s.noise = NoiseModel::uniform(0.1, 0, 0);
    EXPECT_EQ(s.run(c, 1).error().message(),
              "Simulation error: MPS backend does not yet support noise models");
    s.noise = NoiseModel::ideal();
    EXPECT_EQ(s.run(c, 1).error().message(),
              "Simulation error: MPS backend requires max_bond_dim >= 1");
    // Auto keeps 20 qubits on the state vector.
    s.backend = Backend::Auto{};
    auto wide = Circuit::create(20).value();
    EXPECT_TRUE(s.run(wide, 1).has_value());
}

TEST(Simulator, HugeRegistersFailBeforeSimulating) {
    for (uint64_t n : {60, 64, 128}) {
        auto c = Circuit::create(n).value();
        c.h(0).value();
        auto r = seeded(1).run(c, 1);
        EXPECT_EQ(r.error().message(), "Insufficient memory for " + std::to_string(n) +
                                           "-qubit simulation (need 18446744073709551615 bytes)");
        c.measure(0).value(), c.h(0).value();  // now the trajectory road
        EXPECT_TRUE(
            seeded(1).run(c, 1).error().is<tesvi_quantum::error::TesviError::InsufficientMemory>());
        EXPECT_TRUE(seeded(1)
                        .statevector(Circuit::create(n).value())
                        .error()
                        .is<tesvi_quantum::error::TesviError::InsufficientMemory>());
    }
}

TEST(Simulator, RefusedAllocationIsInsufficientMemory) {
    // 2^45 amplitudes (512 TiB) cannot be had on any machine this runs on.
    auto c = Circuit::create(45).value();
    EXPECT_EQ(seeded(1).statevector(c).error().message(),
              "Insufficient memory for 45-qubit simulation (need 562949953421312 bytes)");
}

// Whole runs: the counts equal those of drawing every shot in order and walking the sums.
TEST(Sampling, RunMatchesShotByShotWalk) {
    auto ghz = Circuit::create(4).value();
    ghz.h(0).value(), ghz.ry(1, 0.3).value(), ghz.cnot(0, 2).value(), ghz.rx(3, 2.2).value(),
        ghz.measure(3).value(), ghz.measure(1).value();
    for (uint64_t seed : {0, 7, 12345}) {
        const Simulator sim = seeded(seed);
        auto amps = sim.statevector(ghz).value();
        std::vector<double> p;
        for (const auto& a : amps) p.push_back(a.norm_sqr());
        tesvi_quantum::simulator::RandomStream rng =
            tesvi_quantum::simulator::RandomStream::from_seed(seed);
        std::map<std::string, uint32_t> expected;
        for (int shot = 0; shot < 5000; ++shot) {
            const uint64_t b = walk(p, rng.uniform());
            expected[std::string(1, "01"[(b >> 3) & 1]) + "01"[(b >> 1) & 1]]++;
        }
        auto r = sim.run(ghz, 5000).value();
        std::map<std::string, uint32_t> got(r.counts.begin(), r.counts.end());
        EXPECT_EQ(got, expected) << seed;
    }
}

// More distinct draws than one batch of keys holds: the keys go into the map
// in several sorted batches, the same key in more than one, and every count
// must still be the shot-by-shot search's.
TEST(Sampling, ManyDistinctKeysCountLikeTheSearch) {
    const uint64_t n = 20;
    const uint32_t shots = 2000000;
    auto c = Circuit::create(n).value();
    for (uint64_t q = 0; q < n; ++q) c.ry(q, 1.45 + 0.01 * static_cast<double>(q)).value();
    // Serial: a pool started here would already be sized in the worker-count tests' children.
    const Simulator sim{uint64_t{3}, {}, {}, false, false};
    const auto amplitudes = sim.statevector(c).value();
    std::vector<double> cum;
    double sum = 0.0;
    for (const auto& a : amplitudes) cum.push_back(sum = sum + a.norm_sqr());
    auto rng = tesvi_quantum::simulator::RandomStream::from_seed(3);
    std::vector<uint32_t> expected(cum.size());
    for (uint32_t shot = 0; shot < shots; ++shot)
        ++expected[sample_index(cum, cum.size(), rng.uniform())];
    const auto r = sim.run(c, shots).value();
    size_t seen = 0;
    for (uint64_t b = 0; b < cum.size(); ++b) {
        if (!expected[b]) continue;
        std::string key(n, '0');
        for (uint64_t q = 0; q < n; ++q) key[q] = "01"[(b >> q) & 1];
        const auto it = r.counts.find(key);
        ASSERT_NE(it, r.counts.end()) << key;
        EXPECT_EQ(it->second, expected[b]) << key;
        ++seen;
    }
    EXPECT_EQ(seen, r.counts.size());
    EXPECT_GT(seen, size_t{1} << 19);
}

TEST(Sampling, BisectionMatchesTheWalk) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<std::vector<double>> tables = {
        {0.5, 0.5},
        {0.0, 0.25, 0.0, 0.0, 0.75},
        {0.1, 0.2, 0.3},         // sums to below 1: large u falls through to the last index
        {0.25, nan, 0.5, 0.25},  // NaN from index 1 on
        {nan, 1.0},
        {0.0, 0.0, 0.0, 0.0},
        {0.3, 0.0, 0.0, 0.7},  // equal sums: the first one above u wins
    };
    const double us[] = {0.0, 1e-17, 0.1, 0.25, 0.3, 0.5, 0.6, 0.75, 0.999999, 1.0 - 0x1p-53};
    for (const auto& p : tables) {
        std::vector<double> cum(p.size());
        double sum = 0.0;
        size_t valid = p.size();
        for (size_t b = 0; b < p.size(); ++b) {
            cum[b] = sum = sum + p[b];
            if (std::isnan(sum) && valid == p.size()) valid = b;
        }
        for (double u : us) EXPECT_EQ(sample_index(cum, valid, u), walk(p, u)) << u;
    }
}

TEST(Pool, WorkerCountFromTheEnvironment) {
    const size_t fallback = [] {
        unsetenv("RAYON_NUM_THREADS");
        unsetenv("RAYON_RS_NUM_CPUS");
        return tesvi_quantum::simulator::pool::default_num_threads();
    }();
    EXPECT_GE(fallback, 1u);
    struct Case {
        const char* num_threads;  // nullptr: unset
        const char* rs_num_cpus;
        size_t expected;  // 0: the machine's default
    } cases[] = {
        {"3", "5", 3},     {"0", "5", 0},         {nullptr, "5", 5},
        {"x", "5", 5},     {"-2", "5", 5},        {nullptr, "0", 0},
        {nullptr, "y", 0}, {nullptr, nullptr, 0}, {"+4", nullptr, 4},
    };
    for (const auto& c : cases) {
        c.num_threads ? setenv("RAYON_NUM_THREADS", c.num_threads, 1)
                      : unsetenv("RAYON_NUM_THREADS");
        c.rs_num_cpus ? setenv("RAYON_RS_NUM_CPUS", c.rs_num_cpus, 1)
                      : unsetenv("RAYON_RS_NUM_CPUS");
        EXPECT_EQ(tesvi_quantum::simulator::pool::default_num_threads(),
                  c.expected ? c.expected : fallback)
            << (c.num_threads ? c.num_threads : "unset") << " / "
            << (c.rs_num_cpus ? c.rs_num_cpus : "unset");
    }
    unsetenv("RAYON_NUM_THREADS");
    unsetenv("RAYON_RS_NUM_CPUS");
}

}  // namespace

namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::simulator::Simulator;

// A non-unitary gate leaves total probability below 1: draws above it fall
// through to the last index, exactly as the shot-by-shot walk does.
TEST(Sampling, ShortTotalProbabilityFallsToTheLastIndex) {
    auto c = Circuit::create(1).value();
    const tesvi_quantum::complex::Complex half{0.5, 0}, zero{};
    c.custom_gate(tesvi_quantum::gate::Gate::single("half", {half, zero, zero, half}), {0}).value();
    const Simulator sim{uint64_t{3}};
    auto r = sim.run(c, 1000).value();
    tesvi_quantum::simulator::RandomStream rng =
        tesvi_quantum::simulator::RandomStream::from_seed(3);
    uint32_t zeros = 0;
    for (int i = 0; i < 1000; ++i) zeros += rng.uniform() < 0.25;
    EXPECT_EQ(r.counts["0"], zeros);
    EXPECT_EQ(r.counts["1"], 1000 - zeros);
}

TEST(Simulator, ClassicalRegisterBound) {
    auto c = Circuit::create(1).value();
    EXPECT_EQ(c.measure_into(0, 65536).error().message(),
              "Simulation error: classical bit 65536 out of range (at most 65536 classical bits)");
    EXPECT_EQ(c.measure_into(0, UINT64_MAX).error().message(),
              "Simulation error: classical bit 18446744073709551615 out of range (at most 65536 "
              "classical bits)");
    EXPECT_EQ(c.num_classical_bits(), 0u);
    ASSERT_TRUE(c.measure_into(0, 65535));
    c.x(0).value();  // trajectory road over the widest register
    auto r = Simulator{uint64_t{1}}.run(c, 2).value();
    EXPECT_EQ(r.num_qubits, 65536u);
}

TEST(Simulator, HandMadeGatesWithShortMatricesAreRefused) {
    auto c = Circuit::create(2).value();
    EXPECT_EQ(c.custom_gate(tesvi_quantum::gate::Gate{}, {0}).error().message(),
              "Simulation error: gate '' has 0 matrix entries, expected 4");
    tesvi_quantum::gate::Gate short2 = tesvi_quantum::gate::cnot();
    short2.matrix.resize(4);
    c.measure(0).value();
    EXPECT_EQ(c.conditional_gate({0}, 1, short2, {0, 1}).error().message(),
              "Simulation error: gate 'CNOT' has 4 matrix entries, expected 16");
    EXPECT_EQ(c.instructions().size(), 1u);
}

}  // namespace
