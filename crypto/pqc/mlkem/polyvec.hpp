// Vectors of K polynomials: the module elements of ML-KEM.
#pragma once

#include <array>

#include "crypto/pqc/mlkem/params.hpp"
#include "crypto/pqc/mlkem/poly.hpp"

namespace tesvi_crypto::pqc::mlkem {

template <unsigned K>
struct PolyVec {
    std::array<Poly, K> vec;
};

template <unsigned K>
void polyvec_compress(uint8_t* r, const PolyVec<K>& a) {
    constexpr unsigned du = Params<K>::DU;
    for (unsigned i = 0; i < K; ++i) poly_compress<du>(r + i * N * du / 8, a.vec[i]);
}

template <unsigned K>
void polyvec_decompress(PolyVec<K>& r, const uint8_t* a) {
    constexpr unsigned du = Params<K>::DU;
    for (unsigned i = 0; i < K; ++i) poly_decompress<du>(r.vec[i], a + i * N * du / 8);
}

template <unsigned K>
void polyvec_tobytes(uint8_t* r, const PolyVec<K>& a) {
    for (unsigned i = 0; i < K; ++i) poly_tobytes(r + i * POLYBYTES, a.vec[i]);
}

template <unsigned K>
void polyvec_frombytes(PolyVec<K>& r, const uint8_t* a) {
    for (unsigned i = 0; i < K; ++i) poly_frombytes(r.vec[i], a + i * POLYBYTES);
}

template <unsigned K>
void polyvec_ntt(PolyVec<K>& r) {
    for (Poly& p : r.vec) poly_ntt(p);
}

template <unsigned K>
void polyvec_invntt_tomont(PolyVec<K>& r) {
    for (Poly& p : r.vec) poly_invntt_tomont(p);
}

// The inner product in the NTT domain, with a factor 2^-16, reduced.
template <unsigned K>
void polyvec_basemul_acc_montgomery(Poly& r, const PolyVec<K>& a, const PolyVec<K>& b) {
    Poly t;
    poly_basemul_montgomery(r, a.vec[0], b.vec[0]);
    for (unsigned i = 1; i < K; ++i) {
        poly_basemul_montgomery(t, a.vec[i], b.vec[i]);
        poly_add(r, r, t);
    }
    poly_reduce(r);
}

template <unsigned K>
void polyvec_reduce(PolyVec<K>& r) {
    for (Poly& p : r.vec) poly_reduce(p);
}

template <unsigned K>
void polyvec_add(PolyVec<K>& r, const PolyVec<K>& a, const PolyVec<K>& b) {
    for (unsigned i = 0; i < K; ++i) poly_add(r.vec[i], a.vec[i], b.vec[i]);
}

}  // namespace tesvi_crypto::pqc::mlkem
