#include "crypto/pqc/mlkem/indcpa.hpp"

#include <algorithm>

#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/mlkem/poly.hpp"
#include "crypto/pqc/mlkem/polyvec.hpp"
#include "crypto/pqc/mlkem/symmetric.hpp"

namespace tesvi_crypto::pqc::mlkem {
namespace {

constexpr size_t XOF_BLOCKBYTES = 168;
// Enough SHAKE128 blocks for 256 coefficients in all but rare cases; more are
// squeezed one at a time.
constexpr size_t GEN_MATRIX_NBLOCKS =
    (12 * N / 8 * (1 << 12) / Q + XOF_BLOCKBYTES) / XOF_BLOCKBYTES;

template <unsigned K>
using Matrix = std::array<PolyVec<K>, K>;

// Uniform coefficients mod q from 12-bit candidates, rejecting those >= q.
// The input is public (it comes from the public seed), so branching is fine.
size_t rej_uniform(int16_t* r, size_t len, const uint8_t* buf, size_t buflen) {
    size_t ctr = 0;
    for (size_t pos = 0; ctr < len && pos + 3 <= buflen; pos += 3) {
        const uint16_t val0 = (buf[pos] | (uint16_t{buf[pos + 1]} << 8)) & 0xFFF;
        const uint16_t val1 = ((buf[pos + 1] >> 4) | (uint16_t{buf[pos + 2]} << 4)) & 0xFFF;
        if (val0 < Q) r[ctr++] = static_cast<int16_t>(val0);
        if (ctr < len && val1 < Q) r[ctr++] = static_cast<int16_t>(val1);
    }
    return ctr;
}

// The matrix A (or its transpose) in the NTT domain, expanded from seed:
// entry (i, j) of A is sampled from XOF(seed, j, i).
template <unsigned K>
void gen_matrix(Matrix<K>& a, const uint8_t seed[SYMBYTES], bool transposed) {
    uint8_t buf[GEN_MATRIX_NBLOCKS * XOF_BLOCKBYTES];
    for (unsigned i = 0; i < K; ++i) {
        for (unsigned j = 0; j < K; ++j) {
            hash::Sponge s =
                transposed ? xof(seed, uint8_t(i), uint8_t(j)) : xof(seed, uint8_t(j), uint8_t(i));
            int16_t* coeffs = a[i].vec[j].coeffs.data();
            s.squeeze_blocks(buf, GEN_MATRIX_NBLOCKS);
            size_t ctr = rej_uniform(coeffs, N, buf, sizeof buf);
            while (ctr < N) {
                s.squeeze_blocks(buf, 1);
                ctr += rej_uniform(coeffs + ctr, N - ctr, buf, XOF_BLOCKBYTES);
            }
        }
    }
}

}  // namespace

template <unsigned K>
void indcpa_keypair_derand(uint8_t* pk, uint8_t* sk, const uint8_t coins[SYMBYTES]) {
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
    gen_matrix<K>(a, publicseed, false);

    PolyVec<K> skpv, e, pkpv;
    uint8_t nonce = 0;
    for (Poly& p : skpv.vec) poly_getnoise<P::ETA1>(p, noiseseed, nonce++);
    for (Poly& p : e.vec) poly_getnoise<P::ETA1>(p, noiseseed, nonce++);
    polyvec_ntt(skpv);
    polyvec_ntt(e);

    for (unsigned i = 0; i < K; ++i) {
        polyvec_basemul_acc_montgomery(pkpv.vec[i], a[i], skpv);
        poly_tomont(pkpv.vec[i]);
    }
    polyvec_add(pkpv, pkpv, e);
    polyvec_reduce(pkpv);

    polyvec_tobytes(sk, skpv);
    polyvec_tobytes(pk, pkpv);
    std::copy_n(publicseed, SYMBYTES, pk + P::POLYVECBYTES);
}

template <unsigned K>
void indcpa_enc(uint8_t* c, const uint8_t m[SYMBYTES], const uint8_t* pk,
                const uint8_t coins[SYMBYTES]) {
    using P = Params<K>;
    PolyVec<K> pkpv, sp, ep, b;
    Poly v, k, epp;
    polyvec_frombytes(pkpv, pk);
    const uint8_t* seed = pk + P::POLYVECBYTES;
    poly_frommsg(k, m);

    Matrix<K> at;
    gen_matrix<K>(at, seed, true);

    uint8_t nonce = 0;
    for (Poly& p : sp.vec) poly_getnoise<P::ETA1>(p, coins, nonce++);
    for (Poly& p : ep.vec) poly_getnoise<P::ETA2>(p, coins, nonce++);
    poly_getnoise<P::ETA2>(epp, coins, nonce++);

    polyvec_ntt(sp);
    for (unsigned i = 0; i < K; ++i) polyvec_basemul_acc_montgomery(b.vec[i], at[i], sp);
    polyvec_basemul_acc_montgomery(v, pkpv, sp);
    polyvec_invntt_tomont(b);
    poly_invntt_tomont(v);

    polyvec_add(b, b, ep);
    poly_add(v, v, epp);
    poly_add(v, v, k);
    polyvec_reduce(b);
    poly_reduce(v);

    polyvec_compress(c, b);
    poly_compress<P::DV>(c + P::POLYVECCOMPRESSEDBYTES, v);
}

template <unsigned K>
void indcpa_dec(uint8_t m[SYMBYTES], const uint8_t* c, const uint8_t* sk) {
    using P = Params<K>;
    PolyVec<K> b, skpv;
    Poly v, mp;
    polyvec_decompress(b, c);
    poly_decompress<P::DV>(v, c + P::POLYVECCOMPRESSEDBYTES);
    polyvec_frombytes(skpv, sk);

    polyvec_ntt(b);
    polyvec_basemul_acc_montgomery(mp, skpv, b);
    poly_invntt_tomont(mp);

    poly_sub(mp, v, mp);
    poly_reduce(mp);
    poly_tomsg(m, mp);
}

template void indcpa_keypair_derand<2>(uint8_t*, uint8_t*, const uint8_t*);
template void indcpa_keypair_derand<3>(uint8_t*, uint8_t*, const uint8_t*);
template void indcpa_keypair_derand<4>(uint8_t*, uint8_t*, const uint8_t*);
template void indcpa_enc<2>(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*);
template void indcpa_enc<3>(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*);
template void indcpa_enc<4>(uint8_t*, const uint8_t*, const uint8_t*, const uint8_t*);
template void indcpa_dec<2>(uint8_t*, const uint8_t*, const uint8_t*);
template void indcpa_dec<3>(uint8_t*, const uint8_t*, const uint8_t*);
template void indcpa_dec<4>(uint8_t*, const uint8_t*, const uint8_t*);

}  // namespace tesvi_crypto::pqc::mlkem
