#include <gtest/gtest.h>

#include <functional>

#include "qasm_helpers.hpp"
#include "quantum/qasm/serializer.hpp"

namespace {

using namespace qasm_test;
using tesvi_quantum::qasm::parse_qasm;
using tesvi_quantum::qasm::to_qasm;
namespace gate = tesvi_quantum::gate;

bool has_statement(const gate::Gate& g, const std::vector<uint64_t>& qubits) {
    return !tesvi_quantum::qasm::serializer::format_gate(g.name, qubits).starts_with("//");
}

// The gates that have no OpenQASM statement, and so are dropped on the way.
bool formless(const std::string& name) {
    return name == "SX" || name == "CY" || name.starts_with("Rzz(") || name.ends_with("^dagger");
}

// What reading the written text must give: every instruction with a statement,
// conditionals over all bits of the one classical register, nothing else.
std::vector<std::string> expected_read_back(const Circuit& c) {
    std::vector<uint64_t> all_bits(c.num_classical_bits());
    for (uint64_t i = 0; i < all_bits.size(); ++i) all_bits[i] = i;
    std::vector<std::string> out;
    for (const Instruction& ins : c.instructions()) {
        if (const auto* g = ins.get<Instruction::Gate>()) {
            if (!has_statement(g->gate, g->qubits)) {
                EXPECT_TRUE(formless(g->gate.name)) << g->gate.name;
                continue;
            }
        } else if (const auto* k = ins.get<Instruction::Conditional>()) {
            if (!has_statement(k->gate, k->qubits)) {
                EXPECT_TRUE(formless(k->gate.name)) << k->gate.name;
                continue;
            }
            out.push_back(
                describe(Instruction::Conditional{all_bits, k->value, k->gate, k->qubits}));
            continue;
        } else if (const auto* b = ins.get<Instruction::Barrier>()) {
            if (b->qubits.empty()) continue;
        }
        out.push_back(describe(ins));
    }
    return out;
}

TEST(QasmRoundTrip, EveryBuilder) {
    const double pi = 3.141592653589793;
    const struct {
        const char* what;
        uint64_t qubits;
        std::function<void(Circuit&)> build;
    } cases[] = {
        {"nothing", 1, [](Circuit&) {}},
        {"one-qubit gates", 3,
         [&](Circuit& c) {
             c.h(0), c.s(1), c.t(2), c.x(0), c.y(1), c.z(2), c.sx(0), c.sdg(1), c.tdg(2);
             c.rx(0, 0.5), c.ry(1, -0.0001), c.rz(2, pi / 4), c.u3(0, 0.1, -2 * pi, 1e6);
         }},
        {"two-qubit gates", 3,
         [](Circuit& c) {
             c.cnot(0, 1), c.cx(2, 0), c.cy(0, 1), c.cz(1, 2), c.swap(2, 0), c.rzz(0, 2, 0.25);
             c.crk(0, 2, 3), c.crk(1, 0, 0), c.toffoli(2, 0, 1);
             c.custom_gate(gate::crk(40), {2, 1});
             c.custom_gate(gate::crk(2).dagger(), {0, 1});
         }},
        {"fourier transforms", 4,
         [](Circuit& c) {
             c.qft({0, 1, 2, 3});
             c.iqft({3, 1, 0});
         }},
        {"measurements", 3,
         [](Circuit& c) {
             c.measure(2);
             c.measure_into(1, 5);
             c.measure_all();
         }},
        {"barriers", 3,
         [](Circuit& c) {
             c.barrier({});
             c.h(0);
             c.barrier({2, 0});
             c.barrier_all();
             c.barrier({2, 1, 0});
         }},
        {"conditionals", 3,
         [](Circuit& c) {
             c.measure_all();
             c.conditional_gate({1}, 1, gate::x(), {0});
             c.conditional_gate({0, 2}, 5, gate::cnot(), {1, 2});
             c.conditional_gate({0}, 1, gate::sx(), {0});
             c.h(1);
             c.conditional_gate({2}, 0, gate::rx(1.5), {1});
             c.conditional_gate({0}, UINT64_MAX, gate::crk(2).dagger(), {0, 1});
             c.conditional_gate({1}, 3, gate::crk(2), {0, 1});
         }},
        {"append and compose", 3,
         [](Circuit& c) {
             Circuit other = Circuit::create(2).value();
             other.h(0), other.cnot(0, 1), other.measure(1);
             other.conditional_gate({0}, 1, gate::z(), {1});
             c.compose(other, {2, 0});
             Circuit same = Circuit::create(3).value();
             same.swap(0, 2), same.measure_into(1, 3);
             c.append(same);
         }},
    };
    for (const auto& c : cases) {
        Circuit built = Circuit::create(c.qubits).value();
        c.build(built);
        const std::string text = to_qasm(built);
        const auto back = parse_qasm(text);
        ASSERT_TRUE(back) << c.what << ": " << error_text(back) << "\n" << text;
        EXPECT_EQ(back->num_qubits(), built.num_qubits()) << c.what;
        EXPECT_EQ(back->num_classical_bits(), built.num_classical_bits()) << c.what;
        EXPECT_EQ(describe(*back), expected_read_back(built)) << c.what << "\n" << text;
    }
}

}  // namespace
