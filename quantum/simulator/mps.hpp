// The matrix-product-state backend: the state as a chain of small tensors,
// one site per qubit, joined by bonds capped at max_bond_dim. One-qubit gates
// update a site in place; two-qubit gates act on neighbouring sites, whose
// joint block is split again by a singular value decomposition that drops
// singular values at or below MPS_EPSILON and all beyond the cap. Distant
// qubits are brought together by SWAPs first.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "quantum/circuit/circuit.hpp"
#include "quantum/complex.hpp"
#include "quantum/error.hpp"
#include "quantum/gate.hpp"
#include "quantum/simulator/random_stream.hpp"
#include "quantum/simulator/state_array.hpp"

namespace tesvi_quantum::simulator::mps {

using complex::Complex;

// The singular-value cutoff and the probability floor of sampling.
inline constexpr double MPS_EPSILON = 1e-12;

// Bit k is qubit k. Wide enough for every qubit a circuit may hold, so keys
// of circuits beyond 64 qubits still tell all their qubits apart.
using BasisIndex = unsigned __int128;
inline constexpr uint64_t MPS_MAX_SITES = 128;

// The most one chain may hold at once: its sites plus the working copies of a
// two-site update (the block, its decomposition, U and V). An update that
// would need more is refused with InsufficientMemory before it allocates.
inline constexpr uint64_t MPS_MAX_BYTES = uint64_t{1} << 32;

// One site: entry (l, p, r) at (l * 2 + p) * right_dim + r.
struct MPSTensor {
    std::vector<Complex> data;
    uint64_t left_dim = 1;
    uint64_t right_dim = 1;
};

// (basis index, number of shots that drew it), by count descending, then index ascending.
using SampleList = std::vector<std::pair<BasisIndex, uint64_t>>;

class MPSSimulator {
  public:
    std::vector<MPSTensor> tensors;
    uint64_t num_qubits = 0;
    uint64_t max_bond_dim = 1;
    double truncation_error = 0.0;

    // n sites, each |0>. A bond limit of 0 or more than MPS_MAX_SITES sites is
    // a caller fault: the facade refuses both before it builds a chain.
    MPSSimulator(uint64_t num_qubits, uint64_t max_bond_dim);

    // Applies the instructions in order; those before a failing one stay applied.
    error::Result<void> apply_instructions(const std::vector<circuit::Instruction>& instructions);
    error::Result<void> apply_1q(uint64_t qubit, const gate::Gate& gate);
    // Any two distinct qubits, routed next to each other by SWAPs and back.
    error::Result<void> apply_2q(uint64_t a, uint64_t b, const gate::Gate& gate);
    // Sites s and s + 1, the gate's first qubit on site s.
    error::Result<void> apply_adjacent_2q(uint64_t site, const gate::Gate& gate);

    // Draws every shot site by site from the chain: one uniform per site per
    // shot. A chain holding NaN or infinity is a SimulationError.
    error::Result<SampleList> measure(uint32_t shots, RandomStream& rng) const;

    // Complex entries held by all sites.
    uint64_t stored_entries() const;
};

// w[r] = sum over l of v[l] * data(l, p, r); v may be shorter than left_dim.
std::vector<Complex> propagate_branch(const std::vector<Complex>& v, const MPSTensor& tensor,
                                      unsigned p);

// The amplitude of one basis state; nothing when the contraction ends empty.
std::optional<Complex> amplitude_for_basis(const std::vector<MPSTensor>& tensors, BasisIndex basis);

// Every amplitude in basis order, each the value amplitude_for_basis gives
// (0 where it gives nothing). Shared prefixes are contracted once. For at
// most 20 sites.
StateArray<Complex> dense_amplitudes(const std::vector<MPSTensor>& tensors);

}  // namespace tesvi_quantum::simulator::mps
