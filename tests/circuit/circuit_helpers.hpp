// Small readers over circuits shared by the circuit tests.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "quantum/circuit/circuit.hpp"

namespace circuit_test {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::circuit::Instruction;

inline Circuit make(uint64_t num_qubits) {
    return Circuit::create(num_qubits).value();
}

// A gate instruction reduced to what the sequence tests compare.
struct Step {
    std::string name;
    std::vector<uint64_t> qubits;
    bool operator==(const Step&) const = default;
    friend std::ostream& operator<<(std::ostream& os, const Step& s) {
        os << s.name << "(";
        for (size_t i = 0; i < s.qubits.size(); ++i) os << (i ? ", " : "") << s.qubits[i];
        return os << ")";
    }
};

inline std::vector<Step> steps(const Circuit& c) {
    std::vector<Step> out;
    for (const auto& ins : c.instructions)
        if (const auto* g = ins.get<Instruction::Gate>()) out.push_back({g->gate.name, g->qubits});
    return out;
}

// The display text of a failed result, or "" for a success.
template <class R>
std::string error_text(const R& r) {
    return r ? std::string() : r.error().message();
}

}  // namespace circuit_test
