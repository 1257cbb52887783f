// The operations whose speed differs between the portable and the AVX2
// build, as one table per build. Key generation, signing and verification are
// written once over a table; both tables give identical integers.
#pragma once

#include <cstdint>
#include <span>

#include "crypto/pqc/common/build.hpp"
#include "crypto/pqc/mldsa/polyvec.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

struct Kernels {
    void (*ntt)(Poly& a);
    void (*invntt_tomont)(Poly& a);
    void (*pointwise_montgomery)(Poly& c, const Poly& a, const Poly& b);
    void (*pointwise_acc_montgomery)(Poly& c, const Poly& a, const Poly& b);
    void (*reduce)(Poly& a);
    void (*caddq)(Poly& a);
    void (*power2round)(Poly& a1, Poly& a0, const Poly& a);
    void (*decompose)(Poly& a1, Poly& a0, const Poly& a);
    unsigned (*make_hint)(Poly& h, const Poly& a0, const Poly& a1);
    void (*use_hint)(Poly& b, const Poly& a, const Poly& h);
    bool (*chknorm)(const Poly& a, int32_t bound);
    ChallengePlace challenge_place;
    void (*matrix_expand)(PolyMatrix& mat, std::span<const uint8_t, SEEDBYTES> rho);
    // s1 from nonces 0 .. L-1, s2 from L .. L+K-1.
    void (*uniform_eta)(PolyVecL& s1, PolyVecK& s2, std::span<const uint8_t, CRHBYTES> rhoprime);
    void (*uniform_gamma1)(PolyVecL& y, std::span<const uint8_t, CRHBYTES> rhoprime,
                           uint16_t nonce);
};

// The table of the build that a request for `build` runs (runs_avx2).
const Kernels& kernels(Build build);

// One kernel over every entry of the vectors.
template <size_t M, class Op, class... Vecs>
void each(Op op, Vecs&... vecs) {
    for (size_t i = 0; i < M; ++i) op(vecs.vec[i]...);
}

template <size_t M>
void polyvec_ntt(const Kernels& k, PolyVec<M>& v) {
    each<M>(k.ntt, v);
}

template <size_t M>
void polyvec_invntt_tomont(const Kernels& k, PolyVec<M>& v) {
    each<M>(k.invntt_tomont, v);
}

template <size_t M>
void polyvec_reduce(const Kernels& k, PolyVec<M>& v) {
    each<M>(k.reduce, v);
}

template <size_t M>
void polyvec_caddq(const Kernels& k, PolyVec<M>& v) {
    each<M>(k.caddq, v);
}

// True at the first entry with a coefficient of |a| >= bound.
template <size_t M>
bool polyvec_chknorm(const Kernels& k, const PolyVec<M>& v, int32_t bound) {
    for (const Poly& p : v.vec)
        if (k.chknorm(p, bound)) return true;
    return false;
}

// t = A v in NTT domain.
inline void polyvec_matrix_pointwise_montgomery(const Kernels& k, PolyVecK& t,
                                                const PolyMatrix& mat, const PolyVecL& v) {
    for (size_t i = 0; i < K; ++i) {
        Poly& acc = t.vec[i];
        k.pointwise_montgomery(acc, mat[i].vec[0], v.vec[0]);
        for (size_t j = 1; j < L; ++j) k.pointwise_acc_montgomery(acc, mat[i].vec[j], v.vec[j]);
    }
}

}  // namespace tesvi_crypto::pqc::mldsa65
