// AVX2 forms of the two-qubit update. Every lane performs exactly the scalar
// kernel's multiplications and additions in the same order (no fused
// multiply-add), so results are bit-identical to the portable loops.
#pragma once

#include <cstdint>

#include "quantum/complex.hpp"

namespace tesvi_quantum::simulator::statevector::avx2 {

bool available();

// Updates the quadruples with flat indices [k0, k1): quad k sits at the offset
// made by inserting zero bits at positions lo and hi into k.
void quads(complex::Complex* x, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
           const complex::Complex* m);
void quads_soa(double* re, double* im, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
               const complex::Complex* m);

// The offset of quad k for the qubit pair with lower bit lo and higher bit hi.
inline uint64_t quad_offset(uint64_t k, uint64_t lo, uint64_t hi) {
    const uint64_t low = k & ((uint64_t{1} << lo) - 1);
    k = ((k >> lo) << (lo + 1)) | low;
    const uint64_t mid = k & ((uint64_t{1} << hi) - 1);
    return ((k >> hi) << (hi + 1)) | mid;
}

}  // namespace tesvi_quantum::simulator::statevector::avx2
