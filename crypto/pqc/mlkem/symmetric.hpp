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
// H, PRF_eta and J as jobs, for the builds to hash beside other work
// (indcpa_expand, the noise samplers): each fills out.bytes when it runs,
// and the inputs must outlive it.
// H: SHA3-256 of in.
hash::Job hash_h_job(hash::Output& out, std::span<const uint8_t> in);
// PRF_eta: SHAKE256(key || nonce), the noise of the samplers.
hash::Job prf_job(hash::Output& out, const uint8_t key[SYMBYTES], const uint8_t& nonce);
// J: SHAKE256(z || ct), the implicit-rejection secret.
hash::Job rkprf_job(hash::Output& out, const uint8_t z[SYMBYTES], std::span<const uint8_t> ct);
// XOF: SHAKE128 having absorbed seed || x || y, ready to squeeze.
hash::Sponge xof(const uint8_t seed[SYMBYTES], uint8_t x, uint8_t y);

}  // namespace tesvi_crypto::pqc::mlkem
