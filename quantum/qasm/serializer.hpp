// The OpenQASM 2.0 writer. It never fails: an instruction with no OpenQASM
// form becomes a comment line, which a reader drops.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quantum/circuit/circuit.hpp"

namespace tesvi_quantum::qasm {

namespace serializer {

// The whole program: header, "qreg q", "creg c" when there are classical
// bits, then one line per instruction, joined by "\n" without a final one.
std::string to_qasm(const circuit::Circuit& circuit);

// One gate statement for a gate name on global qubit indices in operand order,
// or the "// unsupported gate" comment line.
std::string format_gate(std::string_view name, const std::vector<uint64_t>& qubits);

}  // namespace serializer

std::string to_qasm(const circuit::Circuit& circuit);

}  // namespace tesvi_quantum::qasm
