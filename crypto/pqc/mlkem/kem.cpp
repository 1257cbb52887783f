#include "crypto/pqc/mlkem/kem.hpp"

#include <algorithm>

#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/common/randombytes.hpp"
#include "crypto/pqc/mlkem/indcpa.hpp"
#include "crypto/pqc/mlkem/symmetric.hpp"
#include "crypto/pqc/mlkem/verify.hpp"

namespace tesvi_crypto::pqc::mlkem {

// The secret key is dk_PKE || ek || H(ek) || z.
template <unsigned K>
typename MlKem<K>::KeyPair MlKem<K>::keypair_derand(std::span<const uint8_t, 2 * SYMBYTES> d_z,
                                                    Build build) {
    KeyPair kp;
    uint8_t* pk = kp.public_key.bytes.data();
    uint8_t* sk = kp.secret_key.bytes.data();
    indcpa_keypair_derand<K>(pk, sk, d_z.data(), build);
    uint8_t* sk_pk = sk + P::INDCPA_SECRETKEYBYTES;
    std::copy_n(pk, P::PUBLICKEYBYTES, sk_pk);
    hash_h(sk_pk + P::PUBLICKEYBYTES, {pk, P::PUBLICKEYBYTES});
    std::copy_n(d_z.data() + SYMBYTES, SYMBYTES, sk_pk + P::PUBLICKEYBYTES + SYMBYTES);
    return kp;
}

template <unsigned K>
typename MlKem<K>::KeyPair MlKem<K>::keypair() {
    uint8_t d_z[2 * SYMBYTES];
    randombytes(d_z);
    return keypair_derand(d_z);
}

// (K, r) = G(m || H(ek)); the ciphertext encrypts m with the randomness r.
template <unsigned K>
typename MlKem<K>::Encapsulation MlKem<K>::encapsulate_derand(const PublicKey& pk,
                                                              std::span<const uint8_t, SYMBYTES> m,
                                                              Build build) {
    uint8_t h[SYMBYTES];
    uint8_t kr[2 * SYMBYTES];
    // H(ek) needs nine or more permutations in a row: it runs beside the matrix.
    hash::Output h_out{h};
    const hash::Job hash_ek = hash_h_job(h_out, pk.bytes);
    Matrix<K> at;
    indcpa_expand<K>(at, pk.bytes.data(), {&hash_ek, 1}, build);
    hash_g(kr, m, h);
    Encapsulation out;
    indcpa_enc<K>(out.ciphertext.bytes.data(), m.data(), pk.bytes.data(), at, kr + SYMBYTES, build);
    std::copy_n(kr, SSBYTES, out.shared_secret.begin());
    return out;
}

template <unsigned K>
typename MlKem<K>::Encapsulation MlKem<K>::encapsulate(const PublicKey& pk) {
    uint8_t m[SYMBYTES];
    randombytes(m);
    return encapsulate_derand(pk, m);
}

// Decrypts m', re-encrypts it and keeps K' only when the ciphertexts agree;
// the choice between K' and J(z || ct) is a masked copy, not a branch.
template <unsigned K>
SharedSecret MlKem<K>::decapsulate(const Ciphertext& ct, const SecretKey& sk, Build build) {
    const uint8_t* dk_pke = sk.bytes.data();
    const uint8_t* ek = dk_pke + P::INDCPA_SECRETKEYBYTES;
    const uint8_t* h = ek + P::PUBLICKEYBYTES;
    const uint8_t* z = h + SYMBYTES;

    uint8_t m[SYMBYTES];
    uint8_t kr[2 * SYMBYTES];
    uint8_t cmp[P::CIPHERTEXTBYTES];
    indcpa_dec<K>(m, ct.bytes.data(), dk_pke, build);
    hash_g(kr, m, {h, SYMBYTES});
    // J(z || ct) runs beside the matrix of the re-encryption.
    SharedSecret ss;
    hash::Output ss_out{ss};
    const hash::Job reject = rkprf_job(ss_out, z, ct.bytes);
    Matrix<K> at;
    indcpa_expand<K>(at, ek, {&reject, 1}, build);
    indcpa_enc<K>(cmp, m, ek, at, kr + SYMBYTES, build);
    const uint8_t differ = verify(ct.bytes.data(), cmp, P::CIPHERTEXTBYTES);
    ct::cmov(ss.data(), kr, SSBYTES, static_cast<uint8_t>(1 - differ));
    return ss;
}

template struct MlKem<2>;
template struct MlKem<3>;
template struct MlKem<4>;

}  // namespace tesvi_crypto::pqc::mlkem
