// Vectors of L or K polynomials and the K x L matrix A. The element-wise
// operations are the polynomial ones applied to every entry.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "crypto/pqc/mldsa/params.hpp"
#include "crypto/pqc/mldsa/poly.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

template <size_t M>
struct PolyVec {
    std::array<Poly, M> vec;
};

using PolyVecL = PolyVec<L>;
using PolyVecK = PolyVec<K>;
using PolyMatrix = std::array<PolyVecL, K>;  // rows of A, in NTT domain

template <size_t M>
void polyvec_reduce(PolyVec<M>& v) {
    for (Poly& p : v.vec) poly_reduce(p);
}

template <size_t M>
void polyvec_caddq(PolyVec<M>& v) {
    for (Poly& p : v.vec) poly_caddq(p);
}

template <size_t M>
void polyvec_add(PolyVec<M>& w, const PolyVec<M>& u, const PolyVec<M>& v) {
    for (size_t i = 0; i < M; ++i) poly_add(w.vec[i], u.vec[i], v.vec[i]);
}

template <size_t M>
void polyvec_sub(PolyVec<M>& w, const PolyVec<M>& u, const PolyVec<M>& v) {
    for (size_t i = 0; i < M; ++i) poly_sub(w.vec[i], u.vec[i], v.vec[i]);
}

template <size_t M>
void polyvec_shiftl(PolyVec<M>& v) {
    for (Poly& p : v.vec) poly_shiftl(p);
}

template <size_t M>
void polyvec_ntt(PolyVec<M>& v) {
    for (Poly& p : v.vec) poly_ntt(p);
}

template <size_t M>
void polyvec_invntt_tomont(PolyVec<M>& v) {
    for (Poly& p : v.vec) poly_invntt_tomont(p);
}

// Every entry of v times the single polynomial a, in NTT domain.
template <size_t M>
void polyvec_pointwise_poly_montgomery(PolyVec<M>& r, const Poly& a, const PolyVec<M>& v) {
    for (size_t i = 0; i < M; ++i) poly_pointwise_montgomery(r.vec[i], a, v.vec[i]);
}

template <size_t M>
bool polyvec_chknorm(const PolyVec<M>& v, int32_t bound) {
    bool over = false;
    for (const Poly& p : v.vec) over |= poly_chknorm(p, bound);
    return over;
}

template <size_t M>
void polyvec_power2round(PolyVec<M>& v1, PolyVec<M>& v0, const PolyVec<M>& v) {
    for (size_t i = 0; i < M; ++i) poly_power2round(v1.vec[i], v0.vec[i], v.vec[i]);
}

template <size_t M>
void polyvec_decompose(PolyVec<M>& v1, PolyVec<M>& v0, const PolyVec<M>& v) {
    for (size_t i = 0; i < M; ++i) poly_decompose(v1.vec[i], v0.vec[i], v.vec[i]);
}

template <size_t M>
unsigned polyvec_make_hint(PolyVec<M>& h, const PolyVec<M>& v0, const PolyVec<M>& v1) {
    unsigned s = 0;
    for (size_t i = 0; i < M; ++i) s += poly_make_hint(h.vec[i], v0.vec[i], v1.vec[i]);
    return s;
}

template <size_t M>
void polyvec_use_hint(PolyVec<M>& w, const PolyVec<M>& u, const PolyVec<M>& h) {
    for (size_t i = 0; i < M; ++i) poly_use_hint(w.vec[i], u.vec[i], h.vec[i]);
}

// Entries nonce, nonce + 1, ... of the SHAKE256 stream family.
template <size_t M>
void polyvec_uniform_eta(PolyVec<M>& v, std::span<const uint8_t, CRHBYTES> rhoprime,
                         uint16_t nonce) {
    for (size_t i = 0; i < M; ++i)
        poly_uniform_eta(v.vec[i], rhoprime, static_cast<uint16_t>(nonce + i));
}

// The mask y of signing attempt `nonce`.
void polyvecl_uniform_gamma1(PolyVecL& y, std::span<const uint8_t, CRHBYTES> rhoprime,
                             uint16_t nonce);

// A[i][j] from SHAKE128(rho || j || i).
void polyvec_matrix_expand(PolyMatrix& mat, std::span<const uint8_t, SEEDBYTES> rho);
// t = A v in NTT domain.
void polyvec_matrix_pointwise_montgomery(PolyVecK& t, const PolyMatrix& mat, const PolyVecL& v);

void polyveck_pack_w1(uint8_t r[K * POLYW1_PACKEDBYTES], const PolyVecK& w1);

}  // namespace tesvi_crypto::pqc::mldsa65
