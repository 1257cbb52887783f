// Small readers over circuits shared by the circuit tests.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "quantum/circuit/circuit.hpp"
#include "tests/support/circuit_steps.hpp"

namespace circuit_test {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::circuit::Instruction;

inline Circuit make(uint64_t num_qubits) {
    return Circuit::create(num_qubits).value();
}

using tesvi_test::Step;
using tesvi_test::steps;

// The display text of a failed result, or "" for a success.
template <class R>
std::string error_text(const R& r) {
    return r ? std::string() : r.error().message();
}

}  // namespace circuit_test
