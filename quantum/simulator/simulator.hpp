// The one entry through which circuits run. A run checks the request, picks
// a road (exact state vector, per-shot trajectories, or matrix-product state)
// and returns counts; statevector returns the final amplitudes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "quantum/circuit/circuit.hpp"
#include "quantum/complex.hpp"
#include "quantum/noise.hpp"
#include "quantum/result.hpp"
#include "quantum/simulator/random_stream.hpp"
#include "quantum/simulator/state_array.hpp"

namespace tesvi_quantum::simulator {

inline constexpr uint64_t AUTO_MPS_MIN_QUBITS = 21;
inline constexpr uint64_t AUTO_MPS_BOND_DIM = 64;
inline constexpr uint64_t MPS_DENSE_MAX_QUBITS = 20;

struct Backend {
    struct StateVector {
        bool operator==(const StateVector&) const = default;
    };
    struct Mps {
        uint64_t max_bond_dim;
        bool operator==(const Mps&) const = default;
    };
    struct Auto {
        bool operator==(const Auto&) const = default;
    };
    std::variant<StateVector, Mps, Auto> value;

    template <class V>
    Backend(V v) : value(v) {}
    Backend() : value(StateVector{}) {}
    bool operator==(const Backend&) const = default;
};

struct Simulator {
    std::optional<uint64_t> seed;
    Backend backend;
    noise::NoiseModel noise;
    bool parallel = true;
    bool use_soa = false;

    error::Result<result::QuantumResult> run(const circuit::Circuit& circuit, uint32_t shots) const;
    // The final amplitudes. On the state-vector road the state, and
    // `caller_bytes_per_amplitude` more for each amplitude (what the caller
    // will turn them into), must fit in the memory left, or the call fails
    // with InsufficientMemory before simulating.
    error::Result<StateArray<complex::Complex>> statevector(
        const circuit::Circuit& circuit, uint64_t caller_bytes_per_amplitude = 0) const;

    // A fresh stream for one call: from the seed, or from the OS entropy source.
    RandomStream make_stream() const;
};

struct SimulatorBuilder {
    std::optional<uint64_t> seed;
    Backend backend;
    noise::NoiseModel noise_model;
    bool parallel = true;
    bool use_soa = false;

    // A builder with the given noise model in place of this one's.
    SimulatorBuilder noise(noise::NoiseModel model) const {
        SimulatorBuilder b = *this;
        b.noise_model = std::move(model);
        return b;
    }
    Simulator build() const { return {seed, backend, noise_model, parallel, use_soa}; }
};

// The index drawn by walking b = 0, 1, ... over running sums of p until one
// exceeds u; the last index when none does. `cumulative` holds the left-to-right
// prefix sums, and `valid` how many of them precede the first NaN. The search
// starts at `from`, which must not lie past the answer.
// Draws `shots` uniform doubles from rng, one per shot, and hands every index
// they land on (as sample_index finds it) to `count` with how many landed
// there. Indices come in ascending order within each batch of 2^20 draws.
void sample_counts(std::span<const double> cumulative, size_t valid, uint32_t shots,
                   RandomStream& rng, const std::function<void(uint64_t, uint32_t)>& count);

uint64_t sample_index(std::span<const double> cumulative, size_t valid, double u,
                      uint64_t from = 0);

}  // namespace tesvi_quantum::simulator
