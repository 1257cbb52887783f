// Simulators and readers shared by the QAOA and VQE tests.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "quantum/circuit/circuit.hpp"
#include "quantum/noise.hpp"
#include "quantum/simulator/simulator.hpp"
#include "tests/support/circuit_steps.hpp"

namespace variational_test {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::circuit::Instruction;
using tesvi_quantum::noise::NoiseChannel;
using tesvi_quantum::noise::NoiseModel;
using tesvi_quantum::simulator::Backend;
using tesvi_quantum::simulator::Simulator;

inline Simulator exact(std::optional<uint64_t> seed = std::nullopt) {
    return Simulator{seed, {}, NoiseModel::ideal(), true, false};
}

// Noise far too weak to change an outcome, but enough to send runs down the sampled road.
inline Simulator sampled(std::optional<uint64_t> seed, Backend backend = {}) {
    return Simulator{seed, backend, NoiseModel{{NoiseChannel::Depolarizing(1e-12)}, {}, {}, {}},
                     true, false};
}

// The display text of a failed result, or "" for a success.
template <class R>
std::string error_text(const R& r) {
    return r ? std::string() : r.error().message();
}

using tesvi_test::Step;
using tesvi_test::steps;

}  // namespace variational_test
