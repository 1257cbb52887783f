// The vector forms of the gate updates over ranges of update indices, for
// AVX2 and AVX-512. Every lane performs exactly the scalar kernel's
// multiplications and additions in the same order (no fused multiply-add), so
// results are bit-identical to the portable loops.
#pragma once

#include <cstdint>

#include "quantum/complex.hpp"

namespace tesvi_quantum::simulator::statevector {

// A gate matrix with one nonzero entry in each row and each column, each
// exactly 1, i, -1 or -i, and zero entries whose parts are zeros of either
// sign (X, CNOT, SWAP, Z, CZ, S, Y): source[r] is the column of row r's entry
// and turn[r] the power of i it is. ones: every entry is, bit for bit,
// 1 + 0i or 0 + 0i. The prepared kernels move amplitudes for it instead of
// multiplying, with the bits of the full product.
struct Permutation {
    uint8_t source[4];
    uint8_t turn[4];
    bool ones;
};

// The offset of pair k for target t: k with a zero bit inserted at position t.
inline uint64_t pair_offset(uint64_t k, uint64_t t) {
    return ((k >> t) << (t + 1)) | (k & ((uint64_t{1} << t) - 1));
}

// The offset of quad k for the qubit pair with lower bit lo and higher bit hi.
inline uint64_t quad_offset(uint64_t k, uint64_t lo, uint64_t hi) {
    return pair_offset(pair_offset(k, lo), hi);
}

// Two distances between an update's slots leave the processor's
// prefetchers behind, over a state in memory, on AMD Zen 4:
// - NEAR_MIN_BYTES to NEAR_END_BYTES, within one page: such a gate took 1.2
//   to 1.9 passes (a plain loop on one core well over two), against one for
//   slots nearer or farther apart. Its loops ask for each run of
//   neighbours' lines in every slot NEAR_AHEAD bytes ahead.
// - FAR_BYTES and more: the slots fall into the same memory bank, which a
//   line of one and a line of the other keep reopening (a plain loop took
//   five passes; the kernels, which take whole lines, 1.1 to 1.6). Its loops
//   ask for FAR_BLOCK amplitudes of every slot at a time, slot after slot,
//   FAR_AHEAD amplitudes ahead.
// They ask the second-level cache: asked into the first, they gained little.
constexpr uint64_t NEAR_MIN_BYTES = 512, NEAR_END_BYTES = 4096, NEAR_AHEAD = 16384;
constexpr uint64_t FAR_BYTES = uint64_t{1} << 28, FAR_BLOCK = 64, FAR_AHEAD = 8 * FAR_BLOCK;

inline bool near_slots(uint64_t bytes) {
    return bytes >= NEAR_MIN_BYTES && bytes < NEAR_END_BYTES;
}

// Asks the second-level cache for the lines of [p, p + bytes). Out of line,
// since inlined its loop took registers from the loops it serves; and out of
// the optimizer's sight, which would count a function of prefetches alone as
// one without effects and drop its calls.
[[gnu::noipa]] inline void ask_second_level(const void* p, uint64_t bytes) {
    const char* line = static_cast<const char*>(p);
    for (uint64_t i = 0; i < bytes; i += 64) __builtin_prefetch(line + i, 0, 1);
}

// A gate's update set up once for many ranges of its updates (the blocks of
// a cache tile, the pieces of a whole-state pass): run applies updates
// [k0, k1) to split storage at re, im, or to interleaved storage at re (the
// Complex array's first part; im unused). It refers to the matrix and the
// permutation it was made from, which must outlive it.
//
// run_real, where set, is run for split storage whose imaginary parts under
// the range are all +0: it reads none of them, and returns whether they all
// still are. It is set for real matrices that keep real amplitudes real:
// every row has an entry of +0 or positive real part, in one column for all
// the rows a register holds. Only a part that is not finite (or a sum that
// overflows) takes it to the full product, which writes imaginary parts.
//
// streaming: the ranges lie in a whole state in memory, not in a cache
// tile, and loops over slots near each other or far apart ask ahead.
struct PreparedGate {
    alignas(64) unsigned char bytes[6144];
    bool streaming = false;
    void (*run)(const PreparedGate& g, double* re, double* im, uint64_t k0, uint64_t k1);
    bool (*run_real)(const PreparedGate& g, double* re, double* im, uint64_t k0,
                     uint64_t k1) = nullptr;
};

// The prepared kernels of one instruction set. split and interleaved set up
// matrix m for that storage as a PreparedGate over the pairs of target a
// (width 1; update k at pair_offset(k, a)) or the quadruples of qubits (a, b)
// (width 2; at quad_offset, slot 1 at 2^b and slot 2 at 2^a); perm, when
// given, is m as a permutation. split_parts and join_parts copy count
// amplitudes from interleaved storage into split storage and back; with im
// null, split_parts takes the real parts alone and join_parts writes +0
// imaginary parts.
struct PreparedKernels {
    using Prepare = void (*)(PreparedGate& g, uint64_t width, uint64_t a, uint64_t b,
                             const complex::Complex* m, const Permutation* perm);
    Prepare split, interleaved;
    void (*split_parts)(const complex::Complex* x, double* re, double* im, uint64_t count);
    void (*join_parts)(complex::Complex* x, const double* re, const double* im, uint64_t count);
};

// pairs: the products of the pairs of target t with indices [k0, k1), over
// interleaved storage; quads: the quadruples of qubits (a, b) likewise, slots
// as above. And the prepared kernels.
namespace avx2 {
void pairs(complex::Complex* x, uint64_t t, uint64_t k0, uint64_t k1, const complex::Complex* m,
           bool streaming);
void quads(complex::Complex* x, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
           const complex::Complex* m, bool streaming);
extern const PreparedKernels prepared;
}  // namespace avx2

namespace avx512 {
extern const PreparedKernels prepared;  // only where tesvi::cpu::has_avx512()
}  // namespace avx512

}  // namespace tesvi_quantum::simulator::statevector
