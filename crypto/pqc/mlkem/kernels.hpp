// The two builds of the arithmetic and sampling under K-PKE, as two types with
// the same static functions: indcpa.cpp is written once against either.
#pragma once

#include <span>

#include "crypto/hash/sponge.hpp"
#include "crypto/pqc/mlkem/cbd.hpp"
#include "crypto/pqc/mlkem/poly.hpp"
#include "crypto/pqc/mlkem/polyvec.hpp"
#include "crypto/pqc/mlkem/sample.hpp"
#if defined(__x86_64__)
#include "crypto/pqc/mlkem/avx2.hpp"
#endif

namespace tesvi_crypto::pqc::mlkem {

struct PortableKernels {
    static void ntt(Poly& r) { poly_ntt(r); }
    static void invntt_tomont(Poly& r) { poly_invntt_tomont(r); }
    static void basemul_acc_montgomery(Poly& r, const Poly* a, const Poly* b, unsigned k) {
        poly_basemul_acc_montgomery(r, a, b, k);
    }
    static void tomont(Poly& r) { poly_tomont(r); }
    static void reduce(Poly& r) { poly_reduce(r); }
    static void add(Poly& r, const Poly& a, const Poly& b) { poly_add(r, a, b); }
    static void sub(Poly& r, const Poly& a, const Poly& b) { poly_sub(r, a, b); }
    template <unsigned D>
    static void compress(uint8_t* r, const Poly& a) {
        poly_compress<D>(r, a);
    }
    template <unsigned D>
    static void decompress(Poly& r, const uint8_t* a) {
        poly_decompress<D>(r, a);
    }
    static void tobytes(uint8_t* r, const Poly& a) { poly_tobytes(r, a); }
    static void frombytes(Poly& r, const uint8_t* a) { poly_frombytes(r, a); }
    static void frommsg(Poly& r, const uint8_t* msg) { poly_frommsg(r, msg); }
    static void tomsg(uint8_t* msg, const Poly& a) { poly_tomsg(msg, a); }
    template <unsigned ETA>
    static void cbd(Poly& r, const uint8_t* buf) {
        mlkem::cbd<ETA>(r.coeffs, buf);
    }
    // One job at a time, the matrix between `first` and `then`.
    template <unsigned K>
    static void draw(Matrix<K>* a, const uint8_t* seed, bool transposed,
                     std::span<const hash::Job> first, std::span<const hash::Job> then) {
        for (const hash::Job& job : first) hash::run(job);
        if (a != nullptr) gen_matrix<K>(*a, seed, transposed);
        for (const hash::Job& job : then) hash::run(job);
    }
};

#if defined(__x86_64__)
struct Avx2Kernels {
    static void ntt(Poly& r) { avx2::poly_ntt(r); }
    static void invntt_tomont(Poly& r) { avx2::poly_invntt_tomont(r); }
    static void basemul_acc_montgomery(Poly& r, const Poly* a, const Poly* b, unsigned k) {
        avx2::poly_basemul_acc_montgomery(r, a, b, k);
    }
    static void tomont(Poly& r) { avx2::poly_tomont(r); }
    static void reduce(Poly& r) { avx2::poly_reduce(r); }
    static void add(Poly& r, const Poly& a, const Poly& b) { avx2::poly_add(r, a, b); }
    static void sub(Poly& r, const Poly& a, const Poly& b) { avx2::poly_sub(r, a, b); }
    template <unsigned D>
    static void compress(uint8_t* r, const Poly& a) {
        avx2::poly_compress<D>(r, a);
    }
    template <unsigned D>
    static void decompress(Poly& r, const uint8_t* a) {
        avx2::poly_decompress<D>(r, a);
    }
    static void tobytes(uint8_t* r, const Poly& a) { avx2::poly_tobytes(r, a); }
    static void frombytes(Poly& r, const uint8_t* a) { avx2::poly_frombytes(r, a); }
    static void frommsg(Poly& r, const uint8_t* msg) { avx2::poly_frommsg(r, msg); }
    static void tomsg(uint8_t* msg, const Poly& a) { avx2::poly_tomsg(msg, a); }
    template <unsigned ETA>
    static void cbd(Poly& r, const uint8_t* buf) {
        avx2::cbd<ETA>(r.coeffs, buf);
    }
    template <unsigned K>
    static void draw(Matrix<K>* a, const uint8_t* seed, bool transposed,
                     std::span<const hash::Job> first, std::span<const hash::Job> then) {
        avx2::draw<K>(a, seed, transposed, first, then);
    }
};
#endif

}  // namespace tesvi_crypto::pqc::mlkem
