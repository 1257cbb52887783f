// MaxCut by the Quantum Approximate Optimization Algorithm: layered cost and
// mixer circuits evaluated on a simulator, finite-difference gradient ascent
// over the angles, and a brute-force optimum to measure the result against.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "quantum/circuit/circuit.hpp"
#include "quantum/error.hpp"
#include "quantum/simulator/simulator.hpp"

namespace tesvi_quantum::algorithms::qaoa {

// The largest graph qaoa_maxcut takes: its brute-force optimum visits 2^n assignments.
inline constexpr uint64_t MAX_VERTICES = 12;

struct Edge {
    uint64_t u;
    uint64_t v;
    double weight;
    bool operator==(const Edge&) const = default;
};

// Vertex i is qubit i. The edge order is the order of the gates and of every sum.
// Repeated edges and zero or negative weights are allowed.
struct Graph {
    std::vector<Edge> edges;
    uint64_t num_vertices = 0;

    static Graph triangle();
    static Graph square();
    // The five-vertex cycle.
    static Graph petersen_5();

    bool operator==(const Graph&) const = default;
};

// Entry i is the side of vertex i.
using Assignment = std::vector<bool>;

struct QaoaResult {
    Assignment best_solution;           // from the evaluation that set best_cost
    double best_cost;                   // the highest expected cut value seen
    std::vector<double> optimal_gamma;  // the last accepted point
    std::vector<double> optimal_beta;
    std::optional<double> approximation_ratio;  // best_cost / optimum, when the optimum is > 0
    std::vector<double> cost_history;           // the value at the start of each iteration
};

// The summed weight of the edges whose endpoints lie on different sides. An
// edge naming a vertex the assignment lacks has no cut value: the result is NaN.
double maxcut_cost(const Graph& graph, const Assignment& assignment);

// The largest cut value over all 2^n assignments, NaN costs ignored. A graph
// of 64 or more vertices cannot be enumerated and gives NaN.
double classical_maxcut(const Graph& graph);

// Hadamards on every qubit, then per layer i: CNOT, Rz(weight·2·gamma_i), CNOT
// for each edge and Rx(2·beta_i) on every qubit. Needs at least as many betas as gammas.
error::Result<circuit::Circuit> qaoa_circuit(const Graph& graph, const std::vector<double>& gammas,
                                             const std::vector<double>& betas);

// The expected cut value of the circuit's output and one good assignment:
// exact from the amplitudes under an ideal noise model, sampled otherwise.
error::Result<std::pair<double, Assignment>> evaluate_qaoa(const Graph& graph,
                                                           const std::vector<double>& gammas,
                                                           const std::vector<double>& betas,
                                                           uint32_t shots,
                                                           const simulator::Simulator& simulator);

error::Result<QaoaResult> qaoa_maxcut(const Graph& graph, uint64_t p, uint64_t max_iterations,
                                      uint32_t shots, const simulator::Simulator& simulator);

}  // namespace tesvi_quantum::algorithms::qaoa
