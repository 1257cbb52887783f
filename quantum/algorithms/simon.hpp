// Simon's algorithm: the hidden XOR mask s of a two-to-one function with
// f(x) = f(x ^ s), found from outcomes y of the input register, each a linear
// equation y . s = 0 over GF(2). Qubits 0..n-1 are the input register and
// n..2n-1 the output register; output qubit n + j pairs with input qubit j.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "quantum/circuit/circuit.hpp"
#include "quantum/error.hpp"
#include "quantum/simulator/simulator.hpp"

namespace tesvi_quantum::algorithms::simon {

// Element i is bit i: of the mask, of an outcome, or the coefficient of s_i.
using Bits = std::vector<bool>;

struct SimonResult {
    Bits secret;                 // the mask found
    uint64_t iterations_needed;  // the independent equations collected
};

// Collects equations until n - 1 are independent and solves them: from the
// exact outcome probabilities, likeliest first, under an ideal noise model,
// else from at most 3n single-shot runs.
error::Result<SimonResult> simon_algorithm(const Bits& secret,
                                           const simulator::Simulator& simulator);

// f(x)_j = x_j ^ (s_j & x_i) for j != i and f(x)_i = 0, where i is the first
// set bit of the secret. Gates appended before a failure stay.
error::Result<void> apply_hidden_xor_oracle(circuit::Circuit& circuit, uint64_t input_offset,
                                            uint64_t output_offset, const Bits& secret);

// The 2^n marginal probabilities of qubits 0..n-1 of the circuit's final state.
error::Result<std::vector<double>> input_register_probabilities(
    const circuit::Circuit& circuit, uint64_t n, const simulator::Simulator& simulator);

// n flags, least significant bit first.
Bits bits_from_index(uint64_t index, uint64_t n);
// One flag per character of the first n of the key, true exactly for '1'.
Bits bits_from_state(std::string_view key, uint64_t n);

// Rank over GF(2) of the rows restricted to columns 0..n-1; a missing column
// of a short row reads as 0.
uint64_t gf2_rank(const std::vector<Bits>& rows, uint64_t n);
bool increases_rank(const std::vector<Bits>& rows, const Bits& row, uint64_t n);
// The smallest non-zero solution c of every row . c = 0, reading c as an
// integer whose bit i is c_i; n false flags when only zero solves them.
Bits solve_gf2(const std::vector<Bits>& rows, uint64_t n);

}  // namespace tesvi_quantum::algorithms::simon
