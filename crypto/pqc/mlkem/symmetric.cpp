#include "crypto/pqc/mlkem/symmetric.hpp"

namespace tesvi_crypto::pqc::mlkem {

void hash_h(uint8_t out[SYMBYTES], std::span<const uint8_t> in) {
    hash::Sponge s = hash::sha3_256_sponge();
    s.absorb(in);
    s.squeeze({out, SYMBYTES});
}

void hash_g(uint8_t out[2 * SYMBYTES], std::span<const uint8_t> a, std::span<const uint8_t> b) {
    hash::Sponge s = hash::sha3_512_sponge();
    s.absorb(a);
    s.absorb(b);
    s.squeeze({out, 2 * SYMBYTES});
}

void prf(std::span<uint8_t> out, const uint8_t key[SYMBYTES], uint8_t nonce) {
    hash::Sponge s = hash::shake256_sponge();
    s.absorb({key, SYMBYTES});
    s.absorb({&nonce, 1});
    s.squeeze(out);
}

void rkprf(uint8_t out[SSBYTES], const uint8_t z[SYMBYTES], std::span<const uint8_t> ct) {
    hash::Sponge s = hash::shake256_sponge();
    s.absorb({z, SYMBYTES});
    s.absorb(ct);
    s.squeeze({out, SSBYTES});
}

hash::Sponge xof(const uint8_t seed[SYMBYTES], uint8_t x, uint8_t y) {
    hash::Sponge s = hash::shake128_sponge();
    const uint8_t xy[2] = {x, y};
    s.absorb({seed, SYMBYTES});
    s.absorb(xy);
    return s;
}

}  // namespace tesvi_crypto::pqc::mlkem
