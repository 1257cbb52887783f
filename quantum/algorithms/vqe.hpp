// The Variational Quantum Eigensolver: a parameterised circuit prepares a
// trial state, its energy under a sum of weighted Pauli strings comes from
// the simulator, and finite-difference descent with a backtracking line
// search lowers it.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "quantum/circuit/circuit.hpp"
#include "quantum/error.hpp"
#include "quantum/simulator/simulator.hpp"

namespace tesvi_quantum::algorithms::vqe {

enum class Pauli : uint8_t { I = 0, X = 1, Y = 2, Z = 3 };

struct PauliFactor {
    uint64_t qubit;
    Pauli pauli;
    bool operator==(const PauliFactor&) const = default;
};

// coefficient × (the tensor product of the factors, identity elsewhere). No
// factors is the identity term. A term names each qubit at most once, and
// every qubit it names lies inside the register; evaluations refuse others.
struct PauliTerm {
    std::vector<PauliFactor> ops;
    double coefficient;
    bool operator==(const PauliTerm&) const = default;
};

struct Hamiltonian {
    std::vector<PauliTerm> terms;
    uint64_t num_qubits = 0;  // the width of the ansatz circuit

    // -1.0524·I + 0.3979·Z1 - 0.3979·Z0 - 0.0112·Z0Z1 + 0.1809·X0X1.
    static Hamiltonian hydrogen_molecule();

    bool operator==(const Hamiltonian&) const = default;
};

struct Ansatz {
    // Ry(θ_j) on qubit j, then the CNOT chain (0, 1), (1, 2), ...: n parameters.
    struct RyCnotChain {
        bool operator==(const RyCnotChain&) const = default;
    };
    // Per layer Ry then Rz on every qubit, then the CNOT chain: 2·layers·n parameters.
    struct LayeredRyRz {
        uint64_t layers;
        bool operator==(const LayeredRyRz&) const = default;
    };
    // A fixed five-gate circuit for two qubits and two parameters.
    struct UccsdDemo {
        bool operator==(const UccsdDemo&) const = default;
    };
    std::variant<RyCnotChain, LayeredRyRz, UccsdDemo> value;

    template <class V>
    Ansatz(V v) : value(v) {}
    bool operator==(const Ansatz&) const = default;
};

struct VqeResult {
    double energy;                       // the lowest energy found
    std::vector<double> optimal_params;  // the parameters that gave it
    std::vector<double> energy_history;  // the energy at the start of each iteration
    uint64_t iterations;                 // the length of energy_history
    bool converged;                      // stopped by its own rule, not by the budget
};

// The ansatz on num_qubits qubits. The parameter count is not checked here
// except where a short list would leave gates without an angle.
error::Result<circuit::Circuit> ansatz_circuit(uint64_t num_qubits, const Ansatz& ansatz,
                                               const std::vector<double>& params);

// ⟨ψ|H|ψ⟩ for the prepared state: exact from the amplitudes under an ideal
// noise model, otherwise from one sampled run per term with factors.
error::Result<double> evaluate_expectation(const Hamiltonian& hamiltonian, const Ansatz& ansatz,
                                           const std::vector<double>& params, uint32_t shots,
                                           const simulator::Simulator& simulator);

error::Result<VqeResult> vqe(const Hamiltonian& hamiltonian, const Ansatz& ansatz,
                             const std::vector<double>& initial_params, uint64_t max_iterations,
                             uint32_t shots, const simulator::Simulator& simulator);

}  // namespace tesvi_quantum::algorithms::vqe
