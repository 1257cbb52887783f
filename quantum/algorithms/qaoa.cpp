#include "quantum/algorithms/qaoa.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <span>
#include <stdexcept>
#include <string>

#include "common/interrupt.hpp"
#include "common/memory.hpp"
#include "quantum/algorithms/outcomes.hpp"

namespace tesvi_quantum::algorithms::qaoa {
namespace {

using circuit::Circuit;
using error::fail;
using error::Result;
using error::TesviError;
using simulator::Simulator;

constexpr double START_ANGLE = 0.5;
constexpr double OFFSET = 0.05;
constexpr double DIVISOR = 0.1;
constexpr double STEP_SIZES[] = {0.2, 0.1, 0.05};
constexpr double ACCEPTANCE_MARGIN = 1e-10;
constexpr double PROBABILITY_FLOOR = 1e-12;
constexpr double COST_TOLERANCE = 1e-12;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double NEG_INF = -std::numeric_limits<double>::infinity();

// Entry q is bit q of the index: vertex q is qubit q.
Assignment assignment_of(uint64_t index, uint64_t n) {
    Assignment a(n);
    for (uint64_t q = 0; q < n; ++q) a[q] = (index >> q & 1) != 0;
    return a;
}

// The highest-cost state above the probability floor; within the cost
// tolerance the more probable one, and among equal probabilities the lower index.
std::pair<double, Assignment> exact_value(const Graph& graph,
                                          std::span<const complex::Complex> amplitudes) {
    const uint64_t n = graph.num_vertices;
    double expected = 0.0;
    Assignment best(n, false);
    double best_cost = maxcut_cost(graph, best);
    double best_probability = -1.0;
    for (uint64_t k = 0; k < amplitudes.size(); ++k) {
        const double probability = amplitudes[k].norm_sqr();
        if (probability <= PROBABILITY_FLOOR) continue;
        Assignment a = assignment_of(k, n);
        const double cost = maxcut_cost(graph, a);
        expected += probability * cost;
        if (cost > best_cost ||
            (std::abs(cost - best_cost) < COST_TOLERANCE && probability > best_probability)) {
            best = std::move(a);
            best_cost = cost;
            best_probability = probability;
        }
    }
    return {expected, std::move(best)};
}

// The count-weighted mean cut value of the measured outcomes. Among outcomes of
// equal cost the first in key order stays best.
Result<std::pair<double, Assignment>> sampled_value(const Graph& graph, const Circuit& circuit,
                                                    uint32_t shots, const Simulator& simulator) {
    // Qubit q into bit q, far below the classical limit: always accepted.
    Circuit measured = circuit;
    for (uint64_t q = 0; q < circuit.num_qubits(); ++q) measured.measure_into(q, q).value();
    auto run = simulator.run(measured, std::max(shots, 1u));
    if (!run) return fail(std::move(run).error());

    double expected = 0.0;
    Assignment best(graph.num_vertices, false);
    double best_cost = NEG_INF;
    for (const auto& [key, count] : outcomes_in_key_order(*run)) {
        Assignment a(key.size());
        for (size_t i = 0; i < key.size(); ++i) a[i] = key[i] == '1';
        const double cost = maxcut_cost(graph, a);
        if (cost > best_cost) {
            best = std::move(a);
            best_cost = cost;
        }
        expected += cost * count / run->total_shots;
    }
    return std::pair{expected, std::move(best)};
}

// One point of the optimiser's search.
struct Angles {
    std::vector<double> gammas;
    std::vector<double> betas;
};

Result<std::pair<double, Assignment>> evaluate(const Graph& graph, const Angles& at, uint32_t shots,
                                               const Simulator& simulator) {
    return evaluate_qaoa(graph, at.gammas, at.betas, shots, simulator);
}

// The central difference along every entry of one of the two angle lists.
Result<std::vector<double>> gradient(const Graph& graph, const Angles& at,
                                     std::vector<double> Angles::*list, uint32_t shots,
                                     const Simulator& simulator) {
    std::vector<double> grad;
    for (size_t i = 0; i < (at.*list).size(); ++i) {
        double value[2];
        for (int side = 0; side < 2; ++side) {
            Angles shifted = at;
            (shifted.*list)[i] = (at.*list)[i] + (side == 0 ? OFFSET : -OFFSET);
            auto e = evaluate(graph, shifted, shots, simulator);
            if (!e) return fail(std::move(e).error());
            value[side] = e->first;
        }
        grad.push_back((value[0] - value[1]) / DIVISOR);
    }
    return grad;
}

Angles step(const Angles& at, const std::vector<double>& grad_gamma,
            const std::vector<double>& grad_beta, double s) {
    Angles next = at;
    for (size_t i = 0; i < next.gammas.size(); ++i) {
        next.gammas[i] = at.gammas[i] + s * grad_gamma[i];
        next.betas[i] = at.betas[i] + s * grad_beta[i];
    }
    return next;
}

void keep_if_better(QaoaResult& r, const std::pair<double, Assignment>& e) {
    if (e.first > r.best_cost) {
        r.best_cost = e.first;
        r.best_solution = e.second;
    }
}

// Evaluations refuse an endpoint outside the register, but with no iteration
// run nothing has looked at the edges before the brute-force search reads them.
Result<void> check_endpoints(const Graph& graph) {
    for (const Edge& e : graph.edges)
        for (uint64_t endpoint : {e.u, e.v})
            if (endpoint >= graph.num_vertices)
                return fail(TesviError::QubitOutOfRange{endpoint, graph.num_vertices});
    return {};
}

}  // namespace

Graph Graph::triangle() {
    return {{{0, 1, 1.0}, {1, 2, 1.0}, {0, 2, 1.0}}, 3};
}

Graph Graph::square() {
    return {{{0, 1, 1.0}, {1, 2, 1.0}, {2, 3, 1.0}, {3, 0, 1.0}}, 4};
}

Graph Graph::petersen_5() {
    return {{{0, 1, 1.0}, {1, 2, 1.0}, {2, 3, 1.0}, {3, 4, 1.0}, {4, 0, 1.0}}, 5};
}

double maxcut_cost(const Graph& graph, const Assignment& assignment) {
    double cost = 0.0;
    for (const Edge& e : graph.edges) {
        if (e.u >= assignment.size() || e.v >= assignment.size()) return NaN;
        cost += assignment[e.u] != assignment[e.v] ? e.weight : 0.0;
    }
    return cost;
}

double classical_maxcut(const Graph& graph) {
    const uint64_t n = graph.num_vertices;
    if (n >= 64) return NaN;
    double best = NEG_INF;
    for (uint64_t a = 0; a < uint64_t{1} << n; ++a) {
        const double cost = maxcut_cost(graph, assignment_of(a, n));
        if (cost > best) best = cost;
    }
    return best;
}

Result<Circuit> qaoa_circuit(const Graph& graph, const std::vector<double>& gammas,
                             const std::vector<double>& betas) {
    auto made = Circuit::create(graph.num_vertices);
    if (!made) return fail(std::move(made).error());
    if (betas.size() < gammas.size())
        return fail(TesviError::SimulationError{"QAOA needs a beta for each of its " +
                                                std::to_string(gammas.size()) + " layers, got " +
                                                std::to_string(betas.size())});
    Circuit c = std::move(made).value();
    const uint64_t n = c.num_qubits();
    // Gates on qubits below the width are always accepted; only an edge's
    // endpoints can be refused, by its first CNOT.
    for (uint64_t q = 0; q < n; ++q) c.h(q).value();
    for (size_t i = 0; i < gammas.size(); ++i) {
        for (const Edge& e : graph.edges) {
            if (auto r = c.cnot(e.u, e.v); !r) return fail(std::move(r).error());
            // The same two qubits as the CNOT just accepted.
            c.rz(e.v, e.weight * (gammas[i] + gammas[i])).value();
            c.cnot(e.u, e.v).value();
        }
        for (uint64_t q = 0; q < n; ++q) c.rx(q, betas[i] + betas[i]).value();
        // A gate takes about a hundred nanoseconds to make.
        tesvi::interrupt::spend(100 * (3 * graph.edges.size() + n));
    }
    return c;
}

Result<std::pair<double, Assignment>> evaluate_qaoa(const Graph& graph,
                                                    const std::vector<double>& gammas,
                                                    const std::vector<double>& betas,
                                                    uint32_t shots, const Simulator& simulator) {
    auto circuit = qaoa_circuit(graph, gammas, betas);
    if (!circuit) return fail(std::move(circuit).error());
    if (!simulator.noise.is_ideal()) return sampled_value(graph, *circuit, shots, simulator);
    auto amplitudes = simulator.statevector(*circuit);
    if (!amplitudes) return fail(std::move(amplitudes).error());
    return exact_value(graph, *amplitudes);
}

namespace {

// Each layer holds three gates per edge and one per vertex; a gate is an
// instruction plus its name and at most sixteen matrix entries.
bool circuit_fits(const Graph& graph, uint64_t p) {
    constexpr uint64_t GATE_BYTES =
        sizeof(circuit::Instruction) + 16 * sizeof(complex::Complex) + 32;
    uint64_t per_layer, gates, bytes;
    return !__builtin_mul_overflow(graph.edges.size(), 3, &per_layer) &&
           !__builtin_add_overflow(per_layer, graph.num_vertices, &per_layer) &&
           !__builtin_mul_overflow(per_layer, p, &gates) &&
           !__builtin_mul_overflow(gates, GATE_BYTES, &bytes) && bytes <= tesvi::available_memory();
}

tesvi::Unexpected<TesviError> too_many_layers(uint64_t p) {
    return fail(TesviError::SimulationError{"QAOA with " + std::to_string(p) +
                                            " layers needs more memory than can be allocated"});
}

// Gradient ascent with a backtracking line search over the layer angles.
Result<QaoaResult> optimise(const Graph& graph, uint64_t p, uint64_t max_iterations, uint32_t shots,
                            const Simulator& simulator) {
    Angles at{std::vector<double>(p, START_ANGLE), std::vector<double>(p, START_ANGLE)};
    QaoaResult r{Assignment(graph.num_vertices, false), NEG_INF, {}, {}, std::nullopt, {}};
    for (uint64_t iteration = 0; iteration < max_iterations; ++iteration) {
        tesvi::interrupt::poll();
        auto here = evaluate(graph, at, shots, simulator);
        if (!here) return fail(std::move(here).error());
        const double value = here->first;
        r.cost_history.push_back(value);
        keep_if_better(r, *here);

        auto grad_gamma = gradient(graph, at, &Angles::gammas, shots, simulator);
        if (!grad_gamma) return fail(std::move(grad_gamma).error());
        auto grad_beta = gradient(graph, at, &Angles::betas, shots, simulator);
        if (!grad_beta) return fail(std::move(grad_beta).error());

        bool accepted = false;
        for (double s : STEP_SIZES) {
            Angles candidate = step(at, *grad_gamma, *grad_beta, s);
            auto there = evaluate(graph, candidate, shots, simulator);
            if (!there) return fail(std::move(there).error());
            if (there->first > value + ACCEPTANCE_MARGIN) {
                at = std::move(candidate);
                keep_if_better(r, *there);
                accepted = true;
                break;
            }
        }
        if (!accepted) break;
    }

    if (auto checked = check_endpoints(graph); !checked) return fail(std::move(checked).error());
    const double optimum = classical_maxcut(graph);
    if (optimum > 0.0) r.approximation_ratio = r.best_cost / optimum;
    r.optimal_gamma = std::move(at.gammas);
    r.optimal_beta = std::move(at.betas);
    return r;
}

}  // namespace

Result<QaoaResult> qaoa_maxcut(const Graph& graph, uint64_t p, uint64_t max_iterations,
                               uint32_t shots, const Simulator& simulator) {
    if (p == 0) return fail(TesviError::SimulationError{"QAOA requires at least one layer"});
    if (graph.num_vertices > MAX_VERTICES)
        return fail(TesviError::TooManyQubits{graph.num_vertices, MAX_VERTICES});
    if (!circuit_fits(graph, p)) return too_many_layers(p);
    try {
        return optimise(graph, p, max_iterations, shots, simulator);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return too_many_layers(p);
}

}  // namespace tesvi_quantum::algorithms::qaoa
