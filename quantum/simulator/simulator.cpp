#include "quantum/simulator/simulator.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "common/interrupt.hpp"
#include "quantum/simulator/mps.hpp"
#include "quantum/simulator/statevector.hpp"
#include "quantum/simulator/trajectory.hpp"

namespace tesvi_quantum::simulator {
namespace {

using circuit::Circuit;
using circuit::Instruction;
using complex::Complex;
using error::fail;
using error::Result;
using error::TesviError;

// A gate after a measurement, or a conditional anywhere.
bool has_mid_circuit_operation(const Circuit& c) {
    bool measured = false;
    for (const auto& ins : c.instructions()) {
        if (ins.get<Instruction::Measure>()) measured = true;
        if (ins.get<Instruction::Conditional>()) return true;
        if (measured && ins.get<Instruction::Gate>()) return true;
    }
    return false;
}

// The bond limit when the backend resolves to the matrix-product-state road.
std::optional<uint64_t> resolve_mps(const Backend& backend, uint64_t num_qubits) {
    if (const auto* m = std::get_if<Backend::Mps>(&backend.value)) return m->max_bond_dim;
    if (std::holds_alternative<Backend::Auto>(backend.value) && num_qubits >= AUTO_MPS_MIN_QUBITS)
        return AUTO_MPS_BOND_DIM;
    return std::nullopt;
}

// The product state |0...0> with the circuit applied.
Result<mps::MPSSimulator> evolve_mps(const Circuit& c, uint64_t bond) {
    if (bond == 0)
        return fail(TesviError::SimulationError{"MPS backend requires max_bond_dim >= 1"});
    mps::MPSSimulator chain(c.num_qubits(), bond);
    if (auto r = chain.apply_instructions(c.instructions()); !r) return fail(std::move(r).error());
    return chain;
}

bool parallel_for(const Circuit& c, bool parallel) {
    return parallel && c.num_qubits() >= statevector::PARALLEL_MIN_QUBITS;
}

// The measured qubits in instruction order, or every qubit when none is measured.
std::vector<uint64_t> measured_list(const Circuit& c) {
    std::vector<uint64_t> list;
    for (const auto& ins : c.instructions())
        if (const auto* m = ins.get<Instruction::Measure>()) list.push_back(m->qubit);
    if (list.empty())
        for (uint64_t q = 0; q < c.num_qubits(); ++q) list.push_back(q);
    return list;
}

// The key of basis index b, a 64-bit index on the exact road and a 128-bit
// one on the MPS road. A qubit beyond the index's width reads 0.
template <class Index>
std::string key_of(Index b, const std::vector<uint64_t>& measured) {
    std::string key(measured.size(), '0');
    for (size_t i = 0; i < measured.size(); ++i)
        if (measured[i] < 8 * sizeof(Index) && ((b >> measured[i]) & 1)) key[i] = '1';
    return key;
}

Result<result::QuantumResult> run_mps(const Simulator& sim, const Circuit& c, uint64_t bond,
                                      uint32_t shots) {
    auto chain = evolve_mps(c, bond);
    if (!chain) return fail(std::move(chain).error());
    const auto measured = measured_list(c);
    RandomStream rng = sim.make_stream();
    result::QuantumResult out;
    out.num_qubits = measured.size();
    out.total_shots = shots;
    try {
        for (const auto& [basis, count] : chain->measure(shots, rng)) {
            uint32_t& slot = out.counts[key_of(basis, measured)];
            if (count > UINT32_MAX - slot)
                return fail(TesviError::SimulationError{"MPS measurement count overflowed u32"});
            slot += static_cast<uint32_t>(count);
        }
    } catch (const std::bad_alloc&) {
        // Sampling holds the right environments beside the chain: about its size again.
        return fail(TesviError::InsufficientMemory{c.num_qubits(),
                                                   2 * chain->stored_entries() * sizeof(Complex)});
    }
    return out;
}

Result<std::vector<Complex>> mps_statevector(const Circuit& c, uint64_t bond) {
    auto chain = evolve_mps(c, bond);
    if (!chain) return fail(std::move(chain).error());
    if (c.num_qubits() > MPS_DENSE_MAX_QUBITS)
        return fail(TesviError::TooManyQubits{c.num_qubits(), MPS_DENSE_MAX_QUBITS});
    return mps::dense_amplitudes(chain->tensors);
}

// Runs the gates of c from |0...0> in the simulator's storage and hands the
// final state (a vector of Complex, or the split storage) to `use`.
template <class T, class Use>
Result<T> with_final_state(const Simulator& sim, const Circuit& c, const Use& use) {
    const bool par = parallel_for(c, sim.parallel);
    try {
        if (sim.use_soa) {
            auto state = statevector::zero_state_soa(c.num_qubits());
            if (!state) return fail(std::move(state).error());
            statevector::apply_gate_sequence_soa(*state, c.instructions(), par);
            return use(*state);
        }
        auto state = statevector::zero_state(c.num_qubits());
        if (!state) return fail(std::move(state).error());
        for (const auto& ins : c.instructions()) {
            if (const auto* g = ins.get<Instruction::Gate>()) {
                tesvi::interrupt::spend(state->size());
                statevector::apply_gate(*state, g->qubits, g->gate, par);
            }
        }
        return use(*state);
    } catch (const std::bad_alloc&) {
        return fail(TesviError::InsufficientMemory{c.num_qubits(),
                                                   statevector::state_bytes(c.num_qubits())});
    }
}

struct Probabilities {
    std::vector<double> operator()(const std::vector<Complex>& s) const {
        std::vector<double> p(s.size());
        for (size_t b = 0; b < p.size(); ++b) p[b] = s[b].norm_sqr();
        return p;
    }
    std::vector<double> operator()(const statevector::StateVectorSoA& s) const {
        std::vector<double> p(s.re.size());
        for (size_t b = 0; b < p.size(); ++b) p[b] = s.re[b] * s.re[b] + s.im[b] * s.im[b];
        return p;
    }
};

struct Amplitudes {
    std::vector<Complex> operator()(std::vector<Complex>& s) const { return std::move(s); }
    std::vector<Complex> operator()(const statevector::StateVectorSoA& s) const {
        return s.into_aos();
    }
};

constexpr uint32_t BATCH = uint32_t{1} << 20;

// Sorts 53-bit integers with four 14-bit counting passes (LSD radix).
void sort_53bit(std::vector<uint64_t>& keys, size_t n, std::vector<uint64_t>& scratch) {
    constexpr int BITS = 14;
    constexpr size_t BUCKETS = size_t{1} << BITS;
    std::vector<uint32_t> count(BUCKETS);
    uint64_t* from = keys.data();
    uint64_t* to = scratch.data();
    for (int shift = 0; shift < 56; shift += BITS) {
        std::fill(count.begin(), count.end(), 0);
        for (size_t i = 0; i < n; ++i) ++count[(from[i] >> shift) & (BUCKETS - 1)];
        uint32_t sum = 0;
        for (uint32_t& c : count) sum += std::exchange(c, sum);
        for (size_t i = 0; i < n; ++i) to[count[(from[i] >> shift) & (BUCKETS - 1)]++] = from[i];
        std::swap(from, to);
    }
    // Four passes end back in `keys`.
}

Result<result::QuantumResult> run_exact(const Simulator& sim, const Circuit& c, uint32_t shots) {
    // The state is released before sampling; only the probabilities stay.
    auto cum = with_final_state<std::vector<double>>(sim, c, Probabilities{});
    if (!cum) return fail(std::move(cum).error());
    double sum = 0.0;
    for (double& p : *cum) p = sum = sum + p;
    const size_t valid = static_cast<size_t>(
        std::find_if(cum->begin(), cum->end(), [](double s) { return std::isnan(s); }) -
        cum->begin());
    const auto measured = measured_list(c);
    RandomStream rng = sim.make_stream();

    result::QuantumResult out;
    out.num_qubits = measured.size();
    out.total_shots = shots;
    const uint64_t outcomes = measured.size() < 32 ? uint64_t{1} << measured.size() : UINT64_MAX;
    out.counts.reserve(static_cast<size_t>(std::min<uint64_t>(std::min(shots, BATCH), outcomes)));
    // Counts do not depend on the order of the draws, so each batch of draws is
    // sorted and then located with searches that only move forward.
    // A uniform draw is k * 2^-53 for the 53-bit k = draw >> 11; sorting the k
    // sorts the draws.
    std::vector<uint64_t> ks(std::min(shots, BATCH)), scratch(ks.size());
    auto uniform = [](uint64_t k) { return static_cast<double>(k) * 0x1.0p-53; };
    for (uint32_t done = 0; done < shots;) {
        tesvi::interrupt::poll();
        const uint32_t n = std::min(shots - done, BATCH);
        for (uint32_t i = 0; i < n; ++i) ks[i] = rng.next_u64() >> 11;
        sort_53bit(ks, n, scratch);
        uint64_t from = 0;
        for (uint32_t i = 0; i < n;) {
            const uint64_t b = sample_index(*cum, valid, uniform(ks[i]), from);
            uint32_t run = 0;
            // Later draws below the sum at b land on b too; once b is the last
            // index (found, or taken because no sum exceeds u), so do all the rest.
            const bool last = b + 1 == cum->size() || b >= valid;
            while (i < n && (last || uniform(ks[i]) < (*cum)[b])) ++run, ++i;
            out.counts[key_of(b, measured)] += run;
            from = b;
        }
        done += n;
    }
    return out;
}

}  // namespace

uint64_t sample_index(const std::vector<double>& cumulative, size_t valid, double u,
                      uint64_t from) {
    // The sums before the first NaN never decrease, so the first one above u is
    // found by bisection; a NaN sum and everything after it exceeds nothing.
    auto end = cumulative.begin() + static_cast<std::ptrdiff_t>(valid);
    auto it = std::upper_bound(
        cumulative.begin() + static_cast<std::ptrdiff_t>(std::min<uint64_t>(from, valid)), end, u);
    if (it == end) return cumulative.size() - 1;
    return static_cast<uint64_t>(it - cumulative.begin());
}

RandomStream Simulator::make_stream() const {
    return seed ? RandomStream::from_seed(*seed) : RandomStream::from_entropy();
}

Result<result::QuantumResult> Simulator::run(const Circuit& c, uint32_t shots) const {
    if (shots == 0) return fail(TesviError::InvalidShots{0});
    const bool noisy = !noise.is_ideal();
    if (auto bond = resolve_mps(backend, c.num_qubits())) {
        if (noisy)
            return fail(
                TesviError::SimulationError{"MPS backend does not yet support noise models"});
        if (has_mid_circuit_operation(c))
            return fail(TesviError::SimulationError{
                "MPS backend does not support mid-circuit measurements"});
        return run_mps(*this, c, *bond, shots);
    }
    if (noisy || has_mid_circuit_operation(c)) {
        RandomStream rng = make_stream();
        try {
            return trajectory::run_shot_mode(c, shots, rng, parallel_for(c, parallel),
                                             noisy ? &noise : nullptr);
        } catch (const std::bad_alloc&) {
            return fail(TesviError::InsufficientMemory{c.num_qubits(),
                                                       statevector::state_bytes(c.num_qubits())});
        }
    }
    return run_exact(*this, c, shots);
}

Result<std::vector<Complex>> Simulator::statevector(const Circuit& c) const {
    if (!noise.is_ideal())
        return fail(
            TesviError::SimulationError{"statevector is unavailable when noise is enabled"});
    if (has_mid_circuit_operation(c))
        return fail(TesviError::SimulationError{
            "statevector is unavailable for circuits with mid-circuit measurements"});
    if (auto bond = resolve_mps(backend, c.num_qubits())) return mps_statevector(c, *bond);
    return with_final_state<std::vector<Complex>>(*this, c, Amplitudes{});
}

}  // namespace tesvi_quantum::simulator
