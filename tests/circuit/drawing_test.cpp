#include <gtest/gtest.h>

#include <functional>

#include "circuit_helpers.hpp"

namespace {

using namespace circuit_test;
namespace gate = tesvi_quantum::gate;

std::string join(const std::vector<std::string>& rows) {
    std::string s;
    for (size_t i = 0; i < rows.size(); ++i) s += (i ? "\n" : "") + rows[i];
    return s;
}

size_t chars(const std::string& s) {
    size_t n = 0;
    for (char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

TEST(Drawing, WholeDiagrams) {
    const struct {
        const char* what;
        uint64_t qubits;
        std::function<void(Circuit&)> build;
        std::vector<std::string> rows;
    } cases[] = {
        {"empty", 2, [](Circuit&) {}, {"q0: ", "q1: "}},
        {"bell and measure",
         2,
         [](Circuit& c) {
             c.h(0).value();
             c.cnot(0, 1).value();
             c.measure(0).value();
             c.measure(1).value();
         },
         {"q0:  [H]    ●    [M] ─────", "q1: ─────   ⊕   ───── [M] "}},
        {"cnot upwards",
         3,
         [](Circuit& c) { c.cnot(2, 0).value(); },
         {"q0:    ⊕   ", "q1:    │   ", "q2:    ●   "}},
        {"other two-qubit gate",
         3,
         [](Circuit& c) { c.cz(0, 2).value(); },
         {"q0: [CZ] ", "q1:   │  ", "q2: [CZ] "}},
        {"swap", 2, [](Circuit& c) { c.swap(1, 0).value(); }, {"q0: [SWAP] ", "q1: [SWAP] "}},
        {"barrier over all", 2, [](Circuit& c) { c.barrier_all(); }, {"q0:   ┆  ", "q1:   ┆  "}},
        {"barrier over one",
         3,
         [](Circuit& c) { c.barrier({1}).value(); },
         {"q0: ─────", "q1:   ┆  ", "q2: ─────"}},
        {"empty barrier", 1, [](Circuit& c) { c.barrier({}).value(); }, {"q0: ─────"}},
        {"conditionals",
         2,
         [](Circuit& c) {
             c.measure(0).value();
             c.conditional_gate({0}, 1, gate::x(), {1}).value();
             c.conditional_gate({0}, 1, gate::sdg(), {0}).value();
             c.sdg(0).value();
             c.conditional_gate({0}, 0, gate::cnot(), {0, 1}).value();
         },
         {"q0:  [M] ─────[Sdg?] [Sdg]  ●?   ", "q1: ─────[X?] ────────────  ⊕?   "}},
        {"labels wider than five",
         1,
         [](Circuit& c) {
             c.rx(0, 0.5).value();
             c.sdg(0).value();
         },
         {"q0: [Rx(0.500)][Sdg]"}},
        {"labels counted in characters",
         2,
         [](Circuit& c) {
             c.custom_gate(gate::Gate{"θ", gate::x().matrix, 1}, {0}).value();
             c.custom_gate(gate::Gate{"αβγ", gate::swap().matrix, 2}, {1, 0}).value();
         },
         {"q0:  [θ]   [αβγ]  ", "q1: ─────  [αβγ]  "}},
    };
    for (const auto& k : cases) {
        Circuit c = make(k.qubits);
        k.build(c);
        EXPECT_EQ(c.to_ascii(), join(k.rows)) << k.what;
    }
}

TEST(Drawing, WiderLabelShiftsItsRow) {
    Circuit c = make(11);
    c.h(10).value();
    c.h(0).value();
    const std::string text = c.to_ascii();
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "q0: ─────"
              " [H] ");
    EXPECT_EQ(text.substr(text.rfind('\n') + 1), "q10:  [H] ─────");
    EXPECT_NE(text.back(), '\n');
}

TEST(Drawing, ColumnWidths) {
    const struct {
        std::function<void(Circuit&)> build;
        size_t width;
    } cases[] = {
        {[](Circuit& c) { c.measure(0).value(); }, 5},
        {[](Circuit& c) { c.barrier_all(); }, 5},
        {[](Circuit& c) { c.h(0).value(); }, 5},
        {[](Circuit& c) { c.cz(0, 1).value(); }, 5},
        {[](Circuit& c) { c.crk(0, 1, 3).value(); }, 5},
        {[](Circuit& c) { c.sdg(0).value(); }, 5},
        {[](Circuit& c) { c.cnot(0, 1).value(); }, 7},
        {[](Circuit& c) { c.swap(0, 1).value(); }, 7},
        {[](Circuit& c) { c.rx(0, 0.5).value(); }, 11},
        {[](Circuit& c) { c.rzz(0, 1, 0.5).value(); }, 13},
        {[](Circuit& c) {
             c.custom_gate(gate::crk(3).dagger(), {0, 1}).value();
         },
         13},
        {[](Circuit& c) { c.u3(0, 1, 2, 3).value(); }, 23},
        // Conditionals make room for the question mark.
        {[](Circuit& c) { c.conditional_gate({0}, 1, gate::x(), {0}).value(); }, 5},
        {[](Circuit& c) { c.conditional_gate({0}, 1, gate::sdg(), {0}).value(); }, 7},
        {[](Circuit& c) {
             c.conditional_gate({0}, 1, gate::cnot(), {0, 1}).value();
         },
         7},
        {[](Circuit& c) {
             c.conditional_gate({0}, 1, gate::swap(), {0, 1}).value();
         },
         7},
        {[](Circuit& c) { c.conditional_gate({0}, 1, gate::rx(0.5), {0}).value(); }, 13},
    };
    for (const auto& k : cases) {
        Circuit c = make(2);
        c.measure_into(1, 0).value();
        const size_t before = chars(c.to_ascii().substr(0, c.to_ascii().find('\n')));
        k.build(c);
        const std::string text = c.to_ascii();
        const size_t split = text.find('\n');
        const std::string row0 = text.substr(0, split), row1 = text.substr(split + 1);
        EXPECT_EQ(chars(row0) - before, k.width) << row0;
        EXPECT_EQ(chars(row1) - before, k.width) << row1;
    }
}

}  // namespace
