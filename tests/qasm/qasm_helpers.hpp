// Readers over parsed circuits shared by the OpenQASM reader tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quantum/qasm/parser.hpp"

namespace qasm_test {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::circuit::Instruction;

// The header line, so that a program's own statements start on line 2.
inline std::string program(std::string_view body) {
    return "OPENQASM 2.0;\n" + std::string(body);
}

// The display text of a failed result, or "" for a success.
template <class R>
std::string error_text(const R& r) {
    return r ? std::string() : r.error().message();
}

inline std::string list(const std::vector<uint64_t>& v) {
    std::string s;
    for (size_t i = 0; i < v.size(); ++i) {
        if (i) s += ',';
        s += std::to_string(v[i]);
    }
    return s;
}

// One instruction as a short line: "H 0", "CNOT 0,1", "measure 0->1",
// "barrier 0,1", "if 0,1==3 X 0".
inline std::string describe(const Instruction& ins) {
    if (const auto* g = ins.get<Instruction::Gate>()) return g->gate.name + " " + list(g->qubits);
    if (const auto* c = ins.get<Instruction::Conditional>())
        return "if " + list(c->classical_bits) + "==" + std::to_string(c->value) + " " +
               c->gate.name + " " + list(c->qubits);
    if (const auto* m = ins.get<Instruction::Measure>())
        return "measure " + std::to_string(m->qubit) + "->" + std::to_string(m->classical_bit);
    return "barrier " + list(ins.get<Instruction::Barrier>()->qubits);
}

inline std::vector<std::string> describe(const Circuit& c) {
    std::vector<std::string> out;
    for (const auto& ins : c.instructions()) out.push_back(describe(ins));
    return out;
}

}  // namespace qasm_test
