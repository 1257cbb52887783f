// Sampling of the public matrix from its seed, by rejection of 12-bit
// candidates. The input is public, so the samplers may branch on it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypto/pqc/mlkem/params.hpp"
#include "crypto/pqc/mlkem/polyvec.hpp"

namespace tesvi_crypto::pqc::mlkem {

inline constexpr size_t XOF_BLOCKBYTES = 168;
// Enough SHAKE128 blocks for 256 coefficients in all but rare cases; more are
// squeezed one at a time.
inline constexpr size_t GEN_MATRIX_NBLOCKS =
    (12 * N / 8 * (1 << 12) / Q + XOF_BLOCKBYTES) / XOF_BLOCKBYTES;

// Up to len coefficients below q from the 12-bit candidates of buf, in order;
// returns how many. Stops after the three-byte group that fills r.
size_t rej_uniform(int16_t* r, size_t len, const uint8_t* buf, size_t buflen);

// Entry (i, j) of A is sampled from XOF(seed, j, i); transposed gives A^T.
template <unsigned K>
void gen_matrix(Matrix<K>& a, const uint8_t seed[SYMBYTES], bool transposed);

}  // namespace tesvi_crypto::pqc::mlkem
