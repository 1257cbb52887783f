// The hash functions ML-KEM is built from, all on the Keccak sponge.
#pragma once

#include <cstdint>
#include <span>

#include "crypto/hash/sponge.hpp"
#include "crypto/pqc/mlkem/params.hpp"

namespace tesvi_crypto::pqc::mlkem {

// H: SHA3-256.
void hash_h(uint8_t out[SYMBYTES], std::span<const uint8_t> in);
// G: SHA3-512 of a || b, split by callers into two 32-byte halves.
void hash_g(uint8_t out[2 * SYMBYTES], std::span<const uint8_t> a, std::span<const uint8_t> b);
// PRF_eta: SHAKE256(key || nonce), the noise of the samplers.
void prf(std::span<uint8_t> out, const uint8_t key[SYMBYTES], uint8_t nonce);
// J: SHAKE256(z || ct) to 32 bytes, the implicit-rejection secret.
void rkprf(uint8_t out[SSBYTES], const uint8_t z[SYMBYTES], std::span<const uint8_t> ct);
// XOF: SHAKE128 having absorbed seed || x || y, ready to squeeze.
hash::Sponge xof(const uint8_t seed[SYMBYTES], uint8_t x, uint8_t y);

}  // namespace tesvi_crypto::pqc::mlkem
