#include "quantum/qasm/builtin.hpp"

#include <cmath>

namespace tesvi_quantum::qasm::parser {
namespace {

using Applications = std::vector<GateApplication>;

constexpr double FRAC_PI_2 = 1.5707963267948966;

// crk takes a non-negative value within 1e-9 of an integer (-0 counts, NaN and
// infinities do not); beyond the unsigned range k saturates.
std::optional<uint64_t> crk_exponent(double p) {
    if (!(p >= 0)) return std::nullopt;
    const double nearest = std::round(p);
    if (!(std::fabs(nearest - p) < 1e-9)) return std::nullopt;
    if (nearest >= 18446744073709551616.0) return UINT64_MAX;
    return static_cast<uint64_t>(nearest);
}

// The decomposition the circuit's toffoli builder uses: controls a, b; target c.
Applications ccx(uint64_t a, uint64_t b, uint64_t c) {
    return {
        {gate::h(), {c}}, {gate::cnot(), {b, c}}, {gate::tdg(), {c}},     {gate::cnot(), {a, c}},
        {gate::t(), {c}}, {gate::cnot(), {b, c}}, {gate::tdg(), {c}},     {gate::cnot(), {a, c}},
        {gate::t(), {b}}, {gate::t(), {c}},       {gate::h(), {c}},       {gate::cnot(), {a, b}},
        {gate::t(), {a}}, {gate::tdg(), {b}},     {gate::cnot(), {a, b}},
    };
}

std::optional<gate::Gate> fixed_one_qubit(std::string_view name) {
    if (name == "h") return gate::h();
    if (name == "x") return gate::x();
    if (name == "y") return gate::y();
    if (name == "z") return gate::z();
    if (name == "s") return gate::s();
    if (name == "t") return gate::t();
    if (name == "sdg") return gate::sdg();
    if (name == "tdg") return gate::tdg();
    return std::nullopt;
}

std::optional<gate::Gate> rotation(std::string_view name, const std::vector<double>& p) {
    if (p.size() == 1) {
        if (name == "rx") return gate::rx(p[0]);
        if (name == "ry") return gate::ry(p[0]);
        if (name == "rz" || name == "u1") return gate::rz(p[0]);
    }
    if (p.size() == 2 && name == "u2") return gate::u3(FRAC_PI_2, p[0], p[1]);
    if (p.size() == 3 && (name == "u3" || name == "u")) return gate::u3(p[0], p[1], p[2]);
    return std::nullopt;
}

std::optional<gate::Gate> two_qubit(std::string_view name, const std::vector<double>& p) {
    if (p.empty()) {
        if (name == "cx") return gate::cnot();
        if (name == "cz") return gate::cz();
        if (name == "swap") return gate::swap();
    }
    if (p.size() == 1 && name == "crk")
        if (const auto k = crk_exponent(p[0])) return gate::crk(*k);
    return std::nullopt;
}

}  // namespace

std::optional<Applications> builtin_gate(std::string_view name, const std::vector<double>& values,
                                         const std::vector<uint64_t>& qubits) {
    switch (qubits.size()) {
        case 1: {
            if (values.empty() && name == "id") return Applications{};
            auto g = values.empty() ? fixed_one_qubit(name) : rotation(name, values);
            if (g) return Applications{{std::move(*g), qubits}};
            return std::nullopt;
        }
        case 2: {
            auto g = two_qubit(name, values);
            if (g) return Applications{{std::move(*g), qubits}};
            return std::nullopt;
        }
        case 3:
            if (values.empty() && name == "ccx") return ccx(qubits[0], qubits[1], qubits[2]);
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

}  // namespace tesvi_quantum::qasm::parser
