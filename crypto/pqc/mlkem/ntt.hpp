// The number-theoretic transform over Z_q[X]/(X^256 + 1), in place. The NTT
// domain is 128 residues mod X^2 - zeta^(2 brv(i) + 1), in bit-reversed order.
#pragma once

#include <array>
#include <cstdint>

#include "crypto/pqc/mlkem/params.hpp"

namespace tesvi_crypto::pqc::mlkem {

// 17^brv7(i) * 2^16 mod q, centred: the twiddle factors in Montgomery form.
extern const std::array<int16_t, 128> ZETAS;

// Input coefficients in (-q, q); outputs stay below 8q in absolute value.
void ntt(std::array<int16_t, N>& r);
// Inverse transform, leaving every coefficient multiplied by 2^16 (Montgomery
// form), so that a product of two transformed inputs comes back in normal form.
void invntt(std::array<int16_t, N>& r);
// (a0 + a1 X)(b0 + b1 X) mod (X^2 - zeta), with a factor 2^-16.
void basemul(int16_t r[2], const int16_t a[2], const int16_t b[2], int16_t zeta);

}  // namespace tesvi_crypto::pqc::mlkem
