#include <algorithm>

#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/common/randombytes.hpp"
#include "crypto/pqc/mldsa/api.hpp"
#include "crypto/pqc/mldsa/kernels.hpp"
#include "crypto/pqc/mldsa/packing.hpp"
#include "crypto/pqc/mldsa/polyvec.hpp"
#include "crypto/pqc/mldsa/symmetric.hpp"

namespace tesvi_crypto::pqc::mldsa65 {
namespace {

// mu = H(tr || M') with M' = 0 || 0 || msg: pure signing, empty context.
void message_representative(uint8_t mu[CRHBYTES], std::span<const uint8_t, TRBYTES> tr,
                            std::span<const uint8_t> msg) {
    const uint8_t domain_and_context_length[2] = {0, 0};
    shake256({mu, CRHBYTES}, {tr, domain_and_context_length, msg});
}

// What every signing attempt shares: the key in NTT domain, mu and the mask seed.
struct Signer {
    PolyMatrix mat;
    PolyVecL s1;
    PolyVecK s2;
    PolyVecK t0;
    uint8_t mu[CRHBYTES];
    uint8_t rhoprime[CRHBYTES];
};

// Rejection decisions are declassified: a restart reveals only that attempt
// `nonce` failed a check (and which, and at which polynomial). The checks
// exist so that an accepted z, low part and hint are independent of the
// secret key, and the values of a rejected attempt are never released, so the
// restart depends only on what is public after the fact. That is the accepted
// treatment of this loop; the reference implementation branches here in the
// same way.
bool rejected(bool check) {
    return ct::declassified(check);
}

// For each entry u[i]: c u[i] back out of NTT domain, handed to check(i, p);
// false at the first entry the check rejects, so a rejected attempt stops
// there.
template <size_t M, class Check>
bool products_pass(const Kernels& k, const Poly& cp, const PolyVec<M>& u, Check check) {
    for (size_t i = 0; i < M; ++i) {
        Poly p;
        k.pointwise_montgomery(p, cp, u.vec[i]);
        k.invntt_tomont(p);
        if (rejected(check(i, p))) return false;
    }
    return true;
}

// One attempt with mask number `nonce`; false when a check rejects it.
bool sign_attempt(std::span<uint8_t, SIGNATURE_BYTES> sig, const Kernels& k, const Signer& s,
                  uint16_t nonce) {
    PolyVecL y, z;
    PolyVecK w0, w1, h;

    k.uniform_gamma1(y, std::span<const uint8_t, CRHBYTES>(s.rhoprime), nonce);
    z = y;
    polyvec_ntt(k, z);
    polyvec_matrix_pointwise_montgomery(k, w1, s.mat, z);
    polyvec_reduce(k, w1);
    polyvec_invntt_tomont(k, w1);
    polyvec_caddq(k, w1);
    each<K>(k.decompose, w1, w0, w1);

    uint8_t w1_packed[K * POLYW1_PACKEDBYTES];
    uint8_t ctilde[CTILDEBYTES];
    polyveck_pack_w1(w1_packed, w1);
    shake256(ctilde, {s.mu, w1_packed});
    Poly cp;
    poly_challenge(cp, ctilde, k.challenge_place);
    k.ntt(cp);

    // z = y + c s1 must not reveal s1.
    if (!products_pass(k, cp, s.s1, [&](size_t i, const Poly& cs1) {
            poly_add(z.vec[i], cs1, y.vec[i]);
            k.reduce(z.vec[i]);
            return k.chknorm(z.vec[i], GAMMA1 - BETA);
        }))
        return false;

    // Subtracting c s2 must leave the high part of w unchanged and a low part
    // that reveals nothing.
    if (!products_pass(k, cp, s.s2, [&](size_t i, const Poly& cs2) {
            poly_sub(w0.vec[i], w0.vec[i], cs2);
            k.reduce(w0.vec[i]);
            return k.chknorm(w0.vec[i], GAMMA2 - BETA);
        }))
        return false;

    // The hint makes up for the missing c t0.
    if (!products_pass(k, cp, s.t0, [&](size_t i, const Poly& ct0) {
            h.vec[i] = ct0;
            k.reduce(h.vec[i]);
            return k.chknorm(h.vec[i], GAMMA2);
        }))
        return false;
    polyvec_add(w0, w0, h);
    unsigned hints = 0;
    for (size_t i = 0; i < K; ++i) hints += k.make_hint(h.vec[i], w0.vec[i], w1.vec[i]);
    if (rejected(hints > OMEGA)) return false;

    ct::declassify(h);  // accepted: the hint positions are published in the signature
    pack_sig(sig, ctilde, z, h);
    return true;
}

}  // namespace

tesvi::Expected<DetachedSignature, std::string> DetachedSignature::from_bytes(
    std::span<const uint8_t> in) {
    if (in.size() > SIGNATURE_BYTES)
        return tesvi::unexpected(length_error("DetachedSignature", SIGNATURE_BYTES, in.size()));
    DetachedSignature sig;
    std::copy(in.begin(), in.end(), sig.bytes_.begin());
    sig.len_ = in.size();
    return sig;
}

Keypair keypair() {
    uint8_t xi[SEEDBYTES];
    randombytes(xi);
    return keypair_from_seed(xi);
}

Keypair keypair_from_seed(std::span<const uint8_t, SEEDBYTES> xi, Build build) {
    const Kernels& k = kernels(build);
    uint8_t seeds[SEEDBYTES + CRHBYTES + SEEDBYTES];
    const uint8_t dimensions[2] = {K, L};
    shake256(seeds, {xi, dimensions});

    SecretKeyParts parts;
    std::copy_n(seeds, SEEDBYTES, parts.rho);
    ct::declassify(parts.rho);  // published in the public key
    const std::span<const uint8_t, CRHBYTES> rhoprime(seeds + SEEDBYTES, CRHBYTES);
    std::copy_n(seeds + SEEDBYTES + CRHBYTES, SEEDBYTES, parts.key);

    PolyMatrix mat;
    k.matrix_expand(mat, std::span<const uint8_t, SEEDBYTES>(parts.rho));
    k.uniform_eta(parts.s1, parts.s2, rhoprime);

    // t = A s1 + s2
    PolyVecL s1hat = parts.s1;
    PolyVecK t1;
    polyvec_ntt(k, s1hat);
    polyvec_matrix_pointwise_montgomery(k, t1, mat, s1hat);
    polyvec_reduce(k, t1);
    polyvec_invntt_tomont(k, t1);
    polyvec_add(t1, t1, parts.s2);
    polyvec_caddq(k, t1);
    each<K>(k.power2round, t1, parts.t0, t1);

    Keypair kp;
    pack_pk(kp.public_key.bytes, parts.rho, t1);
    shake256(parts.tr, {kp.public_key.bytes});
    pack_sk(kp.secret_key.bytes, parts);
    return kp;
}

DetachedSignature detached_sign(std::span<const uint8_t> msg, const SecretKey& sk, Build build) {
    const Kernels& k = kernels(build);
    SecretKeyParts parts;
    unpack_sk(parts, sk.bytes);
    ct::declassify(parts.rho);  // the same seed is in the public key

    Signer s;
    message_representative(s.mu, parts.tr, msg);
    const uint8_t rnd[RNDBYTES] = {};  // deterministic variant
    shake256(s.rhoprime, {parts.key, rnd, s.mu});

    k.matrix_expand(s.mat, std::span<const uint8_t, SEEDBYTES>(parts.rho));
    s.s1 = parts.s1;
    s.s2 = parts.s2;
    s.t0 = parts.t0;
    polyvec_ntt(k, s.s1);
    polyvec_ntt(k, s.s2);
    polyvec_ntt(k, s.t0);

    std::array<uint8_t, SIGNATURE_BYTES> sig;
    for (uint16_t nonce = 0; !sign_attempt(sig, k, s, nonce); ++nonce) {
    }
    return DetachedSignature(sig);
}

bool verify_detached_signature(const DetachedSignature& sig, std::span<const uint8_t> msg,
                               const PublicKey& pk, Build build) {
    const Kernels& k = kernels(build);
    if (sig.size() != SIGNATURE_BYTES) return false;

    uint8_t rho[SEEDBYTES];
    uint8_t ctilde[CTILDEBYTES];
    PolyVecK t1, h, w1;
    PolyVecL z;
    unpack_pk(rho, t1, pk.bytes);
    if (!unpack_sig(ctilde, z, h, sig.as_bytes().first<SIGNATURE_BYTES>())) return false;
    if (polyvec_chknorm(k, z, GAMMA1 - BETA)) return false;

    uint8_t tr[TRBYTES];
    uint8_t mu[CRHBYTES];
    shake256(tr, {pk.bytes});
    message_representative(mu, tr, msg);

    // w1' = UseHint(h, A z - c t1 2^D)
    Poly cp;
    poly_challenge(cp, ctilde, k.challenge_place);
    PolyMatrix mat;
    k.matrix_expand(mat, std::span<const uint8_t, SEEDBYTES>(rho));
    polyvec_ntt(k, z);
    polyvec_matrix_pointwise_montgomery(k, w1, mat, z);
    k.ntt(cp);
    polyvec_shiftl(t1);
    polyvec_ntt(k, t1);
    for (Poly& p : t1.vec) k.pointwise_montgomery(p, cp, p);
    polyvec_sub(w1, w1, t1);
    polyvec_reduce(k, w1);
    polyvec_invntt_tomont(k, w1);
    polyvec_caddq(k, w1);
    each<K>(k.use_hint, w1, w1, h);

    uint8_t w1_packed[K * POLYW1_PACKEDBYTES];
    uint8_t ctilde_check[CTILDEBYTES];
    polyveck_pack_w1(w1_packed, w1);
    shake256(ctilde_check, {mu, w1_packed});
    return std::equal(ctilde, ctilde + CTILDEBYTES, ctilde_check);
}

}  // namespace tesvi_crypto::pqc::mldsa65
