#include "quantum/simulator/statevector.hpp"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <new>
#include <type_traits>

#include <stdexcept>

#include "common/cpu.hpp"
#include "common/interrupt.hpp"
#include "common/memory.hpp"
#include "quantum/simulator/pool.hpp"
#include "quantum/simulator/statevector_kernels.hpp"

namespace tesvi_quantum::simulator::statevector {
namespace {

using error::fail;
using error::TesviError;

[[noreturn]] void unsupported_width() {
    throw error::InternalFault("internal error: entered unreachable code: unsupported gate width");
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

StateArray<Complex> StateVectorSoA::into_aos() const {
    StateArray<Complex> out(re.size());
    for (size_t b = 0; b < re.size(); ++b) out[b] = {re[b], im[b]};
    return out;
}

Result<StateArray<Complex>> zero_state(uint64_t n) {
    return allocate<StateArray<Complex>>(n, [](uint64_t len) {
        StateArray<Complex> s(len);
        s[0] = {1.0, 0.0};
        return s;
    });
}

Result<StateVectorSoA> zero_state_soa(uint64_t n) {
    return allocate<StateVectorSoA>(n, [](uint64_t len) {
        StateVectorSoA s{StateArray<double>(len), StateArray<double>(len)};
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

namespace {

// The update kernels over ranges of update indices (pairs for one qubit,
// quadruples for two), chosen once per process from what the processor runs.
struct Kernels {
    void (*pairs)(Complex* x, uint64_t t, uint64_t k0, uint64_t k1, const Complex* m,
                  bool streaming);
    void (*quads)(Complex* x, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1, const Complex* m,
                  bool streaming);
    PreparedKernels prepared;
};

// The portable kernels multiply for every matrix, permutations included,
// and leave the memory to the processor (streaming is unused).
void pairs_portable(Complex* x, uint64_t t, uint64_t k0, uint64_t k1, const Complex* m,
                    bool = false) {
    const uint64_t h = uint64_t{1} << t;
    for (uint64_t k = k0; k < k1; ++k) {
        Complex* p = x + pair_offset(k, t);
        update_pair(p[0], p[h], m);
    }
}

void pairs_portable_soa(double* re, double* im, uint64_t t, uint64_t k0, uint64_t k1,
                        const Complex* m) {
    const uint64_t h = uint64_t{1} << t;
    for (uint64_t k = k0; k < k1; ++k) {
        const uint64_t o = pair_offset(k, t);
        update_pair_soa(re[o], im[o], re[o + h], im[o + h], m);
    }
}

void quads_portable(Complex* x, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1, const Complex* m,
                    bool = false) {
    const uint64_t lo = std::min(a, b), hi = std::max(a, b);
    const uint64_t ma = uint64_t{1} << a, mb = uint64_t{1} << b;
    for (uint64_t k = k0; k < k1; ++k) {
        Complex* p = x + quad_offset(k, lo, hi);
        const Complex y[4] = {p[0], p[mb], p[ma], p[ma + mb]};
        p[0] = row(m, y), p[mb] = row(m + 4, y), p[ma] = row(m + 8, y);
        p[ma + mb] = row(m + 12, y);
    }
}

void quads_portable_soa(double* re, double* im, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
                        const Complex* m) {
    const uint64_t lo = std::min(a, b), hi = std::max(a, b);
    const uint64_t ma = uint64_t{1} << a, mb = uint64_t{1} << b;
    for (uint64_t k = k0; k < k1; ++k) {
        const uint64_t p = quad_offset(k, lo, hi);
        const uint64_t o[4] = {p, p + mb, p + ma, p + ma + mb};
        const Complex y[4] = {
            {re[o[0]], im[o[0]]}, {re[o[1]], im[o[1]]}, {re[o[2]], im[o[2]]}, {re[o[3]], im[o[3]]}};
        for (int r = 0; r < 4; ++r) {
            const Complex v = row(m + 4 * r, y);
            re[o[r]] = v.re, im[o[r]] = v.im;
        }
    }
}

// The portable PreparedGate: the gate, run by the loops above, over split
// storage or (Interleaved) over the Complex array at re.
template <bool Interleaved>
struct PortableGate {
    uint64_t width, a, b;
    const Complex* m;
    static void run(const PreparedGate& g, double* re, double* im, uint64_t k0, uint64_t k1) {
        const auto& p = *std::launder(reinterpret_cast<const PortableGate*>(g.bytes));
        if constexpr (Interleaved) {
            Complex* x = reinterpret_cast<Complex*>(re);
            if (p.width == 1) return pairs_portable(x, p.a, k0, k1, p.m);
            return quads_portable(x, p.a, p.b, k0, k1, p.m);
        }
        if (p.width == 1) return pairs_portable_soa(re, im, p.a, k0, k1, p.m);
        quads_portable_soa(re, im, p.a, p.b, k0, k1, p.m);
    }
};

template <bool Interleaved>
void prepare_portable(PreparedGate& g, uint64_t width, uint64_t a, uint64_t b, const Complex* m,
                      const Permutation*) {
    new (g.bytes) PortableGate<Interleaved>{width, a, b, m};
    g.run = PortableGate<Interleaved>::run;
}

void split_parts_portable(const Complex* x, double* re, double* im, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) {
        re[i] = x[i].re;
        if (im) im[i] = x[i].im;
    }
}

void join_parts_portable(Complex* x, const double* re, const double* im, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) x[i] = {re[i], im ? im[i] : 0.0};
}

const Kernels& kernels() {
    static const Kernels chosen = [] {
#if defined(__x86_64__)
        // Interleaved storage multiplies with the AVX2 product kernels on
        // AVX-512 processors too (but where Interleaved below says): their
        // complex products take no sorting of parts into lanes, which the
        // prepared kernels pay on every load and store, and on AMD Zen 4 the
        // wider registers did not make up for it in cache.
        if (tesvi::cpu::has_avx512()) return Kernels{avx2::pairs, avx2::quads, avx512::prepared};
        if (tesvi::cpu::has_avx2()) return Kernels{avx2::pairs, avx2::quads, avx2::prepared};
#endif
        return Kernels{pairs_portable,
                       quads_portable,
                       {prepare_portable<false>, prepare_portable<true>, split_parts_portable,
                        join_parts_portable}};
    }();
    return chosen;
}

// The power of i that z is exactly (a part of 1 or -1, the other a zero),
// or -1 when it is none.
int turn_of(Complex z) {
    const double units[4][2] = {{1.0, 0.0}, {0.0, 1.0}, {-1.0, 0.0}, {0.0, -1.0}};
    for (int t = 0; t < 4; ++t)
        if (z.re == units[t][0] && z.im == units[t][1]) return t;
    return -1;
}

// Whether the matrix has the form Permutation describes, and the form.
bool permutation_of(const Complex* m, uint64_t width, Permutation& p) {
    const uint64_t d = uint64_t{1} << width;
    uint64_t columns = 0;
    p.ones = true;
    for (uint64_t r = 0; r < d; ++r) {
        int units = 0;
        for (uint64_t c = 0; c < d; ++c) {
            const Complex e = m[r * d + c];
            const int turn = turn_of(e);
            if (turn >= 0) {
                ++units;
                p.source[r] = static_cast<uint8_t>(c), p.turn[r] = static_cast<uint8_t>(turn);
                columns |= uint64_t{1} << c;
                p.ones = p.ones && e.re == 1.0 && std::bit_cast<uint64_t>(e.im) == 0;
            } else if (e.re != 0.0 || e.im != 0.0) {
                return false;
            } else {
                p.ones = p.ones && std::bit_cast<uint64_t>(e.re) == 0 &&
                         std::bit_cast<uint64_t>(e.im) == 0;
            }
        }
        if (units != 1) return false;
    }
    return columns == (uint64_t{1} << d) - 1;
}

// One gate: its width, its qubits as bit positions of the array it updates
// (b only for width 2), its matrix, and the permutation it makes, if it is one.
struct Op {
    uint64_t width, a, b;
    const Complex* m;
    Permutation perm{};
    bool permutes;

    Op(uint64_t width, uint64_t a, uint64_t b, const Gate& g)
        : width(width), a(a), b(b), m(g.matrix.data()), permutes(permutation_of(m, width, perm)) {}
    uint64_t mask() const { return (uint64_t{1} << a) | (width == 2 ? uint64_t{1} << b : 0); }
    const Permutation* permutation() const { return permutes ? &perm : nullptr; }
    // Whether the gate keeps real amplitudes real: every entry is real and
    // every row has one of +0 or positive real part, whose term makes the
    // row's imaginary sum +0. (The kernels, which test whole registers of
    // rows at once, may still take the full product.)
    bool keeps_real() const {
        const uint64_t d = uint64_t{1} << width;
        for (uint64_t e = 0; e < d * d; ++e)
            if (m[e].im != 0.0) return false;
        for (uint64_t r = 0; r < d; ++r)
            if (std::none_of(m + r * d, m + (r + 1) * d,
                             [](const Complex& e) { return !std::signbit(e.re); }))
                return false;
        return true;
    }
};

// Ranges of at most this many amplitudes (a cache tile, a small state) lie
// in a core's caches: their gates do not ask ahead (PreparedGate::streaming).
constexpr uint64_t CACHED_AMPLITUDES = uint64_t{1} << 16;

// A split state, or matching windows of its two arrays; also the form of
// every cache tile.
struct Split {
    double* re;
    double* im;
    static PreparedGate prepare(const Op& op, uint64_t length) {
        PreparedGate g;
        kernels().prepared.split(g, op.width, op.a, op.b, op.m, op.permutation());
        g.streaming = length > CACHED_AMPLITUDES;
        return g;
    }
    void apply(const PreparedGate& g, uint64_t k0, uint64_t k1) const { g.run(g, re, im, k0, k1); }
    // The gate over a range whose imaginary parts are all +0, and whether
    // they all still are.
    bool apply_on_real(const PreparedGate& g, uint64_t k0, uint64_t k1) const {
        if (g.run_real) return g.run_real(g, re, im, k0, k1);
        g.run(g, re, im, k0, k1);
        return false;
    }
    Split at(uint64_t offset) const { return {re + offset, im + offset}; }
    // The copies take only the real parts where the imaginary ones are
    // known to be +0 on both sides (real).
    void ask(uint64_t count, bool real) const {
        ask_second_level(re, count * sizeof(double));
        if (!real) ask_second_level(im, count * sizeof(double));
    }
    void copy_to(Split to, uint64_t count, bool real) const {
        std::copy_n(re, count, to.re);
        if (!real) std::copy_n(im, count, to.im);
    }
    void copy_from(Split from, uint64_t count, bool real) const {
        from.copy_to(*this, count, real);
    }
};

// An interleaved state, or a window of one. Gates take the product kernels
// but for two cases, which take the prepared kernels:
// - monomial gates on at least MOVING_MIN_AMPLITUDES, which move amplitudes
//   where the product allows it (on fewer, setting a gate up costs more than
//   moving saves);
// - gates whose slots lie FAR_BYTES or more apart (from FAR_SLOT_QUBIT
//   on): the product kernels take each cache line in two halves, one slot
//   after the other, and at 256 MiB apart AMD Zen 4 fetched the lines again
//   for every half (a top-qubit H at 26 qubits took twice as long, on one
//   worker 4.6 times), while the prepared kernels take each line whole and
//   ask ahead for them.
constexpr uint64_t MOVING_MIN_AMPLITUDES = uint64_t{1} << 9;
constexpr uint64_t FAR_SLOT_QUBIT = std::countr_zero(FAR_BYTES / sizeof(Complex));

struct Interleaved {
    Complex* x;
    struct Prepared {
        const Op& op;
        bool prepared;
        PreparedGate gate;  // left unset (6 KiB) unless prepared
        Prepared(const Op& op, uint64_t length)
            : op(op),
              prepared((op.permutes && length >= MOVING_MIN_AMPLITUDES) ||
                       std::max(op.a, op.b) >= FAR_SLOT_QUBIT) {
            if (prepared)
                kernels().prepared.interleaved(gate, op.width, op.a, op.b, op.m, op.permutation());
            gate.streaming = length > CACHED_AMPLITUDES;
        }
    };
    static Prepared prepare(const Op& op, uint64_t length) { return Prepared(op, length); }
    void apply(const Prepared& g, uint64_t k0, uint64_t k1) const {
        if (g.prepared) return g.gate.run(g.gate, &x->re, nullptr, k0, k1);
        if (g.op.width == 1) return kernels().pairs(x, g.op.a, k0, k1, g.op.m, g.gate.streaming);
        kernels().quads(x, g.op.a, g.op.b, k0, k1, g.op.m, g.gate.streaming);
    }
    Interleaved at(uint64_t offset) const { return {x + offset}; }
    // A real state's +0 imaginary parts share its lines with the real ones,
    // but stay out of the tile.
    void ask(uint64_t count, bool /*real*/) const { ask_second_level(x, count * sizeof(Complex)); }
    void copy_to(Split to, uint64_t count, bool real) const {
        kernels().prepared.split_parts(x, to.re, real ? nullptr : to.im, count);
    }
    void copy_from(Split from, uint64_t count, bool real) const {
        kernels().prepared.join_parts(x, from.re, real ? nullptr : from.im, count);
    }
};

// Whether every part in [p, p + count) is +0.
bool all_plus_zero(const double* p, uint64_t count) {
    constexpr uint64_t STRIDE = 256;  // stops soon on a state that is not real
    for (uint64_t i = 0; i < count; i += STRIDE) {
        uint64_t bits = 0;
        for (uint64_t j = i; j < std::min(count, i + STRIDE); ++j)
            bits |= std::bit_cast<uint64_t>(p[j]);
        if (bits != 0) return false;
    }
    return true;
}

// This thread's tile buffer, and whether its imaginary parts are all +0
// (so that a real tile needs only its real parts copied in).
struct TileBuffer {
    StateArray<double> parts;
    uint64_t length = 0;
    bool im_clear = false;

    Split hold(uint64_t count) {
        if (count != length) parts.assign(2 * count, 0.0), length = count, im_clear = true;
        return {parts.data(), parts.data() + count};
    }
};

TileBuffer& tile_buffer() {
    thread_local TileBuffer buffer;
    return buffer;
}

// Every update of a gate is independent of the others: it reads and writes
// only its own pair or quadruple, by the same operations whichever worker runs
// it and whatever piece holds it. So the updates are cut into pieces by update
// index, not by chunk of 2^(t+1) amplitudes: a gate on the highest qubits,
// whose chunk is the whole state, still spreads over every worker, and any cut
// and any worker count give the same bits.
constexpr uint64_t PIECE_UPDATES = uint64_t{1} << 13;

template <class Body>
void for_pieces(uint64_t count, uint64_t piece, bool parallel, const Body& body) {
    if (!parallel || count <= piece) return body(0, count);
    pool::for_each_chunk((count + piece - 1) / piece, [&](size_t first, size_t last) {
        body(first * piece, std::min<uint64_t>(last * piece, count));
    });
}

template <class View>
void apply_whole(View v, uint64_t length, const Op& op, bool parallel) {
    const auto& gate = View::prepare(op, length);
    for_pieces(length >> op.width, PIECE_UPDATES, parallel,
               [&](uint64_t k0, uint64_t k1) { v.apply(gate, k0, k1); });
}

// Cache blocking. A tile is the 2^TILE_QUBITS amplitudes that share every bit
// outside a chosen set of bit positions (256 KiB, well inside a core's L2).
// A run of consecutive gates whose qubits all lie in the set is applied tile
// by tile: each tile is gathered into a buffer in split form (the set's
// positions become the buffer's bits, in order), passes through every gate of
// the run, and goes back. Split parts need no shuffles inside a complex
// product, which leaves the widest registers all their lanes for the
// arithmetic. Gathering is a pure permutation and each amplitude meets the run's
// gates in instruction order with the same arithmetic, so the bits are those
// of gate-by-gate passes; and the state is in its own order again when the
// run returns. The set always holds the lowest CONTIGUOUS_QUBITS positions,
// so a tile is gathered in rows of at least 2^CONTIGUOUS_QUBITS neighbours
// (2 KiB): short rows at large strides leave most of the memory's bandwidth
// unused, and the longer rows pay for the runs that fewer free positions cut.
constexpr uint64_t TILE_QUBITS = 14;
constexpr uint64_t CONTIGUOUS_QUBITS = 7;
// Each row starts a stream the processor's prefetcher has yet to find, and
// on huge pages all rows of a tile fall into the same few cache sets, so the
// lines the gather read are gone again when the tile goes back. Both copies
// ask the second-level cache for the row ROWS_AHEAD ahead, so that the
// misses of neighbouring rows overlap (asked into the first level, the
// runs took about 10% longer).
constexpr uint64_t ROWS_AHEAD = 2;

// Spreads the bits of u over the given positions, lowest bit first.
uint64_t deposit(uint64_t u, const std::vector<uint64_t>& positions) {
    uint64_t out = 0;
    for (size_t i = 0; i < positions.size(); ++i) out |= ((u >> i) & 1) << positions[i];
    return out;
}

// The run's gates over one tile. Consecutive gates on the tile's lowest
// SUBTILE_QUBITS bits pass together over each block of 2^SUBTILE_QUBITS
// amplitudes (32 KiB, inside a core's L1), the others over the whole tile:
// the same blocking again, one cache level down, with no copy.
constexpr uint64_t SUBTILE_QUBITS = 11;

// real: every imaginary part of the tile is +0. Until a gate may change
// that, the gates run on the real parts alone; then real turns false.
void apply_tile(Split tile, uint64_t length, const std::vector<Op>& ops,
                const std::vector<PreparedGate>& gates, bool& real) {
    const uint64_t block = std::min(length, uint64_t{1} << SUBTILE_QUBITS);
    auto apply = [&](Split at, size_t g, uint64_t count) {
        if (real)
            real = at.apply_on_real(gates[g], 0, count >> ops[g].width);
        else
            at.apply(gates[g], 0, count >> ops[g].width);
    };
    for (size_t i = 0; i < ops.size();) {
        size_t j = i;
        while (j < ops.size() && ops[j].mask() < block) ++j;
        if (j - i < 2) {
            apply(tile, i, length);
            ++i;
            continue;
        }
        for (uint64_t b = 0; b < length; b += block)
            for (size_t g = i; g < j; ++g) apply(tile.at(b), g, block);
        i = j;
    }
}

// A run of gates [first, last) over one tile of the given qubits.
struct Run {
    size_t first, last;
    uint64_t tile;
};

// Cuts the gate list greedily into the longest runs whose qubits fit one tile.
std::vector<Run> cut_runs(const std::vector<Op>& ops) {
    std::vector<Run> runs;
    for (size_t i = 0; i < ops.size();) {
        uint64_t tile = (uint64_t{1} << CONTIGUOUS_QUBITS) - 1;
        size_t j = i;
        while (j < ops.size() && std::popcount(tile | ops[j].mask()) <= int{TILE_QUBITS})
            tile |= ops[j++].mask();
        for (uint64_t q = 0; std::popcount(tile) < int{TILE_QUBITS}; ++q) tile |= uint64_t{1} << q;
        runs.push_back({i, j, tile});
        i = j;
    }
    return runs;
}

// One run (a lone gate takes a whole-state pass); real: every imaginary
// part of the state is +0. Returns whether every one is known to be +0
// after it: each tile either kept them or is looked over.
template <class View>
bool apply_run(View v, uint64_t n, const std::vector<Op>& all, const Run& run, bool parallel,
               bool real) {
    if (run.last - run.first == 1) {
        apply_whole(v, uint64_t{1} << n, all[run.first], parallel);
        return false;
    }
    const uint64_t tile = run.tile;
    std::vector<uint64_t> inside, outside, place(n);
    for (uint64_t q = 0; q < n; ++q) {
        if ((tile >> q) & 1) place[q] = inside.size();
        ((tile >> q) & 1 ? inside : outside).push_back(q);
    }
    std::vector<Op> local(all.begin() + run.first, all.begin() + run.last);
    for (Op& op : local) op.a = place[op.a], op.b = op.width == 2 ? place[op.b] : 0;
    const uint64_t length = uint64_t{1} << inside.size();
    // Each gate is set up once for every tile and block of the run.
    std::vector<PreparedGate> gates;
    gates.reserve(local.size());
    for (const Op& op : local) gates.push_back(Split::prepare(op, length));
    uint64_t low = 0;
    while (low < inside.size() && inside[low] == low) ++low;
    const uint64_t stretch = uint64_t{1} << low;
    const std::vector<uint64_t> upper(inside.begin() + low, inside.end());
    std::vector<uint64_t> rows(length / stretch);
    for (uint64_t u = 0; u < rows.size(); ++u) rows[u] = deposit(u, upper);
    // The tile's rows into the buffer, or (back) from it into the state.
    auto copy_rows = [&](View home, Split tile, bool back, bool real_parts) {
        for (uint64_t u = 0; u < rows.size(); ++u) {
            if (u + ROWS_AHEAD < rows.size())
                home.at(rows[u + ROWS_AHEAD]).ask(stretch, real_parts);
            if (back)
                home.at(rows[u]).copy_from(tile.at(u * stretch), stretch, real_parts);
            else
                home.at(rows[u]).copy_to(tile.at(u * stretch), stretch, real_parts);
        }
    };
    std::atomic<bool> stays_real{true};
    for_pieces(uint64_t{1} << outside.size(), 1, parallel, [&](uint64_t first, uint64_t last) {
        TileBuffer& buffer = tile_buffer();
        for (uint64_t t = first; t < last; ++t) {
            const View home = v.at(deposit(t, outside));
            Split tile = buffer.hold(length);
            bool copy = true;
            if constexpr (std::is_same_v<View, Split>)
                if (rows.size() == 1) tile = home, copy = false;
            // A real tile's imaginary parts are not copied in; the buffer's
            // own must then be +0.
            if (copy && real && !buffer.im_clear) std::fill_n(tile.im, length, 0.0);
            if (copy) copy_rows(home, tile, false, real);
            bool tile_real = real;
            apply_tile(tile, length, local, gates, tile_real);
            if (!tile_real) tile_real = all_plus_zero(tile.im, length);
            if (copy) copy_rows(home, tile, true, real && tile_real), buffer.im_clear = tile_real;
            if (!tile_real) stays_real.store(false, std::memory_order_relaxed);
        }
    });
    return stays_real.load();
}

// Interleaved storage packed as split storage in its own array: the first
// half holds the real parts, the second the imaginary ones. A real state is
// packed by levels of indices, each level's sources lying above the places
// it writes and not yet written: [1, 2), [2, 4), ... [N/2, N) in turn, each
// level over the pool. Unpacked the same way, top level first.
template <class Body>
void by_levels(uint64_t count, bool upward, bool parallel, const Body& body) {
    for (uint64_t level = upward ? 1 : count / 2; level >= 1 && level < count;
         level = upward ? 2 * level : level / 2)
        for_pieces(level, PIECE_UPDATES, parallel,
                   [&](uint64_t k0, uint64_t k1) { body(level + k0, level + k1); });
}

void pack_real(double* x, uint64_t count, bool parallel) {
    by_levels(count, true, parallel, [x](uint64_t i0, uint64_t i1) {
        for (uint64_t i = i0; i < i1; ++i) x[i] = x[2 * i];
    });
    for_pieces(count, PIECE_UPDATES, parallel, [x, count](uint64_t i0, uint64_t i1) {
        std::fill(x + count + i0, x + count + i1, 0.0);
    });
}

void unpack_real(double* x, uint64_t count, bool parallel) {
    by_levels(count, false, parallel, [x](uint64_t i0, uint64_t i1) {
        for (uint64_t i = i1; i-- > i0;) x[2 * i] = x[i], x[2 * i + 1] = 0.0;
    });
    x[1] = 0.0;
}

// Any packed state: [A1 A2 | B1 B2] is [A1 B1 | A2 B2] after one exchange of
// halves, then each half in turn. Seldom needed (a real state that met a
// part not finite), so it takes the log2(N) exchanges rather than memory.
void unpack(double* x, uint64_t count, bool parallel) {
    constexpr uint64_t SMALL = 64;
    if (count <= SMALL) {
        double parts[2 * SMALL];
        std::copy_n(x, 2 * count, parts);
        for (uint64_t i = 0; i < count; ++i) x[2 * i] = parts[i], x[2 * i + 1] = parts[count + i];
        return;
    }
    const uint64_t half = count / 2;
    for_pieces(half, PIECE_UPDATES, parallel, [&](uint64_t k0, uint64_t k1) {
        std::swap_ranges(x + half + k0, x + half + k1, x + count + k0);
    });
    unpack(x, half, parallel);
    unpack(x + count, half, parallel);
}

// The runs over an interleaved state. A real state's tiles still read and
// write its +0 imaginary parts here, which share its lines. So ahead of a
// long stretch of runs that keep it real, it is packed (split storage in
// its own array), and unpacked after, or where a run may make it complex;
// packing and unpacking cost about three passes, a packed run half of one
// less.
void apply_runs_packing(Interleaved v, uint64_t n, const std::vector<Op>& ops,
                        const std::vector<Run>& runs, bool parallel) {
    constexpr size_t PACK_MIN_RUNS = 8;
    const uint64_t length = uint64_t{1} << n;
    // Runs from each one on that keep a real state real and known to be
    // (a lone gate's whole-state pass does not look).
    std::vector<size_t> stretch(runs.size() + 1, 0);
    for (size_t r = runs.size(); r-- > 0;) {
        const bool keeps = runs[r].last - runs[r].first > 1 &&
                           std::all_of(ops.begin() + runs[r].first, ops.begin() + runs[r].last,
                                       [](const Op& op) { return op.keeps_real(); });
        stretch[r] = keeps ? stretch[r + 1] + 1 : 0;
    }
    double* x = &v.x->re;
    const Split packed_view{x, x + length};
    bool real = false, packed = false, in_run = false;
    // A run cut short (by an error; an interruption comes between runs)
    // may have left parts that are not +0.
    auto leave = [&] {
        if (real && !in_run)
            unpack_real(x, length, parallel);
        else
            unpack(x, length, parallel);
        packed = false;
    };
    try {
        for (size_t r = 0; r < runs.size(); ++r) {
            tesvi::interrupt::spend(length * (runs[r].last - runs[r].first));
            if (!packed && real && stretch[r] >= PACK_MIN_RUNS)
                pack_real(x, length, parallel), packed = true;
            else if (packed && (!real || stretch[r] == 0))
                leave();
            in_run = true;
            real = packed ? apply_run(packed_view, n, ops, runs[r], parallel, real)
                          : apply_run(v, n, ops, runs[r], parallel, real);
            in_run = false;
        }
    } catch (...) {
        if (packed) leave();
        throw;
    }
    if (packed) leave();
}

// Applies the gates in order, in runs over cache tiles. Between gates, and
// between runs of gates, is where a long circuit can stop.
template <class View>
void apply_ops(View v, uint64_t n, const std::vector<Op>& ops, bool parallel) {
    const uint64_t length = uint64_t{1} << n;
    if (n <= TILE_QUBITS) {
        for (const Op& op : ops) {
            tesvi::interrupt::spend(length);
            apply_whole(v, length, op, parallel);
        }
        return;
    }
    const std::vector<Run> runs = cut_runs(ops);
    if constexpr (std::is_same_v<View, Interleaved>) {
        apply_runs_packing(v, n, ops, runs, parallel);
    } else {
        // Whether every imaginary part is known to be +0: each run finds
        // out, and while it holds, gates that keep it run on the real parts
        // alone.
        bool real = false;
        for (const Run& r : runs) {
            tesvi::interrupt::spend(length * (r.last - r.first));
            real = apply_run(v, n, ops, r, parallel, real);
        }
    }
}

std::vector<Op> gate_ops(const std::vector<circuit::Instruction>& instructions) {
    std::vector<Op> ops;
    for (const auto& ins : instructions) {
        const auto* g = ins.get<circuit::Instruction::Gate>();
        if (!g) continue;
        const uint64_t w = g->gate.num_qubits;
        if (w != 1 && w != 2) unsupported_width();
        ops.emplace_back(w, g->qubits[0], w == 2 ? g->qubits[1] : 0, g->gate);
    }
    return ops;
}

uint64_t qubits_of(uint64_t length) {
    return static_cast<uint64_t>(std::countr_zero(length));
}

}  // namespace

void apply_1q(StateArray<Complex>& state, uint64_t t, const Gate& gate, bool parallel) {
    apply_whole(Interleaved{state.data()}, state.size(), Op(1, t, 0, gate), parallel);
}

void apply_2q(StateArray<Complex>& state, uint64_t a, uint64_t b, const Gate& gate, bool parallel) {
    apply_whole(Interleaved{state.data()}, state.size(), Op(2, a, b, gate), parallel);
}

void apply_gate(StateArray<Complex>& state, const std::vector<uint64_t>& qubits, const Gate& gate,
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

void apply_gates(StateArray<Complex>& state, const std::vector<circuit::Instruction>& instructions,
                 bool parallel) {
    apply_ops(Interleaved{state.data()}, qubits_of(state.size()), gate_ops(instructions), parallel);
}

void apply_1q_soa(StateVectorSoA& state, uint64_t t, const Gate& gate, bool parallel) {
    apply_whole(Split{state.re.data(), state.im.data()}, state.re.size(), Op(1, t, 0, gate),
                parallel);
}

void apply_2q_soa(StateVectorSoA& state, uint64_t a, uint64_t b, const Gate& gate, bool parallel) {
    apply_whole(Split{state.re.data(), state.im.data()}, state.re.size(), Op(2, a, b, gate),
                parallel);
}

void apply_gate_sequence_soa(StateVectorSoA& state,
                             const std::vector<circuit::Instruction>& instructions, bool parallel) {
    apply_ops(Split{state.re.data(), state.im.data()}, qubits_of(state.re.size()),
              gate_ops(instructions), parallel);
}

Result<uint8_t> measure_qubit(StateArray<Complex>& state, uint64_t q, RandomStream& rng) {
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
