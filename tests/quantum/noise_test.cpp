#include "quantum/noise.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "quantum/simulator/simulator.hpp"
#include "quantum/simulator/trajectory.hpp"

namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::complex::Complex;
using tesvi_quantum::noise::NoiseChannel;
using tesvi_quantum::noise::NoiseModel;
using tesvi_quantum::simulator::RandomStream;
using tesvi_quantum::simulator::Simulator;
using tesvi_quantum::simulator::StateArray;
using tesvi_quantum::simulator::trajectory::apply_channels_to_qubit;
using tesvi_quantum::simulator::trajectory::run_shot_mode;
using Kind = NoiseChannel::Kind;

std::vector<double> params(const std::vector<NoiseChannel>& cs) {
    std::vector<double> p;
    for (const auto& c : cs) p.push_back(c.parameter);
    return p;
}

TEST(NoiseModel, PresetsGiveTheHardwareFigures) {
    const NoiseModel ibm = NoiseModel::ibm_like(), ionq = NoiseModel::ionq_like();
    EXPECT_EQ(
        params(ibm.single_qubit_channels),
        (std::vector<double>{0.0010000000000000009, 0.000999500166624978, 0.0012492190754190835}));
    EXPECT_EQ(
        params(ibm.two_qubit_channels),
        (std::vector<double>{0.010000000000000009, 0.000999500166624978, 0.0012492190754190835}));
    EXPECT_EQ(params(ibm.measurement_channels), (std::vector<double>{0.020000000000000018}));
    EXPECT_EQ(params(ibm.idle_channels),
              (std::vector<double>{0.000499750083312489, 0.0006246095377095418}));
    EXPECT_EQ(params(ionq.single_qubit_channels),
              (std::vector<double>{0.00029999999999996696, 9.999500016666385e-05,
                                   9.999500016666385e-05}));
    EXPECT_EQ(
        params(ionq.two_qubit_channels),
        (std::vector<double>{0.0050000000000000044, 9.999500016666385e-05, 9.999500016666385e-05}));
    EXPECT_EQ(params(ionq.measurement_channels), (std::vector<double>{0.0040000000000000036}));
    EXPECT_EQ(params(ionq.idle_channels),
              (std::vector<double>{4.9997500083331925e-05, 4.9997500083331925e-05}));
    EXPECT_EQ(ibm.single_qubit_channels[1].kind, Kind::AmplitudeDamping);
    EXPECT_EQ(ibm.idle_channels[1].kind, Kind::PhaseDamping);
}

TEST(NoiseModel, ConstructorsClampAndIdealness) {
    const NoiseModel u = NoiseModel::uniform(2.0, -1.0, 0.5);
    EXPECT_EQ(params(u.single_qubit_channels), std::vector<double>{1.0});
    EXPECT_EQ(params(u.two_qubit_channels), std::vector<double>{0.0});
    EXPECT_EQ(params(u.measurement_channels), std::vector<double>{0.5});
    EXPECT_TRUE(u.idle_channels.empty());

    EXPECT_TRUE(NoiseModel::uniform(0, 0, 0).is_ideal());
    EXPECT_FALSE(NoiseModel::uniform(0, 0, 1).is_ideal());
    EXPECT_TRUE((NoiseModel{{NoiseChannel::BitFlip(-0.5)}, {}, {}, {}}.is_ideal()));
    EXPECT_TRUE((NoiseModel{{NoiseChannel::BitFlip(NAN)}, {}, {}, {}}.is_ideal()));

    const NoiseModel no_t1 = NoiseModel::from_hardware(0, 50, 100, 1, 1, 1);
    EXPECT_EQ(no_t1.single_qubit_channels[1].parameter, 1.0);
    EXPECT_EQ(no_t1.two_qubit_channels[1].parameter, 1.0);
    EXPECT_EQ(no_t1.idle_channels[0].parameter, 0.5);
    const NoiseModel negative_time = NoiseModel::from_hardware(100, 80, -5, 1, 1, 1);
    EXPECT_EQ(negative_time.single_qubit_channels[1].parameter, 0.0);
    EXPECT_EQ(negative_time.single_qubit_channels[2].parameter, 0.0);
    // A rate that is not a number is stored as no noise.
    EXPECT_EQ(NoiseModel::uniform(NAN, 0, 0).single_qubit_channels[0].parameter, 0.0);
}

TEST(AmplitudeDamping, FullDampingRelaxesOneAndKeepsZero) {
    const std::vector<NoiseChannel> full = {NoiseChannel::AmplitudeDamping(1.0)};
    for (uint64_t seed = 0; seed < 20; ++seed) {
        RandomStream rng = RandomStream::from_seed(seed);
        StateArray<Complex> one = {{0, 0}, {1, 0}}, zero = {{1, 0}, {0, 0}};
        ASSERT_TRUE(apply_channels_to_qubit(one, 0, full, rng, false));
        EXPECT_EQ(one, (StateArray<Complex>{{1, 0}, {0, 0}}));
        ASSERT_TRUE(apply_channels_to_qubit(zero, 0, full, rng, false));
        EXPECT_EQ(zero, (StateArray<Complex>{{1, 0}, {0, 0}}));
    }
}

// How many stream words a channel list takes, against the documented accounting.
TEST(Channels, DrawAccounting) {
    struct Case {
        NoiseChannel channel;
        size_t draws;  // 64-bit draws
    } cases[] = {
        {NoiseChannel::ReadoutError(1.0), 0},     {NoiseChannel::AmplitudeDamping(0.0), 0},
        {NoiseChannel::AmplitudeDamping(0.5), 1}, {NoiseChannel::PhaseDamping(0.0), 1},
        {NoiseChannel::BitFlip(0.0), 1},          {NoiseChannel::PhaseFlip(0.3), 1},
        {NoiseChannel::Depolarizing(0.0), 1},
    };
    for (const auto& c : cases) {
        RandomStream rng = RandomStream::from_seed(77), probe = RandomStream::from_seed(77);
        StateArray<Complex> s = {{0.6, 0}, {0.8, 0}};
        ASSERT_TRUE(apply_channels_to_qubit(s, 0, {c.channel}, rng, false));
        for (size_t i = 0; i < c.draws; ++i) probe.next_u64();
        EXPECT_EQ(rng.next_u64(), probe.next_u64()) << int(c.channel.kind);
    }
}

TEST(Trajectories, RegisterKeysAndConditionals) {
    // X on qubit 0, measured into bit 1 of two: "01" every shot.
    auto c = Circuit::create(1, 2).value();
    c.x(0).value();
    c.measure_into(0, 1).value();
    RandomStream rng = RandomStream::from_seed(1);
    auto r = run_shot_mode(c, 30, rng, false, nullptr).value();
    EXPECT_EQ(r.counts.size(), 1u);
    EXPECT_EQ(r.counts.at("01"), 30u);
    EXPECT_EQ(r.num_qubits, 2u);
}

TEST(Trajectories, ConditionalValueReadsFirstBitAsLeastSignificant) {
    // Bits [c0, c1] with value 2 fire exactly when c1 = 1 and c0 = 0.
    struct Case {
        bool c0, c1;
        bool fires;
    } cases[] = {
        {false, false, false}, {true, false, false}, {false, true, true}, {true, true, false}};
    for (const auto& tc : cases) {
        auto c = Circuit::create(3).value();
        if (tc.c0) c.x(0).value();
        if (tc.c1) c.x(1).value();
        c.measure(0).value(), c.measure(1).value();
        c.conditional_gate({0, 1}, 2, tesvi_quantum::gate::x(), {2}).value();
        c.measure(2).value();
        RandomStream rng = RandomStream::from_seed(2);
        auto r = run_shot_mode(c, 5, rng, false, nullptr).value();
        const std::string key =
            std::string(tc.c0 ? "1" : "0") + (tc.c1 ? "1" : "0") + (tc.fires ? "1" : "0");
        EXPECT_EQ(r.counts.at(key), 5u) << key;
    }
}

TEST(Trajectories, ConditionalBeyondSixtyFourBits) {
    // 65 listed bits: bit 64 set can never match a 64-bit value; clear, the low bits decide.
    for (bool high : {false, true}) {
        auto c = Circuit::create(2).value();
        if (high) c.x(0).value();
        for (int i = 0; i < 65; ++i) c.measure(i == 64 ? 0 : 1).value();
        std::vector<uint64_t> bits(65);
        for (int i = 0; i < 65; ++i) bits[i] = i;
        c.conditional_gate(bits, 0, tesvi_quantum::gate::x(), {1}).value();
        c.measure(1).value();
        RandomStream rng = RandomStream::from_seed(4);
        auto r = run_shot_mode(c, 3, rng, false, nullptr).value();
        const auto& [key, n] = *r.counts.begin();
        EXPECT_EQ(key.back(), high ? '0' : '1');
    }
}

TEST(Trajectories, NoClassicalBitsGiveTheEmptyKey) {
    Simulator s{uint64_t{5}, {}, NoiseModel::ibm_like(), true, false};
    auto c = Circuit::create(2).value();
    c.h(0).value(), c.cnot(0, 1).value();
    auto r = s.run(c, 40).value();
    EXPECT_EQ(r.counts.at(""), 40u);
    EXPECT_EQ(r.num_qubits, 0u);
}

TEST(Trajectories, ReadoutErrorInvertsTheRecordButNotTheState) {
    // Every recorded bit is inverted; a conditional on it sees the inverted value.
    Simulator s{uint64_t{5}, {}, NoiseModel::uniform(0, 0, 1), true, false};
    auto c = Circuit::create(2).value();
    c.measure(0).value();                                               // true 0, recorded 1
    c.conditional_gate({0}, 1, tesvi_quantum::gate::x(), {1}).value();  // fires
    c.measure(1).value();                                               // true 1, recorded 0
    c.measure(0).value();                                               // still true 0, recorded 1
    auto r = s.run(c, 20).value();
    EXPECT_EQ(r.counts.at("101"), 20u);
}

TEST(Trajectories, SeededNoisyRunsRepeat) {
    Simulator s{uint64_t{99}, {}, NoiseModel::ibm_like(), true, false};
    auto c = Circuit::create(3).value();
    c.h(0).value(), c.cnot(0, 1).value(), c.cnot(1, 2).value(), c.barrier_all(),
        c.measure_all().value();
    auto a = s.run(c, 500).value(), b = s.run(c, 500).value();
    EXPECT_EQ(a.counts.size(), b.counts.size());
    for (const auto& [k, n] : a.counts) EXPECT_EQ(b.counts.at(k), n);
    EXPECT_GT(a.counts.size(), 2u);  // noise shows up beyond "000" and "111"
}

TEST(Trajectories, MisplacedChannelsDoNothing) {
    // ReadoutError among gate channels and damping among measurement channels neither act nor draw.
    NoiseModel m{{NoiseChannel::ReadoutError(1.0)}, {}, {NoiseChannel::AmplitudeDamping(1.0)}, {}};
    Simulator noisy{uint64_t{8}, {}, m, true, false}, clean{uint64_t{8}, {}, {}, true, false};
    auto c = Circuit::create(1).value();
    c.h(0).value(), c.measure(0).value(), c.h(0).value(), c.measure(0).value();
    auto a = noisy.run(c, 200).value(), b = clean.run(c, 200).value();
    for (const auto& [k, n] : a.counts) EXPECT_EQ(b.counts.at(k), n);
}

}  // namespace
