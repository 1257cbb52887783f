#include "quantum/algorithms/qpe.hpp"

#include <cmath>
#include <string>

#include "quantum/algorithms/saturate.hpp"

namespace tesvi_quantum::algorithms::qpe {
namespace {

using circuit::Circuit;
using complex::Complex;
using error::fail;
using error::Result;
using error::TesviError;

constexpr double ZERO_WEIGHT = 1e-12;
constexpr double EIGEN_TOLERANCE = 1e-8;
// Phases this close below a full turn count as no phase at all.
constexpr double FULL_TURN = 0.999999999999;

Result<void> check_block(const gate::Gate& unitary) {
    const uint64_t k = unitary.num_qubits;
    if (k >= 1 && k <= 2 && unitary.matrix.size() == (size_t{1} << (2 * k))) return {};
    return fail(TesviError::SimulationError{
        "gate '" + unitary.name + "' has " + std::to_string(unitary.matrix.size()) +
        " matrix entries for " + std::to_string(k) + " qubits"});
}

// The angle of the eigenvalue as a fraction of a turn, in [0, 1).
double turn_fraction(Complex lambda) {
    const double theta = std::atan2(lambda.im, lambda.re) / gate::TWO_PI;
    double phi = std::fmod(theta, 1.0);
    if (phi < 0.0) phi += 1.0;
    return phi >= FULL_TURN ? 0.0 : phi;
}

// The low `bits` bits of v; all of them from 64 bits on.
uint64_t low_bits(uint64_t v, uint64_t bits) {
    return bits >= 64 ? v : v & ((uint64_t{1} << bits) - 1);
}

}  // namespace

Result<Complex> infer_eigenvalue(const gate::Gate& unitary,
                                 const std::pair<Complex, Complex>& amplitudes) {
    if (auto r = check_block(unitary); !r) return fail(std::move(r).error());
    const size_t d = size_t{1} << unitary.num_qubits;
    const Complex m00 = unitary.matrix[0], m01 = unitary.matrix[1];
    const Complex m10 = unitary.matrix[d], m11 = unitary.matrix[d + 1];
    const Complex psi[2] = {amplitudes.first, amplitudes.second};
    const Complex u_psi[2] = {m00 * psi[0] + m01 * psi[1], m10 * psi[0] + m11 * psi[1]};

    const int k = psi[1].norm_sqr() > psi[0].norm_sqr() ? 1 : 0;
    const double weight = psi[k].norm_sqr();
    if (weight <= ZERO_WEIGHT)
        return fail(TesviError::SimulationError{
            "eigenstate preparation produced a near-zero reference amplitude"});
    const Complex lambda = u_psi[k] * psi[k].conj() * (1.0 / weight);

    const int j = 1 - k;
    const double other = psi[j].norm_sqr();
    if (other > ZERO_WEIGHT) {
        const Complex lambda_j = u_psi[j] * psi[j].conj() * (1.0 / other);
        if ((lambda_j - lambda).norm_sqr() > EIGEN_TOLERANCE)
            return fail(TesviError::SimulationError{
                "provided state is not an eigenstate of the supplied unitary"});
    }
    return lambda;
}

Result<QpeResult> quantum_phase_estimation(const gate::Gate& unitary,
                                           const PrepareEigenstate& prepare_eigenstate,
                                           uint64_t precision_bits, uint32_t shots,
                                           const simulator::Simulator& simulator) {
    if (precision_bits == 0)
        return fail(TesviError::SimulationError{"QPE requires at least one precision qubit"});
    if (unitary.num_qubits != 1)
        return fail(
            TesviError::SimulationError{"QPE currently supports only single-qubit unitaries"});
    auto circuit = Circuit::create(saturating_add(precision_bits, 1));
    if (!circuit) return fail(std::move(circuit).error());
    prepare_eigenstate(*circuit);

    const auto amplitudes = simulator.statevector(*circuit);
    if (!amplitudes) return fail(amplitudes.error());
    if (amplitudes->size() <= uint64_t{1} << precision_bits)
        throw error::InternalFault("statevector returned fewer amplitudes than the register has");
    // The eigenstate qubit in |0> and in |1>, every precision qubit in |0>.
    const std::pair psi{(*amplitudes)[0], (*amplitudes)[uint64_t{1} << precision_bits]};
    const auto lambda = infer_eigenvalue(unitary, psi);
    if (!lambda) return fail(lambda.error());

    const double scale = std::ldexp(1.0, static_cast<int>(precision_bits));
    // A phase that rounds up to a full 2^precision_bits wraps to 0.
    const uint64_t measured =
        low_bits(saturating_u64(std::round(turn_fraction(*lambda) * scale)), precision_bits);
    QpeResult result{static_cast<double>(measured) / scale, measured, precision_bits, {}};
    result.counts.emplace(measured, shots);
    return result;
}

}  // namespace tesvi_quantum::algorithms::qpe
