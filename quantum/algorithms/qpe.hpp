// Phase estimation of a single-qubit unitary without the controlled-power
// circuit: the eigenstate is prepared on the highest qubit, the eigenvalue is
// read off two exact amplitudes, and its angle is quantised to the precision
// bits. Every shot is credited to that one quantised value.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "quantum/circuit/circuit.hpp"
#include "quantum/complex.hpp"
#include "quantum/error.hpp"
#include "quantum/gate.hpp"
#include "quantum/keyed_hash.hpp"
#include "quantum/simulator/simulator.hpp"

namespace tesvi_quantum::algorithms::qpe {

// The count maps' randomly keyed hashing, over the eight bytes of the value.
struct KeyedValueHash {
    KeyedHash bytes;
    size_t operator()(uint64_t v) const {
        char b[sizeof v];
        std::memcpy(b, &v, sizeof v);
        return bytes(std::string_view(b, sizeof b));
    }
};

using ValueCounts = std::unordered_map<uint64_t, uint32_t, KeyedValueHash>;

struct QpeResult {
    double phase;             // measured_value / 2^precision_bits, in [0, 1)
    uint64_t measured_value;  // the phase in units of 2^-precision_bits, reduced to that many bits
    uint64_t precision_bits;
    ValueCounts counts;  // measured_value -> shots, the only entry
};

// Appends the gates that prepare the eigenstate on qubit precision_bits,
// leaving every lower qubit in |0>.
using PrepareEigenstate = std::function<void(circuit::Circuit&)>;

error::Result<QpeResult> quantum_phase_estimation(const gate::Gate& unitary,
                                                  const PrepareEigenstate& prepare_eigenstate,
                                                  uint64_t precision_bits, uint32_t shots,
                                                  const simulator::Simulator& simulator);

// The eigenvalue of the unitary's top-left 2x2 block for the state (psi0, psi1),
// taken from the heavier component and checked against the other one when
// that carries weight.
error::Result<complex::Complex> infer_eigenvalue(
    const gate::Gate& unitary, const std::pair<complex::Complex, complex::Complex>& amplitudes);

}  // namespace tesvi_quantum::algorithms::qpe
