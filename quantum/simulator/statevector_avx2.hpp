// AVX2 forms of the gate updates over ranges of update indices. Every lane
// performs exactly the scalar kernel's multiplications and additions in the
// same order (no fused multiply-add), so results are bit-identical to the
// portable loops.
#pragma once

#include <cstdint>

#include "quantum/complex.hpp"

namespace tesvi_quantum::simulator::statevector::avx2 {

// A gate matrix whose every entry is exactly 1 + 0i or 0 + 0i (no -0 part),
// with one 1 in each row and each column: source[r] is the column of row r's 1
// (CNOT, X, SWAP).
// The kernels move amplitudes for it instead of multiplying, with the bits of
// the full product.
struct Permutation {
    uint8_t source[4];
};

// Updates the pairs of target t with flat indices [k0, k1): pair k sits at the
// offset made by inserting a zero bit at position t into k.
void pairs(complex::Complex* x, uint64_t t, uint64_t k0, uint64_t k1, const complex::Complex* m,
           const Permutation* perm = nullptr);
void pairs_soa(double* re, double* im, uint64_t t, uint64_t k0, uint64_t k1,
               const complex::Complex* m);

// Updates the quadruples with flat indices [k0, k1): quad k sits at the offset
// made by inserting zero bits at positions lo and hi into k.
void quads(complex::Complex* x, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
           const complex::Complex* m, const Permutation* perm = nullptr);
void quads_soa(double* re, double* im, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
               const complex::Complex* m);

// The offset of pair k for target t.
inline uint64_t pair_offset(uint64_t k, uint64_t t) {
    return ((k >> t) << (t + 1)) | (k & ((uint64_t{1} << t) - 1));
}

// The offset of quad k for the qubit pair with lower bit lo and higher bit hi.
inline uint64_t quad_offset(uint64_t k, uint64_t lo, uint64_t hi) {
    return pair_offset(pair_offset(k, lo), hi);
}

}  // namespace tesvi_quantum::simulator::statevector::avx2
