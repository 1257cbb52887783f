// Circuits and comparisons shared by the chain and road tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "quantum/circuit/circuit.hpp"
#include "quantum/simulator/mps.hpp"

namespace mps_test {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::complex::Complex;
using tesvi_quantum::simulator::mps::MPSSimulator;
using tesvi_quantum::simulator::mps::MPSTensor;

inline Circuit make(uint64_t num_qubits) {
    return Circuit::create(num_qubits).value();
}

// A circuit of `gates` gates drawn from every builder, with two-qubit gates on
// pairs at any distance and in both orders, so routing and the exchanged gate
// are exercised.
inline Circuit random_circuit(uint64_t n, int gates, uint64_t seed) {
    std::mt19937_64 gen(seed);
    auto qubit = [&] { return gen() % n; };
    auto angle = [&] { return static_cast<double>(gen() % 10000) * 1e-3 - 5.0; };
    Circuit c = make(n);
    for (int i = 0; i < gates; ++i) {
        const uint64_t a = qubit();
        uint64_t b = qubit();
        if (n > 1)
            while (b == a) b = qubit();
        const uint64_t kind = n > 1 ? gen() % 16 : gen() % 9;
        switch (kind) {
            case 0:
                c.h(a).value();
                break;
            case 1:
                c.t(a).value();
                break;
            case 2:
                c.sx(a).value();
                break;
            case 3:
                c.sdg(a).value();
                break;
            case 4:
                c.rx(a, angle()).value();
                break;
            case 5:
                c.ry(a, angle()).value();
                break;
            case 6:
                c.rz(a, angle()).value();
                break;
            case 7:
                c.u3(a, angle(), angle(), angle()).value();
                break;
            case 8:
                c.y(a).value();
                break;
            case 9:
                c.cnot(a, b).value();
                break;
            case 10:
                c.cy(a, b).value();
                break;
            case 11:
                c.cz(a, b).value();
                break;
            case 12:
                c.swap(a, b).value();
                break;
            case 13:
                c.rzz(a, b, angle()).value();
                break;
            case 14:
                c.crk(a, b, 1 + gen() % 4).value();
                break;
            default:
                c.custom_gate(tesvi_quantum::gate::cy().dagger(), {a, b}).value();
                break;
        }
    }
    return c;
}

// `layers` rounds of a random u3 on every qubit followed by CNOTs on a random
// matching, so most pairs are far apart and routed through SWAPs.
inline Circuit random_layers(uint64_t n, int layers, uint64_t seed) {
    std::mt19937_64 gen(seed);
    auto angle = [&] { return static_cast<double>(gen() % 100000) * 1e-4 - 5.0; };
    std::vector<uint64_t> order(n);
    for (uint64_t q = 0; q < n; ++q) order[q] = q;
    Circuit c = make(n);
    for (int layer = 0; layer < layers; ++layer) {
        for (uint64_t q = 0; q < n; ++q) c.u3(q, angle(), angle(), angle()).value();
        std::shuffle(order.begin(), order.end(), gen);
        for (uint64_t i = 0; i + 1 < n; i += 2) c.cnot(order[i], order[i + 1]).value();
    }
    return c;
}

// c, then the inverse of every gate in reverse order: the identity.
inline Circuit mirrored(const Circuit& c) {
    Circuit m = c;
    for (auto it = c.instructions().rbegin(); it != c.instructions().rend(); ++it)
        if (const auto* g = it->get<tesvi_quantum::circuit::Instruction::Gate>())
            m.custom_gate(g->gate.dagger(), g->qubits).value();
    return m;
}

inline double distance(Complex a, Complex b) {
    return std::hypot(a.re - b.re, a.im - b.im);
}

// Bit for bit, so sites holding NaN compare equal to their copies.
inline bool same_sites(const std::vector<MPSTensor>& x, const std::vector<MPSTensor>& y) {
    if (x.size() != y.size()) return false;
    for (size_t k = 0; k < x.size(); ++k)
        if (x[k].left_dim != y[k].left_dim || x[k].right_dim != y[k].right_dim ||
            x[k].data.size() != y[k].data.size() ||
            std::memcmp(x[k].data.data(), y[k].data.data(), x[k].data.size() * sizeof(Complex)))
            return false;
    return true;
}

}  // namespace mps_test
