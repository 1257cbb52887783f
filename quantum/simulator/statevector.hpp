// In-place gate kernels over a dense state of 2^n amplitudes, and the
// projective measurement of one qubit. Qubit k is bit k of a basis index.
//
// A one-qubit gate updates independent pairs of amplitudes, a two-qubit gate
// independent quadruples; each update is computed by the same steps on
// whatever thread, which keeps the result bit-identical for any worker count.
// The block functions are the plain reference loops over one chunk of
// 2^(t+1) amplitudes.
#pragma once

#include <cstdint>
#include <vector>

#include "quantum/circuit/circuit.hpp"
#include "quantum/complex.hpp"
#include "quantum/error.hpp"
#include "quantum/gate.hpp"
#include "quantum/simulator/random_stream.hpp"
#include "quantum/simulator/state_array.hpp"

namespace tesvi_quantum::simulator::statevector {

using complex::Complex;
using error::Result;
using gate::Gate;

inline constexpr uint64_t PARALLEL_MIN_QUBITS = 16;
inline constexpr double PROBABILITY_EPSILON = 1e-15;

// The split storage: real and imaginary parts in two arrays of equal length.
struct StateVectorSoA {
    StateArray<double> re;
    StateArray<double> im;

    StateArray<Complex> into_aos() const;
};

// A register of n qubits in |0...0>, or InsufficientMemory when it cannot be
// allocated (always from 60 qubits on, where 16 * 2^n has no 64-bit value).
Result<StateArray<Complex>> zero_state(uint64_t num_qubits);
Result<StateVectorSoA> zero_state_soa(uint64_t num_qubits);

// 16 * 2^n, saturated at 2^64 - 1 where it does not fit.
uint64_t state_bytes(uint64_t num_qubits);

void apply_gate(StateArray<Complex>& state, const std::vector<uint64_t>& qubits, const Gate& gate,
                bool parallel);
void apply_1q(StateArray<Complex>& state, uint64_t target, const Gate& gate, bool parallel);
void apply_2q(StateArray<Complex>& state, uint64_t a, uint64_t b, const Gate& gate, bool parallel);
// Applies every gate of the list in order (other instructions are skipped),
// running consecutive gates that fit one cache-sized tile together.
void apply_gates(StateArray<Complex>& state, const std::vector<circuit::Instruction>& instructions,
                 bool parallel);
void apply_1q_block(Complex* chunk, uint64_t half, const Gate& gate);
void apply_2q_block(Complex* chunk, uint64_t a, uint64_t b, const Gate& gate);

void apply_gate_sequence_soa(StateVectorSoA& state,
                             const std::vector<circuit::Instruction>& instructions, bool parallel);
void apply_1q_soa(StateVectorSoA& state, uint64_t target, const Gate& gate, bool parallel);
void apply_2q_soa(StateVectorSoA& state, uint64_t a, uint64_t b, const Gate& gate, bool parallel);
void apply_1q_block_soa(double* re, double* im, uint64_t half, const Gate& gate);
void apply_2q_block_soa(double* re, double* im, uint64_t a, uint64_t b, const Gate& gate);

// Calls f(x[b], x[b + 2^q]) for every b with bit q clear, in ascending b.
template <class F>
inline void for_each_pair(StateArray<Complex>& x, uint64_t q, const F& f) {
    const uint64_t m = uint64_t{1} << q;
    for (uint64_t base = 0; base < x.size(); base += 2 * m)
        for (uint64_t b = base; b < base + m; ++b) f(x[b], x[b + m]);
}

// The sum of |a_b|^2 over the b with bit q set, added in ascending b from zero.
inline double probability_one(const StateArray<Complex>& x, uint64_t q) {
    const uint64_t m = uint64_t{1} << q;
    double p1 = 0.0;
    for (uint64_t base = 0; base < x.size(); base += 2 * m)
        for (uint64_t b = base + m; b < base + 2 * m; ++b) p1 += x[b].norm_sqr();
    return p1;
}

// Measures qubit q with one uniform draw and collapses the state onto the
// outcome; a branch of probability <= PROBABILITY_EPSILON is refused and the
// state left as it was.
Result<uint8_t> measure_qubit(StateArray<Complex>& state, uint64_t q, RandomStream& rng);

}  // namespace tesvi_quantum::simulator::statevector
