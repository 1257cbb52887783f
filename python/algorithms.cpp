// The algorithm functions. Each builds its own noiseless state-vector
// simulator from the caller's seed and returns a dict with fixed keys.
#include "python/algorithms.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "python/binding/call.hpp"
#include "python/binding/module.hpp"
#include "quantum/algorithms/qaoa.hpp"
#include "quantum/algorithms/qpe.hpp"
#include "quantum/algorithms/random_walk.hpp"
#include "quantum/algorithms/shor.hpp"
#include "quantum/algorithms/simon.hpp"
#include "quantum/algorithms/vqe.hpp"

namespace tesvi_python::algorithms {
namespace {

namespace qaoa = tesvi_quantum::algorithms::qaoa;
namespace qpe = tesvi_quantum::algorithms::qpe;
namespace shor = tesvi_quantum::algorithms::shor;
namespace simon = tesvi_quantum::algorithms::simon;
namespace vqe = tesvi_quantum::algorithms::vqe;
namespace walk = tesvi_quantum::algorithms::random_walk;
using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::error::Result;
using tesvi_quantum::gate::Gate;
using tesvi_quantum::simulator::Backend;
using tesvi_quantum::simulator::Simulator;

template <class T>
using Checked = tesvi::Expected<T, Error>;

// The algorithms' simulator: seeded by the caller, state vector, no noise.
Simulator simulator_for(std::optional<uint64_t> seed) {
    return Simulator{seed, Backend::StateVector{}, {}, true, false};
}

// The dict of a library result, or its error as ValueError.
template <class T, class Dict>
Checked<Ref> dict_of(const Result<T>& result, Dict dict) {
    if (!result) return tesvi::unexpected(value_error(result.error()));
    return dict(*result);
}

using Builder = Result<Circuit&> (Circuit::*)(uint64_t);

struct Eigenproblem {
    Gate unitary;
    std::vector<Builder> preparation;  // applied in order to the eigenstate qubit
};

// The unitaries by name, each with the eigenstates it accepts. Names are
// compared exactly: no trimming, no case folding.
std::optional<Eigenproblem> eigenproblem(const std::string& unitary,
                                         const std::string& eigenstate) {
    namespace gate = tesvi_quantum::gate;
    const bool one = eigenstate.empty() || eigenstate == "one";
    if (unitary == "i" || unitary == "identity")
        return Eigenproblem{Gate::single("I", {{1, 0}, {0, 0}, {0, 0}, {1, 0}}), {}};
    if (unitary == "s" && one) return Eigenproblem{gate::s(), {&Circuit::x}};
    if (unitary == "t" && one) return Eigenproblem{gate::t(), {&Circuit::x}};
    if (unitary == "z" && one) return Eigenproblem{gate::z(), {&Circuit::x}};
    if (unitary == "x" && eigenstate == "plus") return Eigenproblem{gate::x(), {&Circuit::h}};
    if (unitary == "x" && eigenstate == "minus")
        return Eigenproblem{gate::x(), {&Circuit::x, &Circuit::h}};
    return std::nullopt;
}

Checked<Ref> phase_estimation(std::string unitary, std::optional<std::string> eigenstate,
                              uint64_t precision_bits, uint32_t shots,
                              std::optional<uint64_t> seed) {
    const Simulator simulator = simulator_for(seed);
    const auto problem = eigenproblem(unitary, eigenstate.value_or(""));
    if (!problem)
        return tesvi::unexpected(
            value_error("unsupported phase-estimation unitary/eigenstate pair"));
    // The eigenstate qubit always exists, so the builders cannot fail.
    const auto prepare = [&](Circuit& circuit) {
        for (Builder b : problem->preparation) (void)(circuit.*b)(precision_bits);
    };
    return dict_of(
        qpe::quantum_phase_estimation(problem->unitary, prepare, precision_bits, shots, simulator),
        [](const qpe::QpeResult& r) {
            return fixed_dict(Field{"phase", r.phase}, Field{"measured_value", r.measured_value},
                              Field{"precision_bits", r.precision_bits}, Field{"counts", r.counts});
        });
}

Checked<Ref> shor_factor(uint64_t n, std::optional<uint64_t> seed) {
    return dict_of(shor::shor_factor(n, simulator_for(seed)), [](const shor::ShorResult& r) {
        const std::vector<uint64_t> factors{r.factors.first, r.factors.second};
        return fixed_dict(Field{"n", r.n}, Field{"factors", factors}, Field{"base_a", r.base_a},
                          Field{"period_r", r.period}, Field{"period", r.period},
                          Field{"attempts", r.attempts}, Field{"success", r.success});
    });
}

Checked<Ref> vqe_hydrogen(uint64_t max_iterations, uint32_t shots, std::optional<uint64_t> seed) {
    return dict_of(vqe::vqe(vqe::Hamiltonian::hydrogen_molecule(), vqe::Ansatz::RyCnotChain{},
                            {0.0, 0.0}, max_iterations, shots, simulator_for(seed)),
                   [](const vqe::VqeResult& r) {
                       return fixed_dict(
                           Field{"energy", r.energy}, Field{"optimal_params", r.optimal_params},
                           Field{"params", r.optimal_params},
                           Field{"energy_history", r.energy_history},
                           Field{"iterations", r.iterations}, Field{"converged", r.converged});
                   });
}

// The edge list as (u, v, weight) triples, else as (u, v) pairs of weight
// 1.0; nothing when neither reading works. The conversion errors are dropped.
std::optional<std::vector<qaoa::Edge>> read_edges(PyObject* edges) {
    if (PyUnicode_Check(edges)) return std::nullopt;
    std::vector<qaoa::Edge> out;
    if (std::vector<std::tuple<uint64_t, uint64_t, double>> triples; from_python(edges, triples)) {
        for (const auto& [u, v, w] : triples) out.push_back({u, v, w});
        return out;
    }
    PyErr_Clear();
    if (std::vector<std::tuple<uint64_t, uint64_t>> pairs; from_python(edges, pairs)) {
        for (const auto& [u, v] : pairs) out.push_back({u, v, 1.0});
        return out;
    }
    PyErr_Clear();
    return std::nullopt;
}

Checked<qaoa::Graph> graph_from_edges(PyObject* edges, std::optional<uint64_t> num_vertices) {
    auto list = read_edges(edges);
    if (!list)
        return tesvi::unexpected(
            value_error("edges must be a list of (u, v) or (u, v, weight) tuples"));
    if (!num_vertices)
        return tesvi::unexpected(value_error("num_vertices is required when edges are provided"));
    if (*num_vertices == 0)
        return tesvi::unexpected(value_error("num_vertices must be greater than zero"));
    for (const qaoa::Edge& e : *list)
        if (e.u >= *num_vertices || e.v >= *num_vertices)
            return tesvi::unexpected(value_error("edge (" + std::to_string(e.u) + ", " +
                                                 std::to_string(e.v) + ") is out of range for " +
                                                 std::to_string(*num_vertices) + " vertices"));
    return qaoa::Graph{std::move(*list), *num_vertices};
}

Checked<qaoa::Graph> named_graph(const std::string& name) {
    if (name == "triangle") return qaoa::Graph::triangle();
    if (name == "square") return qaoa::Graph::square();
    if (name == "petersen_5" || name == "petersen") return qaoa::Graph::petersen_5();
    return tesvi::unexpected(
        value_error("unknown graph '" + name + "', expected triangle, square, or petersen_5"));
}

Checked<Ref> qaoa_maxcut_py(PyObject* edges, std::optional<uint64_t> num_vertices,
                            std::optional<std::string> graph, uint64_t p, uint64_t max_iterations,
                            uint32_t shots, std::optional<uint64_t> seed) {
    const Simulator simulator = simulator_for(seed);
    auto chosen = edges != Py_None ? graph_from_edges(edges, num_vertices)
                                   : named_graph(graph.value_or("square"));
    if (!chosen) return tesvi::unexpected(std::move(chosen).error());
    return dict_of(qaoa::qaoa_maxcut(*chosen, p, max_iterations, shots, simulator),
                   [](const qaoa::QaoaResult& r) {
                       std::string solution;
                       for (bool side : r.best_solution) solution += side ? '1' : '0';
                       return fixed_dict(
                           Field{"best_solution", solution}, Field{"solution", solution},
                           Field{"best_cost", r.best_cost}, Field{"cost", r.best_cost},
                           Field{"optimal_gamma", r.optimal_gamma},
                           Field{"optimal_beta", r.optimal_beta},
                           Field{"approximation_ratio", r.approximation_ratio},
                           Field{"cost_history", r.cost_history});
                   });
}

Checked<Ref> simon_hidden_xor(std::vector<bool> secret, std::optional<uint64_t> seed) {
    if (std::find(secret.begin(), secret.end(), true) == secret.end())
        return tesvi::unexpected(value_error("Simon secret must be a non-zero bitstring"));
    return dict_of(simon::simon_algorithm(secret, simulator_for(seed)),
                   [](const simon::SimonResult& r) {
                       return fixed_dict(Field{"secret", r.secret},
                                         Field{"iterations_needed", r.iterations_needed});
                   });
}

Checked<Ref> random_walk(uint64_t steps) {
    return dict_of(walk::quantum_random_walk(steps), [](const walk::RandomWalkResult& r) {
        return fixed_dict(Field{"positions", r.positions}, Field{"probabilities", r.probabilities},
                          Field{"variance", r.variance});
    });
}

constexpr Param kPhaseEstimation[] = {required("unitary"), defaulted("eigenstate"),
                                      defaulted("precision_bits", 3), defaulted("shots", 1024),
                                      defaulted("seed")};
constexpr Param kShor[] = {required("n"), defaulted("seed")};
constexpr Param kVqe[] = {defaulted("max_iterations", 30), defaulted("shots", 1000),
                          defaulted("seed")};
constexpr Param kQaoa[] = {
    defaulted("edges"), defaulted("num_vertices"),       defaulted("graph"),
    defaulted("p", 2),  defaulted("max_iterations", 20), defaulted("shots", 1000),
    defaulted("seed")};
constexpr Param kSimon[] = {required("secret"), defaulted("seed")};
constexpr Param kSteps[] = {required("steps")};

// No doc texts: the docstrings are text signatures alone, and __doc__ is None.
constexpr Signature kPhaseEstimationSig{nullptr, "phase_estimation", kPhaseEstimation};
constexpr Signature kShorSig{nullptr, "shor_factor", kShor};
constexpr Signature kVqeSig{nullptr, "vqe_hydrogen", kVqe};
constexpr Signature kQaoaSig{nullptr, "qaoa_maxcut", kQaoa};
constexpr Signature kSimonSig{nullptr, "simon_hidden_xor", kSimon};
constexpr Signature kRandomWalkSig{nullptr, "random_walk", kSteps};

PyMethodDef definitions[] = {
    function<kPhaseEstimationSig, &phase_estimation>(),
    function<kShorSig, &shor_factor>(),
    function<kVqeSig, &vqe_hydrogen>(),
    function<kQaoaSig, &qaoa_maxcut_py>(),
    function<kSimonSig, &simon_hidden_xor>(),
    function<kRandomWalkSig, &random_walk>(),
};

}  // namespace

int register_impl(PyObject* module) {
    return add_functions(module, definitions);
}

}  // namespace tesvi_python::algorithms
