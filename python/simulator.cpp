// The Python class Simulator: a state-vector simulator fixed at construction.
#include <cstring>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "python/binding/call.hpp"
#include "python/classes.hpp"

namespace tesvi_python {
namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::complex::Complex;
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

// What one amplitude costs once converted, with the list slot: a tuple of two
// floats (64 + 2 * 32 bytes from the object allocator) or one float. The
// memory check counts these beside the state itself.
constexpr uint64_t TUPLE_ITEM_BYTES = 8 + 64 + 2 * 32, FLOAT_ITEM_BYTES = 8 + 32;

bool same_bits(const Complex& a, const Complex& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A list of one new object per amplitude, made by `make` (a new reference or
// null). Equal neighbours (bit for bit, so -0.0 and NaN payloads stay apart)
// share one object: the values are immutable, and zero-filled or uniform
// states then cost little more than their list.
template <class Make>
Result<Ref> amplitude_list(std::span<const Complex> state, const Make& make) {
    Ref list(PyList_New(static_cast<Py_ssize_t>(state.size())));
    PyObject* previous = nullptr;
    for (size_t b = 0; list && b < state.size(); ++b) {
        PyObject* item = nullptr;
        if (previous && same_bits(state[b], state[b - 1])) {
            Py_INCREF(previous);
            item = previous;
        } else if (!(item = make(state[b]))) {
            return Ref();
        }
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(b), item);
        previous = item;
    }
    return list;
}

PyObject* pair_of(const Complex& a) {
    Ref re(PyFloat_FromDouble(a.re)), im(PyFloat_FromDouble(a.im));
    if (!re || !im) return nullptr;
    return PyTuple_Pack(2, re.get(), im.get());
}

PyObject* probability_of(const Complex& a) {
    return PyFloat_FromDouble(a.re * a.re + a.im * a.im);
}

// Amplitudes as (real, imaginary) tuples in basis-index order, built straight
// from the library's vector so that no second copy of the state is made.
Result<Ref> statevector(const Simulator& sim, const Circuit& circuit) {
    auto state = sim.statevector(circuit, TUPLE_ITEM_BYTES);
    if (!state) return tesvi::unexpected(std::move(state).error());
    return amplitude_list(*state, pair_of);
}

Result<Ref> probabilities(const Simulator& sim, const Circuit& circuit) {
    auto state = sim.statevector(circuit, FLOAT_ITEM_BYTES);
    if (!state) return tesvi::unexpected(std::move(state).error());
    return amplitude_list(*state, probability_of);
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
