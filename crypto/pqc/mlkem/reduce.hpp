// Modular reduction of coefficients, branch-free: the operands are secret.
#pragma once

#include <cstdint>

#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/mlkem/params.hpp"

namespace tesvi_crypto::pqc::mlkem {

inline constexpr int16_t MONT = -1044;  // 2^16 mod q, centred
inline constexpr int16_t QINV = -3327;  // q^-1 mod 2^16

static_assert(static_cast<uint16_t>(Q * QINV) == 1);
static_assert(MONT + Q == (1 << 16) % Q);

// For |a| < 2^15 q: a value congruent to a * 2^-16 mod q, in (-q, q).
constexpr int16_t montgomery_reduce(int32_t a) {
    const auto t = static_cast<int16_t>(static_cast<int16_t>(a) * QINV);
    return static_cast<int16_t>((a - int32_t{t} * Q) >> 16);
}

// The representative of a mod q in [-(q-1)/2, (q-1)/2].
constexpr int16_t barrett_reduce(int16_t a) {
    constexpr int32_t v = ((1 << 26) + Q / 2) / Q;
    const auto t = static_cast<int16_t>((v * a + (1 << 25)) >> 26);
    return static_cast<int16_t>(a - t * Q);
}

// a * b * 2^-16 mod q.
constexpr int16_t fqmul(int16_t a, int16_t b) {
    return montgomery_reduce(int32_t{a} * b);
}

// Maps a in (-q, q) to [0, q).
inline uint16_t caddq(int16_t a) {
    return static_cast<uint16_t>(a + (ct::sign_mask(a) & Q));
}

}  // namespace tesvi_crypto::pqc::mlkem
