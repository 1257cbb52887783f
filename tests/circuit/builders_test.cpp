#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "circuit_helpers.hpp"

namespace {

using namespace circuit_test;
namespace gate = tesvi_quantum::gate;

TEST(CircuitCreate, QubitLimits) {
    const struct {
        uint64_t n;
        std::string error;
    } cases[] = {
        {0, "Circuit must have at least 1 qubit"},
        {129, "Circuit exceeds maximum qubit count (129 > 128)"},
        {1, ""},
        {128, ""},
    };
    for (const auto& c : cases) {
        auto r = Circuit::create(c.n);
        EXPECT_EQ(error_text(r), c.error) << c.n;
        if (r) {
            EXPECT_EQ(r->num_qubits(), c.n);
            EXPECT_EQ(r->num_classical_bits(), 0u);
            EXPECT_TRUE(r->instructions().empty());
        }
    }
}

// Every refused call reports its first failing check and leaves the circuit
// exactly as it was. The receiver has 3 qubits, one gate and 2 classical bits.
TEST(RefusedCalls, ReportFirstFailureAndChangeNothing) {
    const std::string range3 = "Qubit index 3 out of range (circuit has 3 qubits)";
    auto range = [](uint64_t q) {
        return "Qubit index " + std::to_string(q) + " out of range (circuit has 3 qubits)";
    };
    auto dup = [](uint64_t q) {
        return "Two-qubit gate requires different qubits, got " + std::to_string(q) + " and " +
               std::to_string(q);
    };
    const gate::Gate ccx{"CCX", std::vector<tesvi_quantum::complex::Complex>(64), 3};
    const struct {
        const char* what;
        std::function<std::string(Circuit&)> call;
        std::string error;
    } cases[] = {
        {"h", [](Circuit& c) { return error_text(c.h(3)); }, range3},
        {"rx", [](Circuit& c) { return error_text(c.rx(3, 0.5)); }, range3},
        {"cnot same", [](Circuit& c) { return error_text(c.cnot(1, 1)); }, dup(1)},
        {"cnot range first", [](Circuit& c) { return error_text(c.cnot(5, 5)); }, range(5)},
        {"cnot target", [](Circuit& c) { return error_text(c.cnot(0, 7)); }, range(7)},
        {"toffoli controls", [](Circuit& c) { return error_text(c.toffoli(0, 0, 2)); }, dup(0)},
        {"toffoli target", [](Circuit& c) { return error_text(c.toffoli(0, 1, 1)); }, dup(1)},
        {"toffoli c0 = target", [](Circuit& c) { return error_text(c.toffoli(0, 1, 0)); }, dup(0)},
        {"toffoli range first", [](Circuit& c) { return error_text(c.toffoli(3, 0, 0)); }, range3},
        {"barrier dup",
         [](Circuit& c) {
             return error_text(c.barrier({0, 7, 0}));
         },
         dup(0)},
        {"barrier range",
         [](Circuit& c) {
             return error_text(c.barrier({7, 0, 0}));
         },
         range(7)},
        {"custom arity", [](Circuit& c) { return error_text(c.custom_gate(gate::cnot(), {0})); },
         "Simulation error: gate 'CNOT' expects 2 targets, got 1"},
        {"custom width",
         [&](Circuit& c) {
             return error_text(c.custom_gate(ccx, {0, 1, 2}));
         },
         "Simulation error: gate 'CCX' uses unsupported width 3"},
        {"custom range",
         [](Circuit& c) {
             return error_text(c.custom_gate(gate::cz(), {2, 3}));
         },
         range3},
        {"conditional no bits",
         [](Circuit& c) { return error_text(c.conditional_gate({}, 1, gate::x(), {0})); },
         "Simulation error: conditional gates require at least one classical bit"},
        {"conditional bit",
         [](Circuit& c) {
             return error_text(c.conditional_gate({0, 3}, 1, gate::x(), {0}));
         },
         "Simulation error: classical bit 3 out of range (circuit has 2 classical bits)"},
        {"conditional arity",
         [](Circuit& c) { return error_text(c.conditional_gate({1}, 1, gate::cnot(), {1})); },
         "Simulation error: gate 'CNOT' expects 2 targets, got 1"},
        {"conditional dup",
         [](Circuit& c) {
             return error_text(c.conditional_gate({0, 0}, 1, gate::cz(), {2, 2}));
         },
         dup(2)},
        {"measure", [](Circuit& c) { return error_text(c.measure(3)); }, range3},
        {"measure_into", [](Circuit& c) { return error_text(c.measure_into(3, 0)); }, range3},
        {"measure_into last bit",
         [](Circuit& c) { return error_text(c.measure_into(0, UINT64_MAX)); },
         "Simulation error: classical bit 18446744073709551615 out of range (at most 65536 "
         "classical bits)"},
        {"crk control", [](Circuit& c) { return error_text(c.crk(3, 9, 1)); }, range3},
        {"crk target", [](Circuit& c) { return error_text(c.crk(0, 9, 1)); }, range(9)},
        {"crk same", [](Circuit& c) { return error_text(c.crk(2, 2, 1)); }, dup(2)},
        {"qft dup",
         [](Circuit& c) {
             return error_text(c.qft({0, 0}));
         },
         dup(0)},
        {"qft walk order",
         [](Circuit& c) {
             return error_text(c.qft({0, 7, 0}));
         },
         dup(0)},
        {"qft range",
         [](Circuit& c) {
             return error_text(c.qft({1, 5}));
         },
         range(5)},
        {"iqft dup",
         [](Circuit& c) {
             return error_text(c.iqft({1, 2, 1}));
         },
         dup(1)},
        {"append width", [](Circuit& c) { return error_text(c.append(make(2))); },
         "Circuit qubit count mismatch (3 != 2)"},
        {"compose mapping length",
         [](Circuit& c) {
             return error_text(c.compose(make(3), {0, 1}));
         },
         "Qubit mapping length mismatch (2 != 3)"},
        {"compose wider",
         [](Circuit& c) {
             return error_text(c.compose(make(4), {0, 1, 2}));
         },
         "Qubit mapping length mismatch (3 != 4)"},
        {"compose range",
         [](Circuit& c) {
             return error_text(c.compose(make(3), {0, 5, 1}));
         },
         range(5)},
        {"compose dup",
         [](Circuit& c) {
             return error_text(c.compose(make(3), {1, 1, 0}));
         },
         dup(1)},
    };
    for (const auto& k : cases) {
        Circuit c = make(3);
        c.h(0);
        c.measure(0);
        c.measure(1);
        const Circuit before = c;
        EXPECT_EQ(k.call(c), k.error) << k.what;
        EXPECT_EQ(c.instructions(), before.instructions()) << k.what;
        EXPECT_EQ(c.num_classical_bits(), before.num_classical_bits()) << k.what;
    }
}

TEST(Measure, AllocatesClassicalBits) {
    Circuit c = make(3);
    EXPECT_EQ(*c.measure(0), 0u);
    EXPECT_EQ(*c.measure(0), 1u);
    EXPECT_EQ(*c.measure(2), 2u);

    // measure_into raises the register to cover the bit and never lowers it.
    Circuit d = make(3);
    d.measure_into(0, 5);
    EXPECT_EQ(d.num_classical_bits(), 6u);
    d.measure_into(1, 2);
    EXPECT_EQ(d.num_classical_bits(), 6u);
    EXPECT_EQ(*d.measure(2), 6u);
    EXPECT_EQ(d.instructions().back(), Instruction(Instruction::Measure{2, 6}));
}

TEST(Measure, MeasureAllContinuesAfterExistingBits) {
    Circuit c = make(3);
    c.measure_into(0, 1);
    c.measure_all();
    ASSERT_EQ(c.instructions().size(), 4u);
    for (uint64_t q = 0; q < 3; ++q)
        EXPECT_EQ(c.instructions()[q + 1], Instruction(Instruction::Measure{q, q + 2}));
    EXPECT_EQ(c.num_classical_bits(), 5u);
}

TEST(Toffoli, FifteenGatesInOrder) {
    Circuit c = make(4);
    ASSERT_TRUE(c.toffoli(3, 1, 0));
    const std::vector<Step> want = {
        {"H", {0}},       {"CNOT", {1, 0}}, {"Tdg", {0}},     {"CNOT", {3, 0}}, {"T", {0}},
        {"CNOT", {1, 0}}, {"Tdg", {0}},     {"CNOT", {3, 0}}, {"T", {1}},       {"T", {0}},
        {"H", {0}},       {"CNOT", {3, 1}}, {"T", {3}},       {"Tdg", {1}},     {"CNOT", {3, 1}},
    };
    EXPECT_EQ(steps(c), want);
}

TEST(GateCount, CountsGatesAndConditionalsOnly) {
    Circuit c = make(3);
    c.toffoli(0, 1, 2);
    c.measure(0);
    c.conditional_gate({0}, 1, gate::x(), {1});
    c.barrier({});
    EXPECT_EQ(c.gate_count(), 16u);
    EXPECT_EQ(c.instructions().size(), 18u);
    EXPECT_EQ(c.instructions().back(), Instruction(Instruction::Barrier{}));
}

TEST(Builders, GateNamesAndAliases) {
    const struct {
        std::function<void(Circuit&)> build;
        std::string name;
    } cases[] = {
        {[](Circuit& c) { c.rx(0, 0.5); }, "Rx(0.500)"},
        {[](Circuit& c) { c.ry(0, -0.0001); }, "Ry(-0.000)"},
        {[](Circuit& c) { c.rz(0, M_PI / 4); }, "Rz(0.785)"},
        {[](Circuit& c) { c.u3(0, 1, 2, 3); }, "U3(1.000,2.000,3.000)"},
        {[](Circuit& c) { c.rzz(0, 1, M_PI); }, "Rzz(3.142)"},
        {[](Circuit& c) { c.crk(0, 1, 3); }, "CR3"},
        {[](Circuit& c) { c.cx(0, 1); }, "CNOT"},
        {[](Circuit& c) {
             c.custom_gate(gate::crk(3).dagger(), {0, 1});
         },
         "CR3^dagger"},
        {[](Circuit& c) {
             c.custom_gate(gate::crk(3).dagger().dagger(), {0, 1});
         },
         "CR3^dagger^dagger"},
    };
    for (const auto& k : cases) {
        Circuit c = make(2);
        k.build(c);
        ASSERT_EQ(c.instructions().size(), 1u) << k.name;
        EXPECT_EQ(steps(c).front().name, k.name);
    }
    Circuit a = make(2), b = make(2);
    a.cx(0, 1);
    b.cnot(0, 1);
    EXPECT_EQ(a.instructions(), b.instructions());
}

}  // namespace
