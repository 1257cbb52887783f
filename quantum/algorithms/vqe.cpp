#include "quantum/algorithms/vqe.hpp"

#include <algorithm>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <type_traits>

#include "common/interrupt.hpp"
#include "quantum/algorithms/outcomes.hpp"

namespace tesvi_quantum::algorithms::vqe {
namespace {

using circuit::Circuit;
using complex::Complex;
using error::fail;
using error::Result;
using error::TesviError;
using simulator::Simulator;

constexpr double OFFSET = 0.05;
constexpr double DIVISOR = 0.1;
constexpr double STEP_SIZES[] = {0.25, 0.125, 0.0625, 0.03125};
constexpr double ACCEPTANCE_MARGIN = 1e-10;
constexpr size_t VARIANCE_WINDOW = 5;
constexpr double VARIANCE_THRESHOLD = 1e-9;

using u128 = unsigned __int128;

std::string decimal(u128 v) {
    std::string s;
    do {
        s.insert(s.begin(), char('0' + unsigned(v % 10)));
        v /= 10;
    } while (v != 0);
    return s;
}

// 2·h in decimal for every 128-bit h, although 2·h may need 129 bits:
// 2h = 10·(2·(h / 10) + c / 10) + c % 10 with c = 2·(h % 10).
std::string twice_decimal(u128 h) {
    const unsigned c = 2 * unsigned(h % 10);
    const u128 head = 2 * (h / 10) + c / 10;
    return (head != 0 ? decimal(head) : std::string()) + char('0' + c % 10);
}

// The parameter count of an ansatz on n qubits; nullopt when it exceeds 64
// bits, which no parameter list can reach.
std::optional<uint64_t> parameter_count(const Ansatz& ansatz, uint64_t n) {
    if (std::holds_alternative<Ansatz::UccsdDemo>(ansatz.value)) return 2;
    const auto* layered = std::get_if<Ansatz::LayeredRyRz>(&ansatz.value);
    if (layered == nullptr) return n;
    uint64_t count;
    if (__builtin_mul_overflow(layered->layers, n, &count) ||
        __builtin_mul_overflow(count, uint64_t{2}, &count))
        return std::nullopt;
    return count;
}

TesviError count_mismatch(const Ansatz& ansatz, uint64_t n, size_t given) {
    const auto count = parameter_count(ansatz, n);
    const std::string expected =
        count ? std::to_string(*count)
              : twice_decimal(u128{std::get<Ansatz::LayeredRyRz>(ansatz.value).layers} * n);
    return TesviError::SimulationError{"ansatz expects " + expected + " parameters, got " +
                                       std::to_string(given)};
}

// Callers pass a length within the register, so every CNOT is accepted; a
// refusal would be a broken invariant and value() raises it as one.
void cnot_chain(Circuit& c, uint64_t length) {
    for (uint64_t k = 0; k + 1 < length; ++k) c.cnot(k, k + 1).value();
}

Result<Circuit&> ry_cnot_chain(Circuit& c, const std::vector<double>& params) {
    for (size_t j = 0; j < params.size(); ++j)
        if (auto r = c.ry(j, params[j]); !r) return fail(std::move(r).error());
    cnot_chain(c, params.size());
    return c;
}

Result<Circuit&> layered_ry_rz(Circuit& c, uint64_t layers, const std::vector<double>& params) {
    const uint64_t n = c.num_qubits();
    const auto count = parameter_count(Ansatz::LayeredRyRz{layers}, n);
    if (!count || params.size() < *count)
        return fail(count_mismatch(Ansatz::LayeredRyRz{layers}, n, params.size()));
    for (uint64_t l = 0; l < layers; ++l) {
        for (uint64_t q = 0; q < n; ++q) {  // q is below the width: accepted
            c.ry(q, params[2 * (l * n + q)]).value();
            c.rz(q, params[2 * (l * n + q) + 1]).value();
        }
        cnot_chain(c, n);
    }
    return c;
}

Result<Circuit&> uccsd_demo(Circuit& c, const std::vector<double>& params) {
    if (c.num_qubits() != 2 || params.size() != 2)
        return fail(TesviError::SimulationError{
            "demo UCCSD ansatz currently expects 2 qubits and 2 parameters"});
    // Two qubits, checked above: every gate is accepted.
    c.ry(0, params[0]).value();
    c.ry(1, params[1]).value();
    c.cnot(0, 1).value();
    c.rz(1, params[0] - params[1]).value();
    c.cnot(0, 1).value();
    return c;
}

// Exact values need every factor inside the register and one factor per
// qubit; the sampled path would otherwise measure something else than the term.
Result<void> check_terms(const Hamiltonian& hamiltonian) {
    const uint64_t n = hamiltonian.num_qubits;
    for (const PauliTerm& term : hamiltonian.terms) {
        for (auto it = term.ops.begin(); it != term.ops.end(); ++it) {
            if (it->qubit >= n) return fail(TesviError::QubitOutOfRange{it->qubit, n});
            auto same = [&](const PauliFactor& f) { return f.qubit == it->qubit; };
            if (std::find_if(it + 1, term.ops.end(), same) != term.ops.end())
                return fail(TesviError::SimulationError{
                    "Pauli term names qubit " + std::to_string(it->qubit) + " more than once"});
        }
    }
    return {};
}

// The factor's contribution to the phase of basis state K, read from K's own bit.
Complex phase(Pauli pauli, bool bit) {
    switch (pauli) {
        case Pauli::Z:
            return {bit ? -1.0 : 1.0, 0.0};
        case Pauli::Y:
            return {0.0, bit ? -1.0 : 1.0};
        default:
            return {1.0, 0.0};
    }
}

// Re Σ_K conj(ψ_M)·φ_K·ψ_K, M being K with the X and Y qubits flipped.
double exact_term(const PauliTerm& term, std::span<const Complex> psi) {
    if (term.ops.empty()) return 1.0;
    uint64_t flip = 0;
    for (const PauliFactor& f : term.ops)
        if (f.pauli == Pauli::X || f.pauli == Pauli::Y) flip ^= uint64_t{1} << f.qubit;
    double value = 0.0;
    for (uint64_t k = 0; k < psi.size(); ++k) {
        Complex phi{1.0, 0.0};
        for (const PauliFactor& f : term.ops) phi = phi * phase(f.pauli, (k >> f.qubit & 1) != 0);
        value += (psi[k ^ flip].conj() * phi * psi[k]).re;
    }
    return value;
}

double exact_energy(const Hamiltonian& hamiltonian, std::span<const Complex> psi) {
    double energy = 0.0;
    for (const PauliTerm& term : hamiltonian.terms)
        energy += term.coefficient * exact_term(term, psi);
    return energy;
}

// The shot average of the product of the ±1 outcomes of the term's qubits,
// measured after turning each factor's eigenbasis into the computational one.
Result<double> sampled_term(const PauliTerm& term, const Circuit& ansatz, uint32_t shots,
                            const Simulator& simulator) {
    // check_terms has placed every factor inside the register, and a register
    // of at most 128 qubits measures into bits far below the classical limit,
    // so every builder call is accepted.
    Circuit c = ansatz;
    for (const PauliFactor& f : term.ops) {
        if (f.pauli == Pauli::Y) c.sdg(f.qubit).value();
        if (f.pauli == Pauli::X || f.pauli == Pauli::Y) c.h(f.qubit).value();
    }
    for (uint64_t q = 0; q < c.num_qubits(); ++q) c.measure_into(q, q).value();
    auto run = simulator.run(c, std::max(shots, 1u));
    if (!run) return fail(std::move(run).error());

    double value = 0.0;
    for (const auto& [key, count] : outcomes_in_key_order(*run)) {
        double sign = 1.0;
        for (const PauliFactor& f : term.ops)
            if (f.pauli != Pauli::I && f.qubit < key.size() && key[f.qubit] != '0') sign = -sign;
        value += sign * count / run->total_shots;
    }
    return value;
}

Result<double> sampled_energy(const Hamiltonian& hamiltonian, const Circuit& ansatz, uint32_t shots,
                              const Simulator& simulator) {
    double energy = 0.0;
    for (const PauliTerm& term : hamiltonian.terms) {
        if (term.ops.empty()) {
            energy += term.coefficient;
            continue;
        }
        auto value = sampled_term(term, ansatz, shots, simulator);
        if (!value) return fail(std::move(value).error());
        energy += term.coefficient * *value;
    }
    return energy;
}

// The last five energies have stopped moving.
bool settled(const std::vector<double>& history) {
    if (history.size() < VARIANCE_WINDOW) return false;
    const double* h = history.data() + history.size() - VARIANCE_WINDOW;
    const double mean = ((((h[0] + h[1]) + h[2]) + h[3]) + h[4]) / 5;
    double variance = 0.0;
    for (size_t k = 0; k < VARIANCE_WINDOW; ++k) variance += (h[k] - mean) * (h[k] - mean);
    return variance / 5 < VARIANCE_THRESHOLD;
}

}  // namespace

Hamiltonian Hamiltonian::hydrogen_molecule() {
    return {{{{}, -1.0524},
             {{{1, Pauli::Z}}, 0.3979},
             {{{0, Pauli::Z}}, -0.3979},
             {{{0, Pauli::Z}, {1, Pauli::Z}}, -0.0112},
             {{{0, Pauli::X}, {1, Pauli::X}}, 0.1809}},
            2};
}

Result<Circuit> ansatz_circuit(uint64_t num_qubits, const Ansatz& ansatz,
                               const std::vector<double>& params) {
    auto made = Circuit::create(num_qubits);
    if (!made) return fail(std::move(made).error());
    Circuit c = std::move(made).value();
    auto built = std::visit(
        [&](const auto& a) -> Result<Circuit&> {
            using A = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<A, Ansatz::RyCnotChain>)
                return ry_cnot_chain(c, params);
            else if constexpr (std::is_same_v<A, Ansatz::LayeredRyRz>)
                return layered_ry_rz(c, a.layers, params);
            else
                return uccsd_demo(c, params);
        },
        ansatz.value);
    if (!built) return fail(std::move(built).error());
    return c;
}

Result<double> evaluate_expectation(const Hamiltonian& hamiltonian, const Ansatz& ansatz,
                                    const std::vector<double>& params, uint32_t shots,
                                    const Simulator& simulator) {
    auto circuit = ansatz_circuit(hamiltonian.num_qubits, ansatz, params);
    if (!circuit) return fail(std::move(circuit).error());
    if (auto checked = check_terms(hamiltonian); !checked) return fail(std::move(checked).error());
    if (!simulator.noise.is_ideal()) return sampled_energy(hamiltonian, *circuit, shots, simulator);
    auto psi = simulator.statevector(*circuit);
    if (!psi) return fail(std::move(psi).error());
    return exact_energy(hamiltonian, *psi);
}

Result<VqeResult> vqe(const Hamiltonian& hamiltonian, const Ansatz& ansatz,
                      const std::vector<double>& initial_params, uint64_t max_iterations,
                      uint32_t shots, const Simulator& simulator) {
    const auto count = parameter_count(ansatz, hamiltonian.num_qubits);
    if (!count || *count != initial_params.size())
        return fail(count_mismatch(ansatz, hamiltonian.num_qubits, initial_params.size()));
    auto energy_at = [&](const std::vector<double>& params) {
        return evaluate_expectation(hamiltonian, ansatz, params, shots, simulator);
    };

    std::vector<double> params = initial_params;
    std::vector<double> best_params = initial_params;
    double best = std::numeric_limits<double>::infinity();
    VqeResult r{0.0, {}, {}, 0, false};
    for (uint64_t iteration = 0; iteration < max_iterations; ++iteration) {
        tesvi::interrupt::poll();
        auto here = energy_at(params);
        if (!here) return fail(std::move(here).error());
        const double e = *here;
        r.energy_history.push_back(e);
        if (e < best) {
            best = e;
            best_params = params;
        }

        std::vector<double> grad;
        for (size_t i = 0; i < params.size(); ++i) {
            std::vector<double> shifted = params;
            shifted[i] = params[i] + OFFSET;
            auto plus = energy_at(shifted);
            if (!plus) return fail(std::move(plus).error());
            shifted[i] = params[i] + -OFFSET;
            auto minus = energy_at(shifted);
            if (!minus) return fail(std::move(minus).error());
            grad.push_back((*plus - *minus) / DIVISOR);
        }

        bool accepted = false;
        for (double s : STEP_SIZES) {
            std::vector<double> candidate = params;
            for (size_t i = 0; i < params.size(); ++i) candidate[i] = params[i] - s * grad[i];
            auto there = energy_at(candidate);
            if (!there) return fail(std::move(there).error());
            if (e > *there + ACCEPTANCE_MARGIN) {
                params = std::move(candidate);
                accepted = true;
                break;
            }
        }
        if (!accepted || settled(r.energy_history)) {
            r.converged = true;
            break;
        }
    }

    auto final_energy = energy_at(params);
    if (!final_energy) return fail(std::move(final_energy).error());
    if (*final_energy < best) {
        r.energy = *final_energy;
        r.optimal_params = std::move(params);
    } else {
        r.energy = best;
        r.optimal_params = std::move(best_params);
    }
    r.iterations = r.energy_history.size();
    return r;
}

}  // namespace tesvi_quantum::algorithms::vqe
