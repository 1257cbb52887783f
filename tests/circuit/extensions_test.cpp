#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "circuit_helpers.hpp"

namespace {

using namespace circuit_test;
using tesvi_quantum::complex::Complex;
namespace gate = tesvi_quantum::gate;

TEST(Qft, GateSequences) {
    const struct {
        bool inverse;
        std::vector<uint64_t> qubits;
        std::vector<Step> want;
    } cases[] = {
        {false, {}, {}},
        {true, {}, {}},
        {false, {3}, {{"H", {3}}}},
        {false, {0, 1}, {{"H", {0}}, {"CR2", {1, 0}}, {"H", {1}}, {"SWAP", {0, 1}}}},
        {false,
         {0, 1, 2},
         {{"H", {0}},
          {"CR2", {1, 0}},
          {"CR3", {2, 0}},
          {"H", {1}},
          {"CR2", {2, 1}},
          {"H", {2}},
          {"SWAP", {0, 2}}}},
        {true,
         {0, 1, 2},
         {{"SWAP", {0, 2}},
          {"H", {2}},
          {"CR2^dagger", {2, 1}},
          {"H", {1}},
          {"CR3^dagger", {2, 0}},
          {"CR2^dagger", {1, 0}},
          {"H", {0}}}},
        // List positions, not qubit values, decide the order.
        {false, {3, 0}, {{"H", {3}}, {"CR2", {0, 3}}, {"H", {0}}, {"SWAP", {3, 0}}}},
        {false,
         {3, 1, 0, 2},
         {{"H", {3}},
          {"CR2", {1, 3}},
          {"CR3", {0, 3}},
          {"CR4", {2, 3}},
          {"H", {1}},
          {"CR2", {0, 1}},
          {"CR3", {2, 1}},
          {"H", {0}},
          {"CR2", {2, 0}},
          {"H", {2}},
          {"SWAP", {3, 2}},
          {"SWAP", {1, 0}}}},
    };
    for (const auto& k : cases) {
        Circuit c = make(4);
        c.x(0);
        ASSERT_TRUE(k.inverse ? c.iqft(k.qubits) : c.qft(k.qubits));
        std::vector<Step> want = {{"X", {0}}};
        want.insert(want.end(), k.want.begin(), k.want.end());
        EXPECT_EQ(steps(c), want) << (k.inverse ? "iqft" : "qft") << " of " << k.qubits.size();
    }
}

TEST(Qft, PhasesAreDaggeredInTheInverse) {
    Circuit c = make(2);
    c.qft({0, 1});
    c.iqft({0, 1});
    const auto& cr = c.instructions()[1].get<Instruction::Gate>()->gate;
    const auto& inv = c.instructions()[6].get<Instruction::Gate>()->gate;
    EXPECT_EQ(cr, gate::crk(2));
    EXPECT_EQ(inv, gate::crk(2).dagger());
}

// A plain state-vector evaluation of a circuit's gates, enough to check what
// the transforms compute. Qubit k is bit k of a basis index.
using Amps = std::vector<Complex>;

void apply(Amps& psi, const Instruction::Gate& g) {
    const auto& m = g.gate.matrix;
    if (g.qubits.size() == 1) {
        const uint64_t b = uint64_t{1} << g.qubits[0];
        for (uint64_t i = 0; i < psi.size(); ++i) {
            if (i & b) continue;
            const Complex a0 = psi[i], a1 = psi[i | b];
            psi[i] = m[0] * a0 + m[1] * a1;
            psi[i | b] = m[2] * a0 + m[3] * a1;
        }
        return;
    }
    // Local index 2 * bit(first qubit) + bit(second qubit).
    const uint64_t hi = uint64_t{1} << g.qubits[0], lo = uint64_t{1} << g.qubits[1];
    for (uint64_t i = 0; i < psi.size(); ++i) {
        if (i & (hi | lo)) continue;
        const uint64_t idx[4] = {i, i | lo, i | hi, i | hi | lo};
        Complex in[4], out[4];
        for (int r = 0; r < 4; ++r) in[r] = psi[idx[r]];
        for (int r = 0; r < 4; ++r)
            for (int col = 0; col < 4; ++col) out[r] = out[r] + m[r * 4 + col] * in[col];
        for (int r = 0; r < 4; ++r) psi[idx[r]] = out[r];
    }
}

Amps run(const Circuit& c, Amps psi) {
    for (const auto& ins : c.instructions()) apply(psi, *ins.get<Instruction::Gate>());
    return psi;
}

double distance(const Amps& a, const Amps& b) {
    double d = 0;
    for (size_t i = 0; i < a.size(); ++i) d = std::max(d, std::sqrt((a[i] - b[i]).norm_sqr()));
    return d;
}

// With the list from the most significant qubit down, qft sends |x> to
// sum_k e^(2 pi i x k / N) |k> / sqrt(N) in the register's own index order.
TEST(Qft, IsTheFourierTransform) {
    const uint64_t n = 3, N = 8;
    Circuit c = make(n);
    c.qft({2, 1, 0});
    for (uint64_t x = 0; x < N; ++x) {
        Amps psi(N);
        psi[x] = {1, 0};
        Amps want(N);
        for (uint64_t k = 0; k < N; ++k) {
            const double a = 2 * M_PI * double(x * k % N) / N;
            want[k] = Complex{std::cos(a), std::sin(a)} * (1 / std::sqrt(double(N)));
        }
        EXPECT_LT(distance(run(c, psi), want), 1e-12) << "x = " << x;
    }
}

TEST(Qft, InverseUndoesIt) {
    const uint64_t n = 4, N = 16;
    Circuit c = make(n);
    c.qft({1, 3, 0, 2});
    c.iqft({1, 3, 0, 2});
    Amps psi(N);
    double norm = 0;
    for (uint64_t i = 0; i < N; ++i) {
        psi[i] = {std::sin(1.0 + 3.0 * i), std::cos(2.0 * i * i)};
        norm += psi[i].norm_sqr();
    }
    for (auto& a : psi) a = a * (1 / std::sqrt(norm));
    EXPECT_LT(distance(run(c, psi), psi), 1e-12);
}

TEST(Crk, ZeroGivesAFullTurn) {
    Circuit c = make(2);
    ASSERT_TRUE(c.crk(0, 1, 0));
    const auto& g = c.instructions()[0].get<Instruction::Gate>()->gate;
    EXPECT_EQ(g.name, "CR0");
    EXPECT_EQ(c.instructions()[0].get<Instruction::Gate>()->qubits, (std::vector<uint64_t>{0, 1}));
    EXPECT_EQ(g.matrix[15].re, std::cos(gate::TWO_PI));
    EXPECT_EQ(g.matrix[15].im, std::sin(gate::TWO_PI));
}

TEST(Depth, CountsGateLayersOnSharedQubits) {
    const struct {
        const char* what;
        std::function<void(Circuit&)> build;
        uint64_t depth;
    } cases[] = {
        {"empty", [](Circuit&) {}, 0},
        {"h h cnot",
         [](Circuit& c) {
             c.h(0);
             c.h(1);
             c.cnot(0, 1);
         },
         2},
        {"barriers do not align",
         [](Circuit& c) {
             c.h(0);
             c.barrier_all();
             c.h(1);
         },
         1},
        {"measurements only", [](Circuit& c) { c.measure_all(); }, 0},
        {"measurement between gates",
         [](Circuit& c) {
             c.h(0);
             c.measure(0);
             c.h(0);
         },
         2},
        {"conditional counts",
         [](Circuit& c) {
             c.h(0);
             c.measure(0);
             c.conditional_gate({0}, 1, gate::x(), {0});
         },
         2},
        {"deepest qubit wins",
         [](Circuit& c) {
             c.h(0);
             c.h(0);
             c.h(0);
             c.cnot(1, 2);
             c.cnot(0, 2);
             c.h(1);
         },
         4},
    };
    for (const auto& k : cases) {
        Circuit c = make(3);
        k.build(c);
        EXPECT_EQ(c.depth(), k.depth) << k.what;
    }
}

TEST(Compose, PlacesThroughTheMappingWithFreshMeasurementBits) {
    Circuit other = make(2);
    other.h(0);
    other.cnot(0, 1);
    other.measure(1);
    Circuit c = make(3);
    c.measure(1);
    ASSERT_TRUE(c.compose(other, {2, 0}));
    const std::vector<Instruction> want = {
        Instruction::Measure{1, 0},
        Instruction::Gate{gate::h(), {2}},
        Instruction::Gate{gate::cnot(), {2, 0}},
        Instruction::Measure{0, 1},
    };
    EXPECT_EQ(c.instructions(), want);
    EXPECT_EQ(c.num_classical_bits(), 2u);
}

// Conditionals keep their absolute bit numbers while measurements take fresh
// ones, so the copied condition tests the receiver's own bit.
TEST(Compose, ConditionalsKeepTheirBits) {
    Circuit other = make(1);
    other.measure(0);
    other.conditional_gate({0}, 1, gate::x(), {0});
    Circuit c = make(2);
    c.measure(0);
    c.measure(1);
    ASSERT_TRUE(c.compose(other, {1}));
    ASSERT_EQ(c.instructions().size(), 4u);
    EXPECT_EQ(c.instructions()[2], Instruction(Instruction::Measure{1, 2}));
    EXPECT_EQ(c.instructions()[3], Instruction(Instruction::Conditional{{0}, 1, gate::x(), {1}}));
    EXPECT_EQ(c.num_classical_bits(), 3u);
}

TEST(Append, CopiesEveryKindAndRaisesTheRegister) {
    Circuit other = make(3);
    other.measure_into(0, 3);
    other.conditional_gate({3, 1}, 2, gate::cz(), {2, 0});
    other.barrier({2, 1});
    other.rx(1, 0.25);
    // Only the conditional is copied into a register that lacks bit 3.
    Circuit cond_only = Circuit::create(3, 4).value();
    cond_only.conditional_gate({3, 1}, 2, gate::cz(), {2, 0});
    Circuit c = make(3);
    ASSERT_TRUE(c.append(cond_only));
    EXPECT_EQ(c.num_classical_bits(), 4u);

    Circuit d = make(3);
    d.measure(2);
    ASSERT_TRUE(d.append(other));
    const std::vector<Instruction> want = {
        Instruction::Measure{2, 0},
        Instruction::Measure{0, 1},
        Instruction::Conditional{{3, 1}, 2, gate::cz(), {2, 0}},
        Instruction::Barrier{{2, 1}},
        Instruction::Gate{gate::rx(0.25), {1}},
    };
    EXPECT_EQ(d.instructions(), want);
    EXPECT_EQ(d.num_classical_bits(), 4u);
}

TEST(Append, OntoItselfDoublesTheCircuit) {
    Circuit c = make(2);
    c.h(0);
    c.measure(0);
    c.cnot(0, 1);
    ASSERT_TRUE(c.append(c));
    ASSERT_TRUE(c.compose(c, {1, 0}));
    EXPECT_EQ(steps(c), (std::vector<Step>{{"H", {0}},
                                           {"CNOT", {0, 1}},
                                           {"H", {0}},
                                           {"CNOT", {0, 1}},
                                           {"H", {1}},
                                           {"CNOT", {1, 0}},
                                           {"H", {1}},
                                           {"CNOT", {1, 0}}}));
    EXPECT_EQ(c.num_classical_bits(), 4u);
}

}  // namespace
