// The number-theoretic transform over Z_q[X]/(X^256 + 1), in place. The NTT
// domain is 128 residues mod X^2 - zeta^(2 brv(i) + 1), in bit-reversed order.
#pragma once

#include <array>
#include <cstdint>

#include "crypto/pqc/mlkem/params.hpp"
#include "crypto/pqc/mlkem/reduce.hpp"

namespace tesvi_crypto::pqc::mlkem {

constexpr unsigned bitrev7(unsigned i) {
    unsigned r = 0;
    for (unsigned b = 0; b < 7; ++b) r |= ((i >> b) & 1) << (6 - b);
    return r;
}

// 17^brv7(i) * 2^16 mod q, centred: the twiddle factors in Montgomery form.
// Computed at compile time, so the AVX2 build lays out its lane tables from them.
inline constexpr std::array<int16_t, 128> ZETAS = [] {
    constexpr int32_t root = 17;  // a primitive 256th root of unity mod q
    std::array<int16_t, 128> z{};
    for (unsigned i = 0; i < 128; ++i) {
        int32_t v = MONT + Q;
        for (unsigned e = bitrev7(i); e > 0; --e) v = v * root % Q;
        z[i] = static_cast<int16_t>(v > Q / 2 ? v - Q : v);
    }
    return z;
}();

// 2^32 / 128 mod q: undoes the 128 halvings of the inverse butterflies and
// leaves the result in Montgomery form.
inline constexpr int16_t INVNTT_SCALE = 1441;
static_assert(INVNTT_SCALE * 128 % Q == (int64_t{1} << 32) % Q);

// Input coefficients in (-q, q); outputs stay below 8q in absolute value.
void ntt(std::array<int16_t, N>& r);
// Inverse transform, leaving every coefficient multiplied by 2^16 (Montgomery
// form), so that a product of two transformed inputs comes back in normal form.
void invntt(std::array<int16_t, N>& r);
// (a0 + a1 X)(b0 + b1 X) mod (X^2 - zeta), with a factor 2^-16.
void basemul(int16_t r[2], const int16_t a[2], const int16_t b[2], int16_t zeta);

}  // namespace tesvi_crypto::pqc::mlkem
