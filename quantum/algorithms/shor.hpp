// Shor factoring with the quantum part emulated classically: the period of a
// base is found by brute force, the phase a measurement would give is drawn
// at random and post-processed by continued fractions. Even numbers and
// perfect powers are split before that; the emulated path takes odd numbers
// whose phase register needs at most 16 bits.
#pragma once

#include <cstdint>
#include <utility>

#include "quantum/error.hpp"
#include "quantum/simulator/simulator.hpp"

namespace tesvi_quantum::algorithms::shor {

inline constexpr uint64_t MIN_N = 4;
inline constexpr uint64_t MAX_BASES = 10;
inline constexpr uint64_t MAX_REGISTER_BITS = 16;
inline constexpr uint64_t MIN_REGISTER_BITS = 4;

struct ShorResult {
    uint64_t n;
    std::pair<uint64_t, uint64_t> factors;  // (f, n / f), or (1, n) on failure
    uint64_t base_a;  // 2 for even n, the root of a perfect power, 0 on failure
    uint64_t period;  // 0 for the shortcuts and on failure
    uint32_t attempts;
    bool success;
};

// Failing to factor is a result with success false. Only the simulator's seed
// is used: the random choices come from a stream seeded from it, or from
// entropy when it has none.
error::Result<ShorResult> shor_factor(uint64_t n, const simulator::Simulator& simulator);

}  // namespace tesvi_quantum::algorithms::shor
