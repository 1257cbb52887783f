// Branch-free modular reductions: every coefficient of a secret passes through
// these, so none may branch on its input.
#pragma once

#include <cstdint>

#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/mldsa/params.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

inline constexpr int32_t QINV = 58728449;  // q^-1 mod 2^32

// For |a| <= 2^31 q: a 2^-32 mod q, in (-q, q).
inline int32_t montgomery_reduce(int64_t a) {
    int32_t t = static_cast<int32_t>(static_cast<int64_t>(static_cast<int32_t>(a)) * QINV);
    return static_cast<int32_t>((a - static_cast<int64_t>(t) * Q) >> 32);
}

// For a <= 2^31 - 2^22 - 1: r = a mod q with -6283009 <= r <= 6283007.
inline int32_t reduce32(int32_t a) {
    int32_t t = (a + (1 << 22)) >> 23;
    return a - t * Q;
}

// Adds q when a is negative.
inline int32_t caddq(int32_t a) {
    return a + (ct::sign_mask(a) & Q);
}

}  // namespace tesvi_crypto::pqc::mldsa65
