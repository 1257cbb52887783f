// Splitting coefficients into high and low parts, and the hints that let a
// verifier recover high parts. All but use_hint see secret-derived values, so
// they are written without branches.
#pragma once

#include <cstdint>

#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/mldsa/params.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

// For a in [0, q): a = a1 2^D + a0 with -2^(D-1) < a0 <= 2^(D-1); returns a1.
inline int32_t power2round(int32_t& a0, int32_t a) {
    int32_t a1 = (a + (1 << (D - 1)) - 1) >> D;
    a0 = a - (a1 << D);
    return a1;
}

// For a in [0, q): a = a1 2 GAMMA2 + a0 with -GAMMA2 < a0 <= GAMMA2, except
// that a1 = 16 wraps to 0 with a0 = a - q; returns a1 in [0, 16). The
// multiply-shift stands in for a division by 2 GAMMA2.
inline int32_t decompose(int32_t& a0, int32_t a) {
    int32_t a1 = (a + 127) >> 7;
    a1 = ((a1 * 1025 + (1 << 21)) >> 22) & 15;
    a0 = a - a1 * 2 * GAMMA2;
    a0 -= ct::sign_mask((Q - 1) / 2 - a0) & Q;
    return a1;
}

// 1 when adding a0 to a value with high part a1 would change the high part:
// a0 > GAMMA2, a0 < -GAMMA2, or a0 = -GAMMA2 with a1 != 0.
inline uint32_t make_hint(int32_t a0, int32_t a1) {
    uint32_t above = static_cast<uint32_t>(GAMMA2 - a0) >> 31;
    uint32_t below = static_cast<uint32_t>(a0 + GAMMA2) >> 31;
    uint32_t at_edge = ct::nonzero_bit(static_cast<uint32_t>(a0 + GAMMA2)) ^ 1;
    uint32_t a1_set = ct::nonzero_bit(static_cast<uint32_t>(a1));
    return ct::value_barrier(above | below | (at_edge & a1_set));
}

// The high part of a corrected by the hint bit. Verification only: public data.
inline int32_t use_hint(int32_t a, uint32_t hint) {
    int32_t a0;
    int32_t a1 = decompose(a0, a);
    if (hint == 0) return a1;
    return a0 > 0 ? (a1 + 1) & 15 : (a1 - 1) & 15;
}

}  // namespace tesvi_crypto::pqc::mldsa65
