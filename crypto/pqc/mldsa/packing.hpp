// Byte layouts of keys and signatures:
//   public key  rho || t1
//   secret key  rho || key || tr || s1 || s2 || t0
//   signature   ctilde || z || h (hint positions, then the running count per row)
#pragma once

#include <cstdint>
#include <span>

#include "crypto/pqc/mldsa/params.hpp"
#include "crypto/pqc/mldsa/polyvec.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

struct SecretKeyParts {
    uint8_t rho[SEEDBYTES];
    uint8_t key[SEEDBYTES];
    uint8_t tr[TRBYTES];
    PolyVecL s1;
    PolyVecK s2;
    PolyVecK t0;
};

void pack_pk(std::span<uint8_t, PUBLIC_KEY_BYTES> pk, std::span<const uint8_t, SEEDBYTES> rho,
             const PolyVecK& t1);
void unpack_pk(uint8_t rho[SEEDBYTES], PolyVecK& t1, std::span<const uint8_t, PUBLIC_KEY_BYTES> pk);

void pack_sk(std::span<uint8_t, SECRET_KEY_BYTES> sk, const SecretKeyParts& parts);
void unpack_sk(SecretKeyParts& parts, std::span<const uint8_t, SECRET_KEY_BYTES> sk);

void pack_sig(std::span<uint8_t, SIGNATURE_BYTES> sig, std::span<const uint8_t, CTILDEBYTES> ctilde,
              const PolyVecL& z, const PolyVecK& h);
// False for a hint encoding that is not the unique one: a count out of order or
// above OMEGA, positions not strictly increasing within a row, or unused
// position bytes that are not zero.
bool unpack_sig(uint8_t ctilde[CTILDEBYTES], PolyVecL& z, PolyVecK& h,
                std::span<const uint8_t, SIGNATURE_BYTES> sig);

}  // namespace tesvi_crypto::pqc::mldsa65
