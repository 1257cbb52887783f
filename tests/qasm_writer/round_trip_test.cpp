#include <gtest/gtest.h>

#include <functional>

#include "quantum/qasm/parser.hpp"
#include "quantum/qasm/serializer.hpp"

namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::circuit::Instruction;
namespace gate = tesvi_quantum::gate;

Circuit make(uint64_t n) {
    return Circuit::create(n).value();
}

// Writing and reading back keeps every instruction the text can express;
// what has no form (a qubit-less barrier, a gate without a statement, alone or
// under a condition) is dropped whole and takes nothing after it with it.
// Conditionals come back testing every bit of c. Angles are chosen exact at
// three decimals so that matrices compare equal.
TEST(RoundTrip, ReadsBackWhatWasWritten) {
    const struct {
        const char* what;
        uint64_t qubits;
        std::function<void(Circuit&)> build;
        std::function<void(Circuit&)> read_back;  // null: the same as build
    } cases[] = {
        {"empty barrier", 2,
         [](Circuit& c) {
             c.h(0);
             c.barrier({});
             c.cnot(0, 1);
         },
         [](Circuit& c) {
             c.h(0);
             c.cnot(0, 1);
         }},
        {"conditional without a statement", 2,
         [](Circuit& c) {
             c.measure(0);
             c.conditional_gate({0}, 1, gate::cy(), {0, 1});
             c.h(1);
             c.conditional_gate({0}, 1, gate::sx(), {1});
             c.measure(1);
         },
         [](Circuit& c) {
             c.measure(0);
             c.h(1);
             c.measure(1);
         }},
        {"conditionals with a statement", 3,
         [](Circuit& c) {
             c.measure(2);
             c.measure(1);
             c.conditional_gate({1}, 3, gate::x(), {1});
             c.conditional_gate({0}, 1, gate::crk(4), {2, 0});
             c.conditional_gate({0}, 2, gate::rx(0.25), {0});
         },
         [](Circuit& c) {
             c.measure(2);
             c.measure(1);
             c.conditional_gate({0, 1}, 3, gate::x(), {1});
             c.conditional_gate({0, 1}, 1, gate::crk(4), {2, 0});
             c.conditional_gate({0, 1}, 2, gate::rx(0.25), {0});
         }},
        {"inverse transform", 3,
         [](Circuit& c) {
             c.qft({0, 1, 2});
             c.iqft({0, 1, 2});
         },
         [](Circuit& c) {
             c.qft({0, 1, 2});
             c.swap(0, 2);
             c.h(2);
             c.h(1);
             c.h(0);
         }},
        {"every statement", 3,
         [](Circuit& c) {
             c.h(0).value().s(1).value().t(2).value().x(0).value().y(1).value().z(2);
             c.sdg(0).value().tdg(1).value().cz(2, 0).value().cnot(1, 2).value().swap(0, 1);
             c.rx(0, -0.5).value().ry(1, 1.25).value().rz(2, 2.0).value().u3(0, 0.5, 1, 1.5);
             c.crk(1, 0, 7);
             c.toffoli(2, 0, 1);
             c.barrier_all().barrier({2, 0}).value().barrier({2, 1, 0});
             c.measure_into(2, 4);
         },
         nullptr},
    };
    for (const auto& k : cases) {
        Circuit written = make(k.qubits), want = make(k.qubits);
        k.build(written);
        (k.read_back ? k.read_back : k.build)(want);
        const std::string text = tesvi_quantum::qasm::to_qasm(written);
        auto read = tesvi_quantum::qasm::parse_qasm(text);
        ASSERT_TRUE(read) << k.what << ": " << read.error().message() << "\n" << text;
        EXPECT_EQ(read->num_qubits(), written.num_qubits()) << k.what;
        EXPECT_EQ(read->num_classical_bits(), written.num_classical_bits()) << k.what;
        EXPECT_EQ(read->instructions(), want.instructions()) << k.what << "\n" << text;
    }
}

}  // namespace
