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

hash::Job hash_h_job(hash::Output& out, std::span<const uint8_t> in) {
    return hash::output_job(hash::sha3_256_sponge(), in, {}, out);
}

hash::Job prf_job(hash::Output& out, const uint8_t key[SYMBYTES], const uint8_t& nonce) {
    return hash::output_job(hash::shake256_sponge(), {key, SYMBYTES}, {&nonce, 1}, out);
}

hash::Job rkprf_job(hash::Output& out, const uint8_t z[SYMBYTES], std::span<const uint8_t> ct) {
    return hash::output_job(hash::shake256_sponge(), {z, SYMBYTES}, ct, out);
}

hash::Sponge xof(const uint8_t seed[SYMBYTES], uint8_t x, uint8_t y) {
    hash::Sponge s = hash::shake128_sponge();
    const uint8_t xy[2] = {x, y};
    s.absorb({seed, SYMBYTES});
    s.absorb(xy);
    return s;
}

}  // namespace tesvi_crypto::pqc::mlkem
