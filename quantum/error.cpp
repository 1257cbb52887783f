#include "quantum/error.hpp"

#include <string>

namespace tesvi_quantum::error {
namespace {

using std::to_string;

struct Render {
    std::string operator()(const TesviError::EmptyCircuit&) const {
        return "Circuit must have at least 1 qubit";
    }
    std::string operator()(const TesviError::QubitOutOfRange& e) const {
        return "Qubit index " + to_string(e.qubit) + " out of range (circuit has " +
               to_string(e.num_qubits) + " qubits)";
    }
    std::string operator()(const TesviError::DuplicateQubits& e) const {
        return "Two-qubit gate requires different qubits, got " + to_string(e.a) + " and " +
               to_string(e.b);
    }
    std::string operator()(const TesviError::TooManyQubits& e) const {
        return "Circuit exceeds maximum qubit count (" + to_string(e.requested) + " > " +
               to_string(e.limit) + ")";
    }
    std::string operator()(const TesviError::QubitCountMismatch& e) const {
        return "Circuit qubit count mismatch (" + to_string(e.left) + " != " + to_string(e.right) +
               ")";
    }
    std::string operator()(const TesviError::MappingLengthMismatch& e) const {
        return "Qubit mapping length mismatch (" + to_string(e.left) + " != " + to_string(e.right) +
               ")";
    }
    std::string operator()(const TesviError::InsufficientMemory& e) const {
        return "Insufficient memory for " + to_string(e.num_qubits) + "-qubit simulation (need " +
               to_string(e.bytes) + " bytes)";
    }
    std::string operator()(const TesviError::InvalidShots& e) const {
        return "Shot count must be greater than zero, got " + to_string(e.shots);
    }
    std::string operator()(const TesviError::NumericalInstability& e) const {
        return std::string("Numerical instability while ") + e.step;
    }
    std::string operator()(const TesviError::SimulationError& e) const {
        return "Simulation error: " + e.message;
    }
};

}  // namespace

std::string TesviError::message() const {
    return std::visit(Render{}, value);
}

}  // namespace tesvi_quantum::error
