#include "quantum/simulator/trajectory.hpp"

#include <algorithm>
#include <cmath>
#include <new>

#include "common/interrupt.hpp"
#include "quantum/simulator/statevector.hpp"

namespace tesvi_quantum::simulator::trajectory {
namespace {

using circuit::Circuit;
using circuit::Instruction;
using complex::Complex;
using error::fail;
using error::Result;
using error::TesviError;
using noise::clamp01;
using noise::NoiseChannel;
using noise::NoiseModel;
using statevector::PROBABILITY_EPSILON;
using Kind = NoiseChannel::Kind;

const gate::Gate& pauli(uint32_t which) {
    static const gate::Gate paulis[3] = {gate::x(), gate::y(), gate::z()};
    return paulis[which];
}

Result<void> amplitude_damping(StateArray<Complex>& state, uint64_t q, double gamma,
                               RandomStream& rng) {
    const double g = clamp01(gamma);
    if (g <= PROBABILITY_EPSILON) return {};
    const double p1 = statevector::probability_one(state, q);
    const double u = rng.uniform();
    const double o = clamp01(p1);
    const double t = clamp01(g * o);
    if (u < t) {
        if (o <= PROBABILITY_EPSILON) return {};
        const double s = 1.0 / std::sqrt(o);
        statevector::for_each_pair(state, q, [s](Complex& zero, Complex& one) {
            zero = one * s, one = {0.0, 0.0};
        });
        return {};
    }
    if (1.0 - t <= PROBABILITY_EPSILON)
        return fail(TesviError::NumericalInstability{"amplitude damping normalization collapsed"});
    const double s0 = 1.0 / std::sqrt(1.0 - t);
    const double s1 = std::sqrt(1.0 - g) * s0;
    statevector::for_each_pair(
        state, q, [s0, s1](Complex& zero, Complex& one) { zero = zero * s0, one = one * s1; });
    return {};
}

// The recorded bit after the measurement channels.
uint8_t read_out(uint8_t bit, const std::vector<NoiseChannel>& channels, RandomStream& rng) {
    for (const auto& c : channels) {
        switch (c.kind) {
            case Kind::BitFlip:
            case Kind::ReadoutError:
                if (rng.uniform() < clamp01(c.parameter)) bit ^= 1;
                break;
            case Kind::Depolarizing:
                if (rng.uniform() < clamp01(c.parameter)) bit = rng.uniform() >= 0.5 ? 1 : 0;
                break;
            case Kind::AmplitudeDamping:
            case Kind::PhaseDamping:
            case Kind::PhaseFlip:
                break;
        }
    }
    return bit;
}

// The listed bits as a number, first bit least significant. A set bit past
// the 64th makes the number larger than any 64-bit value, so it never matches.
bool condition_holds(const Instruction::Conditional& c, const std::vector<uint8_t>& reg) {
    uint64_t v = 0;
    for (size_t k = 0; k < c.classical_bits.size(); ++k) {
        if (!reg[c.classical_bits[k]]) continue;
        if (k >= 64) return false;
        v |= uint64_t{1} << k;
    }
    return v == c.value;
}

struct Shot {
    const Circuit& circuit;
    RandomStream& rng;
    bool parallel;
    const NoiseModel* model;
    StateArray<Complex>& state;
    std::vector<uint8_t>& reg;

    Result<void> gate(const gate::Gate& g, const std::vector<uint64_t>& qubits) {
        statevector::apply_gate(state, qubits, g, parallel);
        if (!model) return {};
        const auto& channels =
            g.num_qubits == 1 ? model->single_qubit_channels : model->two_qubit_channels;
        for (uint64_t q : qubits)
            if (auto r = apply_channels_to_qubit(state, q, channels, rng, parallel); !r) return r;
        return {};
    }

    Result<void> operator()(const Instruction::Gate& g) { return gate(g.gate, g.qubits); }

    Result<void> operator()(const Instruction::Conditional& c) {
        return condition_holds(c, reg) ? gate(c.gate, c.qubits) : Result<void>{};
    }

    Result<void> operator()(const Instruction::Measure& m) {
        auto outcome = statevector::measure_qubit(state, m.qubit, rng);
        if (!outcome) return fail(std::move(outcome).error());
        reg[m.classical_bit] =
            model ? read_out(*outcome, model->measurement_channels, rng) : *outcome;
        return {};
    }

    Result<void> operator()(const Instruction::Barrier& b) {
        if (!model) return {};
        for (uint64_t q : b.qubits)
            if (auto r = apply_channels_to_qubit(state, q, model->idle_channels, rng, parallel); !r)
                return r;
        return {};
    }
};

}  // namespace

Result<void> apply_channels_to_qubit(StateArray<Complex>& state, uint64_t q,
                                     const std::vector<NoiseChannel>& channels, RandomStream& rng,
                                     bool parallel) {
    for (const auto& c : channels) {
        switch (c.kind) {
            case Kind::Depolarizing:
                if (rng.uniform() < clamp01(c.parameter))
                    statevector::apply_1q(state, q, pauli(rng.below3()), parallel);
                break;
            case Kind::AmplitudeDamping:
                if (auto r = amplitude_damping(state, q, c.parameter, rng); !r) return r;
                break;
            case Kind::PhaseDamping:
                if (rng.uniform() < std::min(0.5, std::max(0.0, clamp01(c.parameter) * 0.5)))
                    statevector::apply_1q(state, q, pauli(2), parallel);
                break;
            case Kind::BitFlip:
                if (rng.uniform() < clamp01(c.parameter))
                    statevector::apply_1q(state, q, pauli(0), parallel);
                break;
            case Kind::PhaseFlip:
                if (rng.uniform() < clamp01(c.parameter))
                    statevector::apply_1q(state, q, pauli(2), parallel);
                break;
            case Kind::ReadoutError:
                break;
        }
    }
    return {};
}

Result<result::QuantumResult> run_shot_mode(const Circuit& circuit, uint32_t shots,
                                            RandomStream& rng, bool parallel,
                                            const NoiseModel* model) {
    result::QuantumResult out;
    out.num_qubits = circuit.num_classical_bits();
    out.total_shots = shots;
    if (shots == 0) return out;
    // A register that can never exist fails before the first shot.
    if (circuit.num_qubits() >= 60) {
        auto s = statevector::zero_state(circuit.num_qubits());
        return fail(std::move(s).error());
    }
    // Only measured bits vary from shot to shot, which bounds the distinct keys.
    std::vector<uint64_t> measured;
    for (const auto& ins : circuit.instructions())
        if (const auto* m = ins.get<Instruction::Measure>()) measured.push_back(m->classical_bit);
    const uint64_t keys = std::min<uint64_t>(shots, result::key_outcomes(std::move(measured)));
    if (auto r = result::reserve_counts(circuit.num_qubits(), keys, circuit.num_classical_bits());
        !r)
        return fail(std::move(r).error());
    try {
        out.counts.reserve(keys, circuit.num_classical_bits());
    } catch (const std::bad_alloc&) {
        return fail(TesviError::InsufficientMemory{
            circuit.num_qubits(), result::count_map_bytes(keys, circuit.num_classical_bits())});
    }
    std::vector<uint8_t> reg(circuit.num_classical_bits());
    std::string key(circuit.num_classical_bits(), '0');
    for (uint32_t shot = 0; shot < shots; ++shot) {
        tesvi::interrupt::spend(size_t{1} << circuit.num_qubits());
        auto state = statevector::zero_state(circuit.num_qubits());
        if (!state) return fail(std::move(state).error());
        std::fill(reg.begin(), reg.end(), 0);
        Shot run{circuit, rng, parallel, model, *state, reg};
        for (const auto& ins : circuit.instructions()) {
            tesvi::interrupt::spend(state->size());
            if (auto r = std::visit(run, ins.value); !r) return fail(std::move(r).error());
        }
        for (size_t i = 0; i < reg.size(); ++i) key[i] = static_cast<char>('0' + reg[i]);
        ++out.counts[key];
    }
    return out;
}

}  // namespace tesvi_quantum::simulator::trajectory
