#include "quantum/simulator/statevector.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "quantum/simulator/pool.hpp"

namespace {

namespace sv = tesvi_quantum::simulator::statevector;
namespace gate = tesvi_quantum::gate;
using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::circuit::Instruction;
using tesvi_quantum::complex::Complex;
using tesvi_quantum::simulator::RandomStream;
using tesvi_quantum::simulator::StateArray;

StateArray<Complex> basis(uint64_t n, uint64_t index) {
    StateArray<Complex> s(uint64_t{1} << n);
    s[index] = {1.0, 0.0};
    return s;
}

TEST(Kernels, HadamardOnZero) {
    auto s = basis(1, 0);
    sv::apply_gate(s, {0}, gate::h(), false);
    EXPECT_EQ(s[0], (Complex{0.7071067811865476, 0.0}));
    EXPECT_EQ(s[1], (Complex{0.7071067811865476, 0.0}));
}

TEST(Kernels, CnotFollowsListOrder) {
    struct Case {
        std::vector<uint64_t> qubits;
        uint64_t from, to;
    } cases[] = {{{0, 1}, 1, 3}, {{0, 1}, 0, 0}, {{1, 0}, 2, 3}, {{1, 0}, 1, 1}};
    for (const auto& c : cases) {
        auto s = basis(2, c.from);
        sv::apply_gate(s, c.qubits, gate::cnot(), false);
        EXPECT_EQ(s[c.to], (Complex{1.0, 0.0})) << c.from << " -> " << c.to;
    }
}

// A gate on the top qubit (a single chunk) equals the same gate relabelled onto qubit 0.
TEST(Kernels, TopQubitMatchesRelabelledLowQubit) {
    const uint64_t n = 3;
    auto top = basis(n, 0), low = basis(n, 0);
    sv::apply_1q(top, n - 1, gate::ry(0.7), false);
    sv::apply_1q(low, 0, gate::ry(0.7), false);
    EXPECT_EQ(top[0], low[0]);
    EXPECT_EQ(top[uint64_t{1} << (n - 1)], low[1]);
}

// The kernels' 64-byte loads and stores each touch one cache line only when
// the arrays start on one; arrays of 2 MiB and more start on a huge page.
TEST(Kernels, StatesStartOnCacheLinesAndLargeOnesOnHugePages) {
    auto offset = [](const void* p, uintptr_t boundary) {
        return reinterpret_cast<uintptr_t>(p) % boundary;
    };
    for (uint64_t n : {1, 6, 16, 17, 18}) {
        const auto aos = sv::zero_state(n).value();
        const auto soa = sv::zero_state_soa(n).value();
        const uintptr_t aos_boundary = n >= 17 ? uintptr_t{1} << 21 : 64;
        const uintptr_t soa_boundary = n >= 18 ? uintptr_t{1} << 21 : 64;
        EXPECT_EQ(offset(aos.data(), aos_boundary), 0u) << n;
        EXPECT_EQ(offset(soa.re.data(), soa_boundary), 0u) << n;
        EXPECT_EQ(offset(soa.im.data(), soa_boundary), 0u) << n;
        EXPECT_EQ(aos[0], (Complex{1.0, 0.0}));
        EXPECT_EQ(soa.re[0], 1.0);
    }
}

TEST(Kernels, SoaSequenceSkipsNonGates) {
    auto c = Circuit::create(2).value();
    c.h(0).value();
    c.measure(0).value();
    c.barrier({0, 1}).value();
    c.conditional_gate({0}, 1, gate::x(), {1}).value();
    c.cnot(0, 1).value();
    auto soa = sv::zero_state_soa(2).value();
    sv::apply_gate_sequence_soa(soa, c.instructions(), false);
    auto aos = soa.into_aos();
    EXPECT_DOUBLE_EQ(aos[0].re, 0.7071067811865476);
    EXPECT_DOUBLE_EQ(aos[3].re, 0.7071067811865476);
    EXPECT_EQ(aos[1], (Complex{}));
    EXPECT_EQ(aos[2], (Complex{}));
}

TEST(Kernels, UnsupportedWidthIsInternalFault) {
    gate::Gate g{"W", std::vector<Complex>(64), 3};
    auto s = basis(3, 0);
    EXPECT_THROW(sv::apply_gate(s, {0, 1, 2}, g, false), tesvi_quantum::error::InternalFault);
}

TEST(Measurement, DefiniteStatesNeverCollapse) {
    RandomStream rng = RandomStream::from_seed(7);
    for (int i = 0; i < 50; ++i) {
        auto one = basis(1, 1);
        EXPECT_EQ(sv::measure_qubit(one, 0, rng).value(), 1);
        EXPECT_EQ(one[1], (Complex{1.0, 0.0}));
        auto zero = basis(1, 0);
        EXPECT_EQ(sv::measure_qubit(zero, 0, rng).value(), 0);
    }
}

TEST(Measurement, EqualSuperpositionFollowsTheDraw) {
    for (uint64_t seed = 0; seed < 40; ++seed) {
        auto s = basis(1, 0);
        sv::apply_1q(s, 0, gate::h(), false);
        RandomStream probe = RandomStream::from_seed(seed), rng = RandomStream::from_seed(seed);
        const double u = probe.uniform();
        const uint8_t outcome = sv::measure_qubit(s, 0, rng).value();
        EXPECT_EQ(outcome, u < 0.4999999999999999 ? 0 : 1);
        if (outcome == 0) EXPECT_EQ(s[0].re, 1.0000000000000002);
        EXPECT_EQ(s[1 - outcome], (Complex{}));
    }
}

// The final state is bit-identical for 1, 2 and 8 workers and with parallel off.
class WorkerCounts : public ::testing::TestWithParam<uint64_t> {};

StateArray<Complex> random_circuit_state(uint64_t n, bool parallel) {
    RandomStream rng = RandomStream::from_seed(n * 1000 + 3);
    auto s = sv::zero_state(n).value();
    for (int g = 0; g < 120; ++g) {
        const uint64_t a = rng.below(n), b = (a + 1 + rng.below(n - 1)) % n;
        switch (rng.below(5)) {
            case 0:
                sv::apply_1q(s, a, gate::h(), parallel);
                break;
            case 1:
                sv::apply_1q(s, a, gate::u3(rng.uniform() * 6, rng.uniform(), 2.0), parallel);
                break;
            case 2:
                sv::apply_2q(s, a, b, gate::cnot(), parallel);
                break;
            case 3:
                sv::apply_2q(s, a, b, gate::rzz(rng.uniform() * 3), parallel);
                break;
            default:
                sv::apply_2q(s, b, a, gate::cy(), parallel);
                break;
        }
    }
    return s;
}

TEST_P(WorkerCounts, ParallelIsBitIdenticalToSerial) {
    // The pool is sized once per process, so each worker count runs in a child process.
    const uint64_t workers = GetParam();
    for (uint64_t n : {16, 18}) {
        const auto serial = random_circuit_state(n, false);
        EXPECT_EXIT(
            {
                setenv("RAYON_NUM_THREADS", std::to_string(workers).c_str(), 1);
                const auto par = random_circuit_state(n, true);
                const bool same =
                    std::memcmp(par.data(), serial.data(), serial.size() * sizeof(Complex)) == 0;
                const bool sized = tesvi_quantum::simulator::pool::current_num_threads() == workers;
                std::exit(same && sized ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << n << " qubits, " << workers << " workers";
    }
}

INSTANTIATE_TEST_SUITE_P(Pool, WorkerCounts, ::testing::Values(1, 2, 8));

}  // namespace
