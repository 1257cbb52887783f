#include "quantum/algorithms/random_walk.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string>

#include "common/interrupt.hpp"
#include "common/memory.hpp"
#include "quantum/complex.hpp"
#include "quantum/gate.hpp"

namespace tesvi_quantum::algorithms::random_walk {
namespace {

using complex::Complex;
using error::fail;
using error::Result;
using error::TesviError;

constexpr double C = gate::FRAC_1_SQRT_2;

struct Cell {
    Complex coin0, coin1;
};

// The walk keeps two arrays of cells, and the result two values per position.
constexpr uint64_t BYTES_PER_POSITION = 2 * sizeof(Cell) + sizeof(int64_t) + sizeof(double);

tesvi::Unexpected<TesviError> too_long(uint64_t steps) {
    return fail(TesviError::SimulationError{"random walk of " + std::to_string(steps) +
                                            " steps needs more memory than can be allocated"});
}

Result<void> check_size(uint64_t steps) {
    uint64_t positions, bytes;
    if (!__builtin_mul_overflow(steps, 2, &positions) && positions < INT64_MAX &&
        !__builtin_mul_overflow(positions + 1, BYTES_PER_POSITION, &bytes) &&
        bytes <= tesvi::available_memory())
        return {};
    return too_long(steps);
}

// Coin then shift. The coin mixes the two amplitudes of each cell in place;
// the shift moves coin 0 one cell down and coin 1 one cell up.
void step(std::vector<Cell>& state, std::vector<Cell>& next) {
    for (Cell& cell : state) {
        const Complex a = cell.coin0, b = cell.coin1;
        cell.coin0 = {(a.re + b.re) * C, (a.im + b.im) * C};
        cell.coin1 = {(a.re - b.re) * C, (a.im - b.im) * C};
    }
    std::fill(next.begin(), next.end(), Cell{});
    for (size_t i = 0; i < state.size(); ++i) {
        if (i > 0) next[i - 1].coin0 = next[i - 1].coin0 + state[i].coin0;
        if (i + 1 < state.size()) next[i + 1].coin1 = next[i + 1].coin1 + state[i].coin1;
    }
    state.swap(next);
}

RandomWalkResult walk(uint64_t steps) {
    const size_t n = 2 * steps + 1;
    std::vector<Cell> state(n), next(n);
    // (|0> + i|1>) / sqrt 2 at position 0 keeps the distribution symmetric.
    state[steps] = {{C, 0.0}, {0.0, C}};
    for (uint64_t s = 0; s < steps; ++s) {
        tesvi::interrupt::spend(n);
        step(state, next);
    }

    RandomWalkResult result{std::vector<int64_t>(n), std::vector<double>(n), -0.0};
    for (size_t i = 0; i < n; ++i) {
        const int64_t position = static_cast<int64_t>(i) - static_cast<int64_t>(steps);
        const double p = state[i].coin1.norm_sqr() + state[i].coin0.norm_sqr();
        const double x = static_cast<double>(position);
        result.positions[i] = position;
        result.probabilities[i] = p;
        result.variance += x * x * p;
    }
    return result;
}

}  // namespace

Result<RandomWalkResult> quantum_random_walk(uint64_t steps) {
    if (auto r = check_size(steps); !r) return fail(std::move(r).error());
    try {
        return walk(steps);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return too_long(steps);
}

}  // namespace tesvi_quantum::algorithms::random_walk
