#include "quantum/gate.hpp"

#include <algorithm>
#include <cmath>

#include "common/format.hpp"

namespace tesvi_quantum::gate {
namespace {

constexpr double C = FRAC_1_SQRT_2;
constexpr double S = FRAC_1_SQRT_2_LOW;
constexpr Complex ZERO{0.0, 0.0};
constexpr Complex ONE{1.0, 0.0};
constexpr Complex I{0.0, 1.0};

// Negation of a real entry: the imaginary part becomes -0.0.
constexpr Complex neg(Complex a) {
    return -a;
}

// e^(i x) as cos x + i sin x.
Complex cis(double x) {
    return {std::cos(x), std::sin(x)};
}

Gate diagonal2(std::string name, Complex d0, Complex d1, Complex d2, Complex d3) {
    return Gate::two_qubit(std::move(name), {d0, ZERO, ZERO, ZERO,  //
                                             ZERO, d1, ZERO, ZERO,  //
                                             ZERO, ZERO, d2, ZERO,  //
                                             ZERO, ZERO, ZERO, d3});
}

}  // namespace

Gate Gate::single(std::string name, const Complex (&m)[4]) {
    return Gate{std::move(name), std::vector<Complex>(m, m + 4), 1};
}

Gate Gate::two_qubit(std::string name, const Complex (&m)[16]) {
    return Gate{std::move(name), std::vector<Complex>(m, m + 16), 2};
}

Gate Gate::dagger() const {
    const uint64_t d = uint64_t{1} << num_qubits;
    std::vector<Complex> m(matrix.size());
    for (uint64_t i = 0; i < d; ++i)
        for (uint64_t j = 0; j < d; ++j) m[i * d + j] = matrix[j * d + i].conj();
    return Gate{name + "^dagger", std::move(m), num_qubits};
}

std::string angle_text(double v) {
    return tesvi::format_fixed(v, 3);
}

Gate h() {
    return Gate::single("H", {{C, 0}, {C, 0}, {C, 0}, neg({C, 0})});
}
Gate s() {
    return Gate::single("S", {ONE, ZERO, ZERO, I});
}
Gate t() {
    return Gate::single("T", {ONE, ZERO, ZERO, {C, S}});
}
Gate x() {
    return Gate::single("X", {ZERO, ONE, ONE, ZERO});
}
Gate y() {
    return Gate::single("Y", {ZERO, {0.0, -1.0}, I, ZERO});
}
Gate z() {
    return Gate::single("Z", {ONE, ZERO, ZERO, neg(ONE)});
}
Gate sx() {
    return Gate::single("SX", {{0.5, 0.5}, {0.5, -0.5}, {0.5, -0.5}, {0.5, 0.5}});
}
Gate sdg() {
    return Gate::single("Sdg", {ONE, ZERO, ZERO, {0.0, -1.0}});
}
Gate tdg() {
    return Gate::single("Tdg", {ONE, ZERO, ZERO, {C, -S}});
}

Gate rx(double theta) {
    const double a = theta / 2;
    const Complex c{std::cos(a), 0.0};
    const Complex ms{0.0, -std::sin(a)};
    return Gate::single("Rx(" + angle_text(theta) + ")", {c, ms, ms, c});
}

Gate ry(double theta) {
    const double a = theta / 2;
    const Complex c{std::cos(a), 0.0};
    const Complex sn{std::sin(a), 0.0};
    return Gate::single("Ry(" + angle_text(theta) + ")", {c, neg(sn), sn, c});
}

Gate rz(double theta) {
    return Gate::single("Rz(" + angle_text(theta) + ")",
                        {cis(-theta / 2), ZERO, ZERO, cis(theta / 2)});
}

Gate u3(double theta, double phi, double lambda) {
    const double a = theta / 2;
    const double c = std::cos(a), sn = std::sin(a);
    return Gate::single(
        "U3(" + angle_text(theta) + "," + angle_text(phi) + "," + angle_text(lambda) + ")",
        {{c, 0.0}, -(cis(lambda) * sn), cis(phi) * sn, cis(phi + lambda) * c});
}

Gate cnot() {
    return Gate::two_qubit("CNOT", {ONE, ZERO, ZERO, ZERO,  //
                                    ZERO, ONE, ZERO, ZERO,  //
                                    ZERO, ZERO, ZERO, ONE,  //
                                    ZERO, ZERO, ONE, ZERO});
}

Gate cy() {
    return Gate::two_qubit("CY", {ONE,
                                  ZERO,
                                  ZERO,
                                  ZERO,  //
                                  ZERO,
                                  ONE,
                                  ZERO,
                                  ZERO,  //
                                  ZERO,
                                  ZERO,
                                  ZERO,
                                  {0.0, -1.0},  //
                                  ZERO,
                                  ZERO,
                                  I,
                                  ZERO});
}

Gate cz() {
    return diagonal2("CZ", ONE, ONE, ONE, neg(ONE));
}

Gate swap() {
    return Gate::two_qubit("SWAP", {ONE, ZERO, ZERO, ZERO,  //
                                    ZERO, ZERO, ONE, ZERO,  //
                                    ZERO, ONE, ZERO, ZERO,  //
                                    ZERO, ZERO, ZERO, ONE});
}

Gate crk(uint64_t k) {
    const int e = static_cast<int>(std::min<uint64_t>(k, 2147483647));
    const double b = TWO_PI / std::pow(2.0, e);
    return diagonal2("CR" + std::to_string(k), ONE, ONE, ONE, cis(b));
}

Gate rzz(double theta) {
    const Complex m = cis(-theta / 2), p = cis(theta / 2);
    return diagonal2("Rzz(" + angle_text(theta) + ")", m, p, p, m);
}

}  // namespace tesvi_quantum::gate
