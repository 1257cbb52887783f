// K-PKE, the public-key encryption scheme under ML-KEM: fixed-length messages
// of 32 bytes, every random choice derived from the seeds passed in.
#pragma once

#include <cstdint>

#include "crypto/pqc/common/build.hpp"
#include "crypto/pqc/mlkem/params.hpp"

namespace tesvi_crypto::pqc::mlkem {

// Each runs the given build; both give the same bytes.

// pk: INDCPA_PUBLICKEYBYTES, sk: INDCPA_SECRETKEYBYTES, from the 32-byte seed d.
template <unsigned K>
void indcpa_keypair_derand(uint8_t* pk, uint8_t* sk, const uint8_t coins[SYMBYTES], Build build);
// c: INDCPA_BYTES, the encryption of m under pk with the randomness coins.
template <unsigned K>
void indcpa_enc(uint8_t* c, const uint8_t m[SYMBYTES], const uint8_t* pk,
                const uint8_t coins[SYMBYTES], Build build);
template <unsigned K>
void indcpa_dec(uint8_t m[SYMBYTES], const uint8_t* c, const uint8_t* sk, Build build);

}  // namespace tesvi_crypto::pqc::mlkem
