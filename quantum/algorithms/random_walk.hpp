// The discrete-time quantum walk on a line with a Hadamard coin, computed
// directly on the coin amplitudes of every position: no circuit, no
// simulator and no randomness, so the result depends on the step count alone.
#pragma once

#include <cstdint>
#include <vector>

#include "quantum/error.hpp"

namespace tesvi_quantum::algorithms::random_walk {

struct RandomWalkResult {
    std::vector<int64_t> positions;     // -steps .. steps
    std::vector<double> probabilities;  // of each position
    double variance;                    // the second moment about 0
};

// Refused with SimulationError when the walk's arrays cannot be had: their
// size grows with steps, and the work with its square.
error::Result<RandomWalkResult> quantum_random_walk(uint64_t steps);

}  // namespace tesvi_quantum::algorithms::random_walk
