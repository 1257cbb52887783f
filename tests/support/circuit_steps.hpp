// A circuit's gate instructions reduced to what sequence tests compare.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "quantum/circuit/circuit.hpp"

namespace tesvi_test {

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

inline std::vector<Step> steps(const tesvi_quantum::circuit::Circuit& c) {
    using tesvi_quantum::circuit::Instruction;
    std::vector<Step> out;
    for (const auto& ins : c.instructions())
        if (const auto* g = ins.get<Instruction::Gate>()) out.push_back({g->gate.name, g->qubits});
    return out;
}

}  // namespace tesvi_test
