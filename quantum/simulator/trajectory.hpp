// Monte-Carlo trajectories: every shot runs the whole circuit on a fresh
// state, with mid-circuit measurement into a classical register,
// conditional gates, and noise channels drawn from the run's stream.
#pragma once

#include <cstdint>
#include <vector>

#include "quantum/circuit/circuit.hpp"
#include "quantum/noise.hpp"
#include "quantum/result.hpp"
#include "quantum/simulator/random_stream.hpp"
#include "quantum/simulator/state_array.hpp"

namespace tesvi_quantum::simulator::trajectory {

// model == nullptr runs without noise: then only the measurements draw.
error::Result<result::QuantumResult> run_shot_mode(const circuit::Circuit& circuit, uint32_t shots,
                                                   RandomStream& rng, bool parallel,
                                                   const noise::NoiseModel* model);

error::Result<void> apply_channels_to_qubit(StateArray<complex::Complex>& state, uint64_t qubit,
                                            const std::vector<noise::NoiseChannel>& channels,
                                            RandomStream& rng, bool parallel);

}  // namespace tesvi_quantum::simulator::trajectory
