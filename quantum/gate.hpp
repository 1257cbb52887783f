// Named unitaries. A gate's name is a contract: the drawing and the OpenQASM
// writer recognise gates by it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quantum/complex.hpp"

namespace tesvi_quantum::gate {

using complex::Complex;

struct Gate {
    std::string name;
    std::vector<Complex> matrix;  // row-major, 2^k x 2^k
    uint64_t num_qubits = 1;

    static Gate single(std::string name, const Complex (&m)[4]);
    static Gate two_qubit(std::string name, const Complex (&m)[16]);

    // Conjugate transpose, named "{name}^dagger".
    Gate dagger() const;

    bool operator==(const Gate&) const = default;
};

// The constant 1/sqrt(2) in its two neighbouring roundings, as the matrices use them.
inline constexpr double FRAC_1_SQRT_2 = 0.7071067811865476;
inline constexpr double FRAC_1_SQRT_2_LOW = 0.7071067811865475;
inline constexpr double TWO_PI = 6.283185307179586;

Gate h();
Gate s();
Gate t();
Gate x();
Gate y();
Gate z();
Gate sx();
Gate sdg();
Gate tdg();
Gate rx(double theta);
Gate ry(double theta);
Gate rz(double theta);
Gate u3(double theta, double phi, double lambda);

Gate cnot();
Gate cy();
Gate cz();
Gate swap();
Gate crk(uint64_t k);
Gate rzz(double theta);

// The "{:.3}" angle text used in gate names.
std::string angle_text(double v);

}  // namespace tesvi_quantum::gate
