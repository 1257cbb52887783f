// Polynomials of Z_q[X]/(X^256 + 1) with int16 coefficients, and their byte
// forms. Coefficient bounds are stated where a function needs them.
#pragma once

#include <array>
#include <cstdint>

#include "crypto/pqc/mlkem/params.hpp"

namespace tesvi_crypto::pqc::mlkem {

// Aligned for the AVX2 build, which moves 32 bytes at a time.
struct alignas(32) Poly {
    std::array<int16_t, N> coeffs;
};

// Compress_D then ByteEncode_D: 32 D bytes. Coefficients in (-q, q).
template <unsigned D>
void poly_compress(uint8_t* r, const Poly& a);
// ByteDecode_D then Decompress_D: coefficients in [0, q).
template <unsigned D>
void poly_decompress(Poly& r, const uint8_t* a);

// ByteEncode_12 of the representatives in [0, q). Coefficients in (-q, q).
void poly_tobytes(uint8_t r[POLYBYTES], const Poly& a);
// ByteDecode_12: coefficients in [0, 4096), not reduced.
void poly_frombytes(Poly& r, const uint8_t a[POLYBYTES]);

// Bit i of the message becomes coefficient i: 0 or (q + 1) / 2.
void poly_frommsg(Poly& r, const uint8_t msg[SYMBYTES]);
// Coefficient i, rounded to 0 or 1, becomes bit i. Coefficients in (-q, q).
void poly_tomsg(uint8_t msg[SYMBYTES], const Poly& a);

// Forward transform followed by a reduction of every coefficient.
void poly_ntt(Poly& r);
void poly_invntt_tomont(Poly& r);
// The product in the NTT domain, with a factor 2^-16.
void poly_basemul_montgomery(Poly& r, const Poly& a, const Poly& b);
// r = sum of the k products a[i] b[i] in the NTT domain, with a factor 2^-16, reduced.
void poly_basemul_acc_montgomery(Poly& r, const Poly* a, const Poly* b, unsigned k);
// Multiplies by 2^16: into Montgomery form.
void poly_tomont(Poly& r);
// Barrett reduction of every coefficient to [-(q-1)/2, (q-1)/2].
void poly_reduce(Poly& r);
void poly_add(Poly& r, const Poly& a, const Poly& b);
void poly_sub(Poly& r, const Poly& a, const Poly& b);

}  // namespace tesvi_crypto::pqc::mlkem
