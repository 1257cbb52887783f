// Vectors of L or K polynomials and the K x L matrix A. The element-wise
// operations are the polynomial ones applied to every entry; those that have
// an AVX2 build are in kernels.hpp.
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

void polyveck_pack_w1(uint8_t r[K * POLYW1_PACKEDBYTES], const PolyVecK& w1);

}  // namespace tesvi_crypto::pqc::mldsa65
