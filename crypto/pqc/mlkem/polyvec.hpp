// Vectors of K polynomials: the module elements of ML-KEM. The operations
// run the polynomial kernels of either build (kernels.hpp) on each entry.
#pragma once

#include <array>

#include "crypto/pqc/mlkem/params.hpp"
#include "crypto/pqc/mlkem/poly.hpp"

namespace tesvi_crypto::pqc::mlkem {

template <unsigned K>
struct PolyVec {
    std::array<Poly, K> vec;
};

// The matrix A (or its transpose) in the NTT domain: a[i].vec[j] is row i, column j.
template <unsigned K>
using Matrix = std::array<PolyVec<K>, K>;

template <class Ker, unsigned K>
void polyvec_compress(uint8_t* r, const PolyVec<K>& a) {
    constexpr unsigned du = Params<K>::DU;
    for (unsigned i = 0; i < K; ++i) Ker::template compress<du>(r + i * N * du / 8, a.vec[i]);
}

template <class Ker, unsigned K>
void polyvec_decompress(PolyVec<K>& r, const uint8_t* a) {
    constexpr unsigned du = Params<K>::DU;
    for (unsigned i = 0; i < K; ++i) Ker::template decompress<du>(r.vec[i], a + i * N * du / 8);
}

template <class Ker, unsigned K>
void polyvec_tobytes(uint8_t* r, const PolyVec<K>& a) {
    for (unsigned i = 0; i < K; ++i) Ker::tobytes(r + i * POLYBYTES, a.vec[i]);
}

template <class Ker, unsigned K>
void polyvec_frombytes(PolyVec<K>& r, const uint8_t* a) {
    for (unsigned i = 0; i < K; ++i) Ker::frombytes(r.vec[i], a + i * POLYBYTES);
}

template <class Ker, unsigned K>
void polyvec_ntt(PolyVec<K>& r) {
    for (Poly& p : r.vec) Ker::ntt(p);
}

template <class Ker, unsigned K>
void polyvec_invntt_tomont(PolyVec<K>& r) {
    for (Poly& p : r.vec) Ker::invntt_tomont(p);
}

// The inner product in the NTT domain, with a factor 2^-16, reduced.
template <class Ker, unsigned K>
void polyvec_basemul_acc_montgomery(Poly& r, const PolyVec<K>& a, const PolyVec<K>& b) {
    Ker::basemul_acc_montgomery(r, a.vec.data(), b.vec.data(), K);
}

template <class Ker, unsigned K>
void polyvec_reduce(PolyVec<K>& r) {
    for (Poly& p : r.vec) Ker::reduce(p);
}

template <class Ker, unsigned K>
void polyvec_add(PolyVec<K>& r, const PolyVec<K>& a, const PolyVec<K>& b) {
    for (unsigned i = 0; i < K; ++i) Ker::add(r.vec[i], a.vec[i], b.vec[i]);
}

}  // namespace tesvi_crypto::pqc::mlkem
