// The hash functions of ML-DSA, all on the shared Keccak sponge: SHAKE256 as
// H, and the seeded SHAKE128/SHAKE256 streams that expand A, s and y.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

#include "crypto/hash/sponge.hpp"
#include "crypto/pqc/mldsa/params.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

// SHAKE256 of the concatenation of the parts.
void shake256(std::span<uint8_t> out, std::initializer_list<std::span<const uint8_t>> parts);

// SHAKE128(seed || nonce as 2 bytes little-endian), ready to squeeze.
hash::Sponge stream128(std::span<const uint8_t, SEEDBYTES> seed, uint16_t nonce);
// SHAKE256(seed || nonce as 2 bytes little-endian), ready to squeeze.
hash::Sponge stream256(std::span<const uint8_t, CRHBYTES> seed, uint16_t nonce);

inline constexpr size_t STREAM128_BLOCKBYTES = 168;
inline constexpr size_t STREAM256_BLOCKBYTES = 136;

}  // namespace tesvi_crypto::pqc::mldsa65
