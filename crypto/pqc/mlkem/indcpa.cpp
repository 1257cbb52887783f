#include "crypto/pqc/mlkem/indcpa.hpp"

#include <algorithm>
#include <array>
#include <span>

#include "common/cpu.hpp"
#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/mlkem/kernels.hpp"
#include "crypto/pqc/mlkem/poly.hpp"
#include "crypto/pqc/mlkem/polyvec.hpp"
#include "crypto/pqc/mlkem/symmetric.hpp"

namespace tesvi_crypto::pqc::mlkem {
namespace {

// Pointers to the entries of the vectors, in nonce order, for the samplers.
template <unsigned K, class... Rest>
auto noise_targets(PolyVec<K>& a, PolyVec<K>& b, Rest*... rest) {
    std::array<Poly*, 2 * K + sizeof...(Rest)> out;
    for (unsigned i = 0; i < K; ++i) {
        out[i] = &a.vec[i];
        out[K + i] = &b.vec[i];
    }
    size_t n = 2 * K;
    ((out[n++] = rest), ...);
    return out;
}

// The noise polynomials' PRF outputs as jobs, so the build can hash them
// beside the matrix, then their coefficients by the centred binomial
// distribution: the first `first` targets at eta ETA_A, the rest at ETA_B,
// with nonces counting up from 0 across both.
template <unsigned ETA_A, unsigned ETA_B, size_t M>
class Noise {
  public:
    Noise(const std::array<Poly*, M>& targets, size_t first, const uint8_t* seed)
        : targets_(targets), first_(first) {
        for (size_t i = 0; i < M; ++i) {
            nonce_[i] = static_cast<uint8_t>(i);
            out_[i].bytes = std::span(buf_[i], 64 * (i < first ? ETA_A : ETA_B));
            jobs_[i] = prf_job(out_[i], seed, nonce_[i]);
        }
    }
    Noise(const Noise&) = delete;  // the jobs point into the object
    Noise& operator=(const Noise&) = delete;

    std::span<const hash::Job> jobs() const { return jobs_; }

    template <class Ker>
    void spread() const {
        for (size_t i = 0; i < M; ++i) {
            if (i < first_)
                Ker::template cbd<ETA_A>(*targets_[i], buf_[i]);
            else
                Ker::template cbd<ETA_B>(*targets_[i], buf_[i]);
        }
    }

  private:
    std::array<Poly*, M> targets_;
    size_t first_;
    uint8_t nonce_[M];
    uint8_t buf_[M][64 * std::max(ETA_A, ETA_B)];
    hash::Output out_[M];
    hash::Job jobs_[M];
};

template <class Ker, unsigned K>
void keypair(uint8_t* pk, uint8_t* sk, const uint8_t coins[SYMBYTES]) {
    using P = Params<K>;
    // The rank is hashed with d, so one seed gives unrelated keys at each level.
    const uint8_t rank = K;
    uint8_t buf[2 * SYMBYTES];
    hash_g(buf, {coins, SYMBYTES}, {&rank, 1});
    const uint8_t* publicseed = buf;
    const uint8_t* noiseseed = buf + SYMBYTES;
    // rho becomes part of the public key; the matrix sampler branches on it.
    ct::declassify(publicseed, SYMBYTES);

    Matrix<K> a;
    PolyVec<K> skpv, e, pkpv;
    const Noise<P::ETA1, P::ETA1, 2 * K> noise(noise_targets(skpv, e), 2 * K, noiseseed);
    Ker::template draw<K>(&a, publicseed, false, {}, noise.jobs());
    noise.template spread<Ker>();
    polyvec_ntt<Ker>(skpv);
    polyvec_ntt<Ker>(e);

    for (unsigned i = 0; i < K; ++i) {
        polyvec_basemul_acc_montgomery<Ker>(pkpv.vec[i], a[i], skpv);
        Ker::tomont(pkpv.vec[i]);
    }
    polyvec_add<Ker>(pkpv, pkpv, e);
    polyvec_reduce<Ker>(pkpv);

    polyvec_tobytes<Ker>(sk, skpv);
    polyvec_tobytes<Ker>(pk, pkpv);
    std::copy_n(publicseed, SYMBYTES, pk + P::POLYVECBYTES);
}

template <class Ker, unsigned K>
void enc(uint8_t* c, const uint8_t m[SYMBYTES], const uint8_t* pk, const Matrix<K>& at,
         const uint8_t coins[SYMBYTES]) {
    using P = Params<K>;
    PolyVec<K> pkpv, sp, ep, b;
    Poly v, k, epp;
    polyvec_frombytes<Ker>(pkpv, pk);
    Ker::frommsg(k, m);

    const Noise<P::ETA1, P::ETA2, 2 * K + 1> noise(noise_targets(sp, ep, &epp), K, coins);
    Ker::template draw<K>(nullptr, nullptr, false, {}, noise.jobs());
    noise.template spread<Ker>();

    polyvec_ntt<Ker>(sp);
    for (unsigned i = 0; i < K; ++i) polyvec_basemul_acc_montgomery<Ker>(b.vec[i], at[i], sp);
    polyvec_basemul_acc_montgomery<Ker>(v, pkpv, sp);
    polyvec_invntt_tomont<Ker>(b);
    Ker::invntt_tomont(v);

    polyvec_add<Ker>(b, b, ep);
    Ker::add(v, v, epp);
    Ker::add(v, v, k);
    polyvec_reduce<Ker>(b);
    Ker::reduce(v);

    polyvec_compress<Ker>(c, b);
    Ker::template compress<P::DV>(c + P::POLYVECCOMPRESSEDBYTES, v);
}

template <class Ker, unsigned K>
void dec(uint8_t m[SYMBYTES], const uint8_t* c, const uint8_t* sk) {
    using P = Params<K>;
    PolyVec<K> b, skpv;
    Poly v, mp;
    polyvec_decompress<Ker>(b, c);
    Ker::template decompress<P::DV>(v, c + P::POLYVECCOMPRESSEDBYTES);
    polyvec_frombytes<Ker>(skpv, sk);

    polyvec_ntt<Ker>(b);
    polyvec_basemul_acc_montgomery<Ker>(mp, skpv, b);
    Ker::invntt_tomont(mp);

    Ker::sub(mp, v, mp);
    Ker::reduce(mp);
    Ker::tomsg(m, mp);
}

// Runs f with the kernels of the build that a request for `build` runs.
template <class F>
void with_kernels(Build build, F&& f) {
#if defined(__x86_64__)
    if (runs_avx2(build)) return f.template operator()<Avx2Kernels>();
#endif
    (void)build;
    f.template operator()<PortableKernels>();
}

}  // namespace

template <unsigned K>
void indcpa_keypair_derand(uint8_t* pk, uint8_t* sk, const uint8_t coins[SYMBYTES], Build build) {
    with_kernels(build, [&]<class Ker>() { keypair<Ker, K>(pk, sk, coins); });
}

template <unsigned K>
void indcpa_expand(Matrix<K>& at, const uint8_t* pk, std::span<const hash::Job> beside,
                   Build build) {
    with_kernels(build, [&]<class Ker>() {
        Ker::template draw<K>(&at, pk + Params<K>::POLYVECBYTES, true, beside, {});
    });
}

template <unsigned K>
void indcpa_enc(uint8_t* c, const uint8_t m[SYMBYTES], const uint8_t* pk, const Matrix<K>& at,
                const uint8_t coins[SYMBYTES], Build build) {
    with_kernels(build, [&]<class Ker>() { enc<Ker, K>(c, m, pk, at, coins); });
}

template <unsigned K>
void indcpa_dec(uint8_t m[SYMBYTES], const uint8_t* c, const uint8_t* sk, Build build) {
    with_kernels(build, [&]<class Ker>() { dec<Ker, K>(m, c, sk); });
}

template void indcpa_keypair_derand<2>(uint8_t*, uint8_t*, const uint8_t*, Build);
template void indcpa_keypair_derand<3>(uint8_t*, uint8_t*, const uint8_t*, Build);
template void indcpa_keypair_derand<4>(uint8_t*, uint8_t*, const uint8_t*, Build);
template void indcpa_expand<2>(Matrix<2>&, const uint8_t*, std::span<const hash::Job>, Build);
template void indcpa_expand<3>(Matrix<3>&, const uint8_t*, std::span<const hash::Job>, Build);
template void indcpa_expand<4>(Matrix<4>&, const uint8_t*, std::span<const hash::Job>, Build);
template void indcpa_enc<2>(uint8_t*, const uint8_t*, const uint8_t*, const Matrix<2>&,
                            const uint8_t*, Build);
template void indcpa_enc<3>(uint8_t*, const uint8_t*, const uint8_t*, const Matrix<3>&,
                            const uint8_t*, Build);
template void indcpa_enc<4>(uint8_t*, const uint8_t*, const uint8_t*, const Matrix<4>&,
                            const uint8_t*, Build);
template void indcpa_dec<2>(uint8_t*, const uint8_t*, const uint8_t*, Build);
template void indcpa_dec<3>(uint8_t*, const uint8_t*, const uint8_t*, Build);
template void indcpa_dec<4>(uint8_t*, const uint8_t*, const uint8_t*, Build);

}  // namespace tesvi_crypto::pqc::mlkem
