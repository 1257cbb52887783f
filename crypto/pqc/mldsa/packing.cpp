#include "crypto/pqc/mldsa/packing.hpp"

#include <algorithm>

namespace tesvi_crypto::pqc::mldsa65 {
namespace {

template <size_t M>
uint8_t* pack_each(uint8_t* r, const PolyVec<M>& v, size_t bytes,
                   void (*pack)(uint8_t*, const Poly&)) {
    for (const Poly& p : v.vec) {
        pack(r, p);
        r += bytes;
    }
    return r;
}

template <size_t M>
const uint8_t* unpack_each(PolyVec<M>& v, const uint8_t* r, size_t bytes,
                           void (*unpack)(Poly&, const uint8_t*)) {
    for (Poly& p : v.vec) {
        unpack(p, r);
        r += bytes;
    }
    return r;
}

}  // namespace

void pack_pk(std::span<uint8_t, PUBLIC_KEY_BYTES> pk, std::span<const uint8_t, SEEDBYTES> rho,
             const PolyVecK& t1) {
    uint8_t* r = std::copy(rho.begin(), rho.end(), pk.data());
    pack_each(r, t1, POLYT1_PACKEDBYTES, polyt1_pack);
}

void unpack_pk(uint8_t rho[SEEDBYTES], PolyVecK& t1,
               std::span<const uint8_t, PUBLIC_KEY_BYTES> pk) {
    std::copy_n(pk.data(), SEEDBYTES, rho);
    unpack_each(t1, pk.data() + SEEDBYTES, POLYT1_PACKEDBYTES, polyt1_unpack);
}

void pack_sk(std::span<uint8_t, SECRET_KEY_BYTES> sk, const SecretKeyParts& parts) {
    uint8_t* r = std::copy_n(parts.rho, SEEDBYTES, sk.data());
    r = std::copy_n(parts.key, SEEDBYTES, r);
    r = std::copy_n(parts.tr, TRBYTES, r);
    r = pack_each(r, parts.s1, POLYETA_PACKEDBYTES, polyeta_pack);
    r = pack_each(r, parts.s2, POLYETA_PACKEDBYTES, polyeta_pack);
    pack_each(r, parts.t0, POLYT0_PACKEDBYTES, polyt0_pack);
}

void unpack_sk(SecretKeyParts& parts, std::span<const uint8_t, SECRET_KEY_BYTES> sk) {
    const uint8_t* r = sk.data();
    std::copy_n(r, SEEDBYTES, parts.rho);
    std::copy_n(r + SEEDBYTES, SEEDBYTES, parts.key);
    std::copy_n(r + 2 * SEEDBYTES, TRBYTES, parts.tr);
    r += 2 * SEEDBYTES + TRBYTES;
    r = unpack_each(parts.s1, r, POLYETA_PACKEDBYTES, polyeta_unpack);
    r = unpack_each(parts.s2, r, POLYETA_PACKEDBYTES, polyeta_unpack);
    unpack_each(parts.t0, r, POLYT0_PACKEDBYTES, polyt0_unpack);
}

// Called only on an accepted signature, whose hint is about to be published.
void pack_sig(std::span<uint8_t, SIGNATURE_BYTES> sig, std::span<const uint8_t, CTILDEBYTES> ctilde,
              const PolyVecL& z, const PolyVecK& h) {
    uint8_t* r = std::copy(ctilde.begin(), ctilde.end(), sig.data());
    r = pack_each(r, z, POLYZ_PACKEDBYTES, polyz_pack);

    std::fill_n(r, POLYVECH_PACKEDBYTES, 0);
    size_t k = 0;
    for (size_t i = 0; i < K; ++i) {
        for (size_t j = 0; j < N; ++j)
            if (h.vec[i].coeffs[j] != 0) r[k++] = static_cast<uint8_t>(j);
        r[OMEGA + i] = static_cast<uint8_t>(k);
    }
}

bool unpack_sig(uint8_t ctilde[CTILDEBYTES], PolyVecL& z, PolyVecK& h,
                std::span<const uint8_t, SIGNATURE_BYTES> sig) {
    std::copy_n(sig.data(), CTILDEBYTES, ctilde);
    const uint8_t* r = unpack_each(z, sig.data() + CTILDEBYTES, POLYZ_PACKEDBYTES, polyz_unpack);

    size_t k = 0;
    for (size_t i = 0; i < K; ++i) {
        h.vec[i] = {};
        const size_t end = r[OMEGA + i];
        if (end < k || end > OMEGA) return false;
        for (size_t j = k; j < end; ++j) {
            if (j > k && r[j] <= r[j - 1]) return false;
            h.vec[i].coeffs[r[j]] = 1;
        }
        k = end;
    }
    return std::all_of(r + k, r + OMEGA, [](uint8_t b) { return b == 0; });
}

}  // namespace tesvi_crypto::pqc::mldsa65
