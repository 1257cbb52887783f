#include "quantum/algorithms/simon.hpp"

#include <algorithm>
#include <utility>

#include "quantum/algorithms/saturate.hpp"

namespace tesvi_quantum::algorithms::simon {
namespace {

using circuit::Circuit;
using error::fail;
using error::Result;
using error::TesviError;

constexpr double CANDIDATE_FLOOR = 1e-9;

// Gauss-Jordan elimination over GF(2), columns in ascending order. Columns at
// or past the longest row hold no flag and never pivot, so the copy is only
// that wide.
struct Reduced {
    std::vector<Bits> rows;
    std::vector<uint64_t> pivots;  // the pivot column of rows[0], rows[1], ...
};

Reduced reduce(const std::vector<Bits>& rows, uint64_t n) {
    uint64_t width = 0;
    for (const Bits& r : rows) width = std::max<uint64_t>(width, r.size());
    width = std::min(width, n);
    Reduced out{rows, {}};
    for (Bits& r : out.rows) r.resize(width);
    auto& m = out.rows;
    for (uint64_t c = 0; c < width && out.pivots.size() < m.size(); ++c) {
        const size_t t = out.pivots.size();
        auto found = std::find_if(m.begin() + t, m.end(), [c](const Bits& r) { return r[c]; });
        if (found == m.end()) continue;
        std::swap(*found, m[t]);
        for (size_t i = 0; i < m.size(); ++i) {
            if (i == t || !m[i][c]) continue;
            for (uint64_t k = c; k < width; ++k) m[i][k] = m[i][k] != m[t][k];
        }
        out.pivots.push_back(c);
    }
    return out;
}

Result<void> hadamards(Circuit& circuit, uint64_t n) {
    for (uint64_t q = 0; q < n; ++q)
        if (auto r = circuit.h(q); !r) return fail(std::move(r).error());
    return {};
}

// Appends the row when it raises the rank; true once the rows determine the mask.
bool collect(std::vector<Bits>& equations, Bits row, uint64_t n) {
    if (increases_rank(equations, row, n)) equations.push_back(std::move(row));
    return gf2_rank(equations, n) + 1 >= n;
}

Result<void> collect_exact(std::vector<Bits>& equations, const Circuit& circuit, uint64_t n,
                           const simulator::Simulator& simulator) {
    auto probabilities = input_register_probabilities(circuit, n, simulator);
    if (!probabilities) return fail(std::move(probabilities).error());
    std::vector<std::pair<uint64_t, double>> candidates;
    for (uint64_t x = 1; x < probabilities->size(); ++x)
        if ((*probabilities)[x] > CANDIDATE_FLOOR) candidates.emplace_back(x, (*probabilities)[x]);
    // Every candidate is above the floor, so plain comparison is a total order here.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    for (const auto& [x, p] : candidates)
        if (collect(equations, bits_from_index(x, n), n)) break;
    return {};
}

Result<void> collect_sampled(std::vector<Bits>& equations, Circuit& circuit, uint64_t n,
                             const simulator::Simulator& simulator) {
    for (uint64_t q = 0; q < n; ++q)
        if (auto r = circuit.measure(q); !r) return fail(std::move(r).error());
    for (uint64_t run = 0; run < 3 * n; ++run) {
        auto result = simulator.run(circuit, 1);
        if (!result) return fail(std::move(result).error());
        // An all-zero outcome never raises the rank, so it is never collected.
        if (collect(equations, bits_from_state(result->most_probable().first, n), n)) break;
    }
    return {};
}

}  // namespace

Bits bits_from_index(uint64_t index, uint64_t n) {
    Bits bits(n);
    for (uint64_t i = 0; i < n && i < 64; ++i) bits[i] = (index >> i) & 1;
    return bits;
}

Bits bits_from_state(std::string_view key, uint64_t n) {
    Bits bits(std::min<uint64_t>(key.size(), n));
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = key[i] == '1';
    return bits;
}

uint64_t gf2_rank(const std::vector<Bits>& rows, uint64_t n) {
    return reduce(rows, n).pivots.size();
}

bool increases_rank(const std::vector<Bits>& rows, const Bits& row, uint64_t n) {
    std::vector<Bits> extended = rows;
    extended.push_back(row);
    return gf2_rank(extended, n) > gf2_rank(rows, n);
}

// After reduction every row's flags lie at its pivot and at free columns to
// the right of it. The solution built on a free column f therefore has f as
// its highest set bit, so the one built on the first free column is the
// smallest non-zero solution; with no free column only zero solves the rows.
Bits solve_gf2(const std::vector<Bits>& rows, uint64_t n) {
    const Reduced r = reduce(rows, n);
    Bits solution(n);
    uint64_t free = 0;
    while (free < r.pivots.size() && r.pivots[free] == free) ++free;
    if (free >= n) return solution;
    solution[free] = true;
    for (size_t t = 0; t < r.pivots.size() && r.pivots[t] < free; ++t)
        solution[r.pivots[t]] = free < r.rows[t].size() && r.rows[t][free];
    return solution;
}

Result<void> apply_hidden_xor_oracle(Circuit& circuit, uint64_t input_offset,
                                     uint64_t output_offset, const Bits& secret) {
    const auto first = std::find(secret.begin(), secret.end(), true);
    if (first == secret.end())
        return fail(TesviError::SimulationError{"Simon oracle secret must be non-zero"});
    const uint64_t i = static_cast<uint64_t>(first - secret.begin());
    // An offset that overflows names no qubit rather than wrapping onto one.
    const auto input = [&](uint64_t j) { return saturating_add(input_offset, j); };
    const auto output = [&](uint64_t j) { return saturating_add(output_offset, j); };
    for (uint64_t j = 0; j < secret.size(); ++j) {
        if (j == i) continue;
        if (auto r = circuit.cnot(input(j), output(j)); !r) return fail(std::move(r).error());
        if (!secret[j]) continue;
        if (auto r = circuit.cnot(input(i), output(j)); !r) return fail(std::move(r).error());
    }
    return {};
}

Result<std::vector<double>> input_register_probabilities(const Circuit& circuit, uint64_t n,
                                                         const simulator::Simulator& simulator) {
    // The table has 2^n entries; the low n qubits must exist.
    if (n > circuit.num_qubits())
        return fail(TesviError::QubitOutOfRange{n - 1, circuit.num_qubits()});
    auto amplitudes = simulator.statevector(circuit);
    if (!amplitudes) return fail(std::move(amplitudes).error());
    const uint64_t mask = (uint64_t{1} << n) - 1;
    std::vector<double> probabilities(mask + 1, 0.0);
    for (uint64_t j = 0; j < amplitudes->size(); ++j)
        probabilities[j & mask] += (*amplitudes)[j].norm_sqr();
    return probabilities;
}

Result<SimonResult> simon_algorithm(const Bits& secret, const simulator::Simulator& simulator) {
    const uint64_t n = secret.size();
    if (n == 0)
        return fail(
            TesviError::SimulationError{"Simon's algorithm requires at least one input qubit"});
    if (2 * n > circuit::MAX_QUBITS)
        return fail(TesviError::TooManyQubits{2 * n, circuit::MAX_QUBITS});
    auto circuit = Circuit::create(2 * n);
    if (!circuit) return fail(std::move(circuit).error());
    Result<void> built = hadamards(*circuit, n);
    if (built) built = apply_hidden_xor_oracle(*circuit, 0, n, secret);
    if (built) built = hadamards(*circuit, n);
    if (!built) return fail(std::move(built).error());

    std::vector<Bits> equations;
    Result<void> collected = simulator.noise.is_ideal()
                                 ? collect_exact(equations, *circuit, n, simulator)
                                 : collect_sampled(equations, *circuit, n, simulator);
    if (!collected) return fail(std::move(collected).error());
    return SimonResult{solve_gf2(equations, n), equations.size()};
}

}  // namespace tesvi_quantum::algorithms::simon
