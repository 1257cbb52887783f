#include "crypto/pqc/mldsa/symmetric.hpp"

namespace tesvi_crypto::pqc::mldsa65 {
namespace {

hash::Sponge seeded(hash::Sponge sponge, std::span<const uint8_t> seed, uint16_t nonce) {
    const uint8_t t[2] = {static_cast<uint8_t>(nonce), static_cast<uint8_t>(nonce >> 8)};
    sponge.absorb(seed);
    sponge.absorb(t);
    return sponge;
}

}  // namespace

void shake256(std::span<uint8_t> out, std::initializer_list<std::span<const uint8_t>> parts) {
    hash::Sponge sponge = hash::shake256_sponge();
    for (std::span<const uint8_t> part : parts) sponge.absorb(part);
    sponge.squeeze(out);
}

hash::Sponge stream128(std::span<const uint8_t, SEEDBYTES> seed, uint16_t nonce) {
    return seeded(hash::shake128_sponge(), seed, nonce);
}

hash::Sponge stream256(std::span<const uint8_t, CRHBYTES> seed, uint16_t nonce) {
    return seeded(hash::shake256_sponge(), seed, nonce);
}

}  // namespace tesvi_crypto::pqc::mldsa65
