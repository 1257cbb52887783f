// K-PKE, the public-key encryption scheme under ML-KEM: fixed-length messages
// of 32 bytes, every random choice derived from the seeds passed in.
#pragma once

#include <cstdint>
#include <span>

#include "crypto/hash/sponge.hpp"
#include "crypto/pqc/common/build.hpp"
#include "crypto/pqc/mlkem/params.hpp"
#include "crypto/pqc/mlkem/polyvec.hpp"

namespace tesvi_crypto::pqc::mlkem {

// Each runs the given build; both give the same bytes.

// pk: INDCPA_PUBLICKEYBYTES, sk: INDCPA_SECRETKEYBYTES, from the 32-byte seed d.
template <unsigned K>
void indcpa_keypair_derand(uint8_t* pk, uint8_t* sk, const uint8_t coins[SYMBYTES], Build build);
// at = A^T from the seed in pk, with the caller's hash jobs run beside it
// (the AVX2 build hashes them in the lanes the matrix leaves free).
template <unsigned K>
void indcpa_expand(Matrix<K>& at, const uint8_t* pk, std::span<const hash::Job> beside,
                   Build build);
// c: INDCPA_BYTES, the encryption of m under pk, whose indcpa_expand is at,
// with the randomness coins.
template <unsigned K>
void indcpa_enc(uint8_t* c, const uint8_t m[SYMBYTES], const uint8_t* pk, const Matrix<K>& at,
                const uint8_t coins[SYMBYTES], Build build);
template <unsigned K>
void indcpa_dec(uint8_t m[SYMBYTES], const uint8_t* c, const uint8_t* sk, Build build);

}  // namespace tesvi_crypto::pqc::mlkem
