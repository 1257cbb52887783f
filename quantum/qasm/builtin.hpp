// The built-in gate table, standing in for the standard library "qelib1.inc".
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "quantum/gate.hpp"

namespace tesvi_quantum::qasm::parser {

// One concrete gate on global qubit indices in operand order; for a
// controlled gate the first is the control.
struct GateApplication {
    gate::Gate gate;
    std::vector<uint64_t> qubits;
    bool operator==(const GateApplication&) const = default;
};

// The gates of a built-in call, or nothing when no row matches the lower-cased
// name together with the counts of values and qubits (the call then falls
// through to the user definitions). "id" gives an empty list. Never fails.
std::optional<std::vector<GateApplication>> builtin_gate(std::string_view name,
                                                         const std::vector<double>& values,
                                                         const std::vector<uint64_t>& qubits);

}  // namespace tesvi_quantum::qasm::parser
