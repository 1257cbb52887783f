// The Python class Simulator: a state-vector simulator fixed at construction.
#include <optional>
#include <utility>
#include <vector>

#include "python/binding/call.hpp"
#include "python/classes.hpp"

namespace tesvi_python {
namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::error::Result;
using tesvi_quantum::noise::NoiseModel;
using tesvi_quantum::simulator::Backend;
using tesvi_quantum::simulator::Simulator;
using tesvi_quantum::simulator::SimulatorBuilder;

constexpr Param kNewParams[] = {defaulted("seed"), defaulted("noise"), defaulted("parallel", true)};
constexpr Param kRunParams[] = {required("circuit"), defaulted("shots", 1000)};
constexpr Param kCircuit[] = {required("circuit")};

constexpr Signature kNew{"Simulator", "__new__", kNewParams,
                         "State-vector quantum simulator with optional Monte Carlo noise."};
constexpr Signature kRun{"Simulator", "run", kRunParams, "Run a circuit for `shots` executions."};
constexpr Signature kStatevector{
    "Simulator", "statevector", kCircuit,
    "Return the final noiseless state vector as `(real, imag)` tuples."};
constexpr Signature kProbabilities{"Simulator", "probabilities", kCircuit,
                                   "Return the basis-state probabilities for a noiseless circuit."};

Simulator create(std::optional<uint64_t> seed, const NoiseModel* noise, bool parallel) {
    SimulatorBuilder builder{seed, Backend::StateVector{}, NoiseModel::ideal(), parallel, false};
    if (noise) builder = builder.noise(*noise);
    return builder.build();
}

// Amplitudes as (real, imaginary) tuples in basis-index order, built straight
// from the library's vector so that no second copy of the state is made.
Result<Ref> statevector(const Simulator& sim, const Circuit& circuit) {
    auto state = sim.statevector(circuit);
    if (!state) return tesvi::unexpected(std::move(state).error());
    Ref list(PyList_New(static_cast<Py_ssize_t>(state->size())));
    for (size_t b = 0; list && b < state->size(); ++b) {
        PyObject* pair = Py_BuildValue("(dd)", (*state)[b].re, (*state)[b].im);
        if (!pair) return Ref();
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(b), pair);
    }
    return list;
}

Result<std::vector<double>> probabilities(const Simulator& sim, const Circuit& circuit) {
    auto state = sim.statevector(circuit);
    if (!state) return tesvi::unexpected(std::move(state).error());
    std::vector<double> out;
    out.reserve(state->size());
    for (const auto& a : *state) out.push_back(a.re * a.re + a.im * a.im);
    return out;
}

const char* repr(const Simulator&) {
    return "Simulator(StateVector)";
}

PyMethodDef methods[] = {
    method<kRun, &Simulator::run>(),
    method<kStatevector, &statevector>(),
    method<kProbabilities, &probabilities>(),
    {},
};

PyType_Slot slots[] = {
    {Py_tp_methods, methods},
    constructor<kNew, &create>(),
    text_slot<Py_tp_repr, &repr>(),
    text_slot<Py_tp_str, &repr>(),
    {0, nullptr},
};

}  // namespace

const ClassSpec Class<Simulator>::spec = {
    "tesvi.Simulator",
    docstring<kNew, Form::Class>(),
    slots,
};

}  // namespace tesvi_python
