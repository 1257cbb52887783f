// The four Python classes and the library values they own.
#pragma once

#include "python/binding/class.hpp"
#include "quantum/circuit/circuit.hpp"
#include "quantum/noise.hpp"
#include "quantum/result.hpp"
#include "quantum/simulator/simulator.hpp"

namespace tesvi_python {

template <>
struct Class<tesvi_quantum::circuit::Circuit> {
    static const ClassSpec spec;
};
template <>
struct Class<tesvi_quantum::simulator::Simulator> {
    static const ClassSpec spec;
};
template <>
struct Class<tesvi_quantum::result::QuantumResult> {
    static const ClassSpec spec;
};
template <>
struct Class<tesvi_quantum::noise::NoiseModel> {
    static const ClassSpec spec;
};

using PyCircuit = Instance<tesvi_quantum::circuit::Circuit>;
using PySimulator = Instance<tesvi_quantum::simulator::Simulator>;
using PyQuantumResult = Instance<tesvi_quantum::result::QuantumResult>;
using PyNoiseModel = Instance<tesvi_quantum::noise::NoiseModel>;

}  // namespace tesvi_python
