#include "quantum/simulator/statevector.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <stdexcept>

#include "common/memory.hpp"
#include "quantum/simulator/pool.hpp"
#include "quantum/simulator/statevector_avx2.hpp"

namespace tesvi_quantum::simulator::statevector {
namespace {

using error::fail;
using error::TesviError;

[[noreturn]] void unsupported_width() {
    throw error::InternalFault("internal error: entered unreachable code: unsupported gate width");
}

// Cuts [0, 2^n) into chunks of `chunk` amplitudes and runs body(first, last)
// over chunk-index ranges, on the pool or in ascending order on this thread.
template <class Body>
void for_chunks(uint64_t length, uint64_t chunk, bool parallel, const Body& body) {
    const uint64_t chunks = length / chunk;
    if (parallel && chunks > 1)
        pool::for_each_chunk(chunks, [&](size_t first, size_t last) { body(first, last); });
    else
        body(0, chunks);
}

struct Matrix2 {
    Complex m[4];
    explicit Matrix2(const Gate& g) { std::copy_n(g.matrix.begin(), 4, m); }
};

struct Matrix4 {
    Complex m[16];
    explicit Matrix4(const Gate& g) { std::copy_n(g.matrix.begin(), 16, m); }
};

inline void update_pair(Complex& x0, Complex& x1, const Complex* m) {
    const Complex a0 = x0, a1 = x1;
    x0 = m[0] * a0 + m[1] * a1;
    x1 = m[2] * a0 + m[3] * a1;
}

inline void update_pair_soa(double& r0, double& i0, double& r1, double& i1, const Complex* m) {
    const Complex a0{r0, i0}, a1{r1, i1};
    const Complex b0 = m[0] * a0 + m[1] * a1;
    const Complex b1 = m[2] * a0 + m[3] * a1;
    r0 = b0.re, i0 = b0.im, r1 = b1.re, i1 = b1.im;
}

inline Complex row(const Complex* m, const Complex (&y)[4]) {
    return m[0] * y[0] + m[1] * y[1] + m[2] * y[2] + m[3] * y[3];
}

// Visits, in ascending order, every offset below 2^(hi+1) with bits lo and hi clear.
template <class F>
inline void for_quad_offsets(uint64_t lo, uint64_t hi, const F& f) {
    const uint64_t step = uint64_t{1} << lo;
    const uint64_t end = uint64_t{1} << hi;
    for (uint64_t j = 0; j < end; j += 2 * step)
        for (uint64_t i = j; i < j + step; ++i) f(i);
}

void block_1q(Complex* x, uint64_t half, const Complex* m) {
    for (uint64_t i = 0; i < half; ++i) update_pair(x[i], x[i + half], m);
}

void block_1q_soa(double* re, double* im, uint64_t half, const Complex* m) {
    for (uint64_t i = 0; i < half; ++i)
        update_pair_soa(re[i], im[i], re[i + half], im[i + half], m);
}

void block_2q(Complex* x, uint64_t a, uint64_t b, const Complex* m) {
    const uint64_t ma = uint64_t{1} << a, mb = uint64_t{1} << b;
    for_quad_offsets(std::min(a, b), std::max(a, b), [&](uint64_t i) {
        const Complex y[4] = {x[i], x[i + mb], x[i + ma], x[i + ma + mb]};
        x[i] = row(m, y);
        x[i + mb] = row(m + 4, y);
        x[i + ma] = row(m + 8, y);
        x[i + ma + mb] = row(m + 12, y);
    });
}

void block_2q_soa(double* re, double* im, uint64_t a, uint64_t b, const Complex* m) {
    const uint64_t ma = uint64_t{1} << a, mb = uint64_t{1} << b;
    for_quad_offsets(std::min(a, b), std::max(a, b), [&](uint64_t i) {
        const uint64_t k[4] = {i, i + mb, i + ma, i + ma + mb};
        const Complex y[4] = {
            {re[k[0]], im[k[0]]}, {re[k[1]], im[k[1]]}, {re[k[2]], im[k[2]]}, {re[k[3]], im[k[3]]}};
        for (int r = 0; r < 4; ++r) {
            const Complex v = row(m + 4 * r, y);
            re[k[r]] = v.re, im[k[r]] = v.im;
        }
    });
}

template <class State>
Result<State> allocate(uint64_t n, State (*make)(uint64_t)) {
    // From 60 qubits on the byte count itself overflows; never try. A large
    // state beyond the memory left would be granted lazily and the process
    // killed while its pages are touched, so it is refused too (small states
    // skip the question: trajectories allocate one per shot).
    constexpr uint64_t LARGE_STATE_QUBITS = 26;
    if (n >= 60 || (n >= LARGE_STATE_QUBITS && state_bytes(n) > tesvi::available_memory()))
        return fail(TesviError::InsufficientMemory{n, state_bytes(n)});
    try {
        return make(uint64_t{1} << n);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return fail(TesviError::InsufficientMemory{n, state_bytes(n)});
}

}  // namespace

uint64_t state_bytes(uint64_t n) {
    return n >= 60 ? UINT64_MAX : uint64_t{16} << n;
}

std::vector<Complex> StateVectorSoA::into_aos() const {
    std::vector<Complex> out(re.size());
    for (size_t b = 0; b < re.size(); ++b) out[b] = {re[b], im[b]};
    return out;
}

Result<std::vector<Complex>> zero_state(uint64_t n) {
    return allocate<std::vector<Complex>>(n, [](uint64_t len) {
        std::vector<Complex> s(len);
        s[0] = {1.0, 0.0};
        return s;
    });
}

Result<StateVectorSoA> zero_state_soa(uint64_t n) {
    return allocate<StateVectorSoA>(n, [](uint64_t len) {
        StateVectorSoA s{std::vector<double>(len), std::vector<double>(len)};
        s.re[0] = 1.0;
        return s;
    });
}

void apply_1q_block(Complex* chunk, uint64_t half, const Gate& gate) {
    block_1q(chunk, half, Matrix2(gate).m);
}

void apply_2q_block(Complex* chunk, uint64_t a, uint64_t b, const Gate& gate) {
    block_2q(chunk, a, b, Matrix4(gate).m);
}

void apply_1q_block_soa(double* re, double* im, uint64_t half, const Gate& gate) {
    block_1q_soa(re, im, half, Matrix2(gate).m);
}

void apply_2q_block_soa(double* re, double* im, uint64_t a, uint64_t b, const Gate& gate) {
    block_2q_soa(re, im, a, b, Matrix4(gate).m);
}

void apply_1q(std::vector<Complex>& state, uint64_t t, const Gate& gate, bool parallel) {
    const Matrix2 m(gate);
    const uint64_t half = uint64_t{1} << t, chunk = 2 * half;
    Complex* x = state.data();
    for_chunks(state.size(), chunk, parallel, [&](uint64_t first, uint64_t last) {
        for (uint64_t j = first; j < last; ++j) block_1q(x + j * chunk, half, m.m);
    });
}

void apply_2q(std::vector<Complex>& state, uint64_t a, uint64_t b, const Gate& gate,
              bool parallel) {
    const Matrix4 m(gate);
    const uint64_t chunk = uint64_t{2} << std::max(a, b);
    Complex* x = state.data();
    for_chunks(state.size(), chunk, parallel, [&](uint64_t first, uint64_t last) {
        if (avx2::available())
            return avx2::quads(x, a, b, first * chunk / 4, last * chunk / 4, m.m);
        for (uint64_t j = first; j < last; ++j) block_2q(x + j * chunk, a, b, m.m);
    });
}

void apply_gate(std::vector<Complex>& state, const std::vector<uint64_t>& qubits, const Gate& gate,
                bool parallel) {
    switch (gate.num_qubits) {
        case 1:
            return apply_1q(state, qubits[0], gate, parallel);
        case 2:
            return apply_2q(state, qubits[0], qubits[1], gate, parallel);
        default:
            unsupported_width();
    }
}

void apply_1q_soa(StateVectorSoA& state, uint64_t t, const Gate& gate, bool parallel) {
    const Matrix2 m(gate);
    const uint64_t half = uint64_t{1} << t, chunk = 2 * half;
    double* re = state.re.data();
    double* im = state.im.data();
    for_chunks(state.re.size(), chunk, parallel, [&](uint64_t first, uint64_t last) {
        for (uint64_t j = first; j < last; ++j)
            block_1q_soa(re + j * chunk, im + j * chunk, half, m.m);
    });
}

void apply_2q_soa(StateVectorSoA& state, uint64_t a, uint64_t b, const Gate& gate, bool parallel) {
    const Matrix4 m(gate);
    const uint64_t chunk = uint64_t{2} << std::max(a, b);
    double* re = state.re.data();
    double* im = state.im.data();
    for_chunks(state.re.size(), chunk, parallel, [&](uint64_t first, uint64_t last) {
        if (avx2::available())
            return avx2::quads_soa(re, im, a, b, first * chunk / 4, last * chunk / 4, m.m);
        for (uint64_t j = first; j < last; ++j)
            block_2q_soa(re + j * chunk, im + j * chunk, a, b, m.m);
    });
}

void apply_gate_sequence_soa(StateVectorSoA& state,
                             const std::vector<circuit::Instruction>& instructions, bool parallel) {
    for (const auto& ins : instructions) {
        const auto* g = ins.get<circuit::Instruction::Gate>();
        if (!g) continue;
        switch (g->gate.num_qubits) {
            case 1:
                apply_1q_soa(state, g->qubits[0], g->gate, parallel);
                break;
            case 2:
                apply_2q_soa(state, g->qubits[0], g->qubits[1], g->gate, parallel);
                break;
            default:
                unsupported_width();
        }
    }
}

Result<uint8_t> measure_qubit(std::vector<Complex>& state, uint64_t q, RandomStream& rng) {
    const double p0 = std::clamp(1.0 - probability_one(state, q), 0.0, 1.0);
    const double u = rng.uniform();
    const uint8_t outcome = u >= p0 ? 1 : 0;
    const double p = outcome == 0 ? p0 : 1.0 - p0;
    if (p <= PROBABILITY_EPSILON)
        return fail(TesviError::NumericalInstability{"collapsing a near-zero measurement branch"});
    const double s = 1.0 / std::sqrt(p);
    for_each_pair(state, q, [&](Complex& zero, Complex& one) {
        if (outcome == 0)
            zero = zero * s, one = {0.0, 0.0};
        else
            one = one * s, zero = {0.0, 0.0};
    });
    return outcome;
}

}  // namespace tesvi_quantum::simulator::statevector
