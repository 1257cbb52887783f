// The AVX2 kernels of ML-DSA-65 (files *_avx2.cpp). Each gives exactly the
// integers its portable counterpart gives, so both builds produce the same
// keys and signatures. Call them only when tesvi::cpu::has_avx2().
#pragma once

#include <cstdint>
#include <span>

#include "crypto/pqc/mldsa/params.hpp"
#include "crypto/pqc/mldsa/polyvec.hpp"

namespace tesvi_crypto::pqc::mldsa65::avx2 {

void ntt(Poly& a);
void invntt_tomont(Poly& a);
void pointwise_montgomery(Poly& c, const Poly& a, const Poly& b);
void pointwise_acc_montgomery(Poly& c, const Poly& a, const Poly& b);

void reduce(Poly& a);
void caddq(Poly& a);
void power2round(Poly& a1, Poly& a0, const Poly& a);
void decompose(Poly& a1, Poly& a0, const Poly& a);
unsigned make_hint(Poly& h, const Poly& a0, const Poly& a1);
void use_hint(Poly& b, const Poly& a, const Poly& h);
bool chknorm(const Poly& a, int32_t bound);
void challenge_place(Poly& c, uint32_t i, uint32_t b, int32_t sign);

size_t rej_uniform(int32_t* a, size_t len, const uint8_t* buf, size_t buflen);
size_t rej_eta(int32_t* a, size_t len, const uint8_t* buf, size_t buflen);

void matrix_expand(PolyMatrix& mat, std::span<const uint8_t, SEEDBYTES> rho);
void uniform_eta(PolyVecL& s1, PolyVecK& s2, std::span<const uint8_t, CRHBYTES> rhoprime);
void uniform_gamma1(PolyVecL& y, std::span<const uint8_t, CRHBYTES> rhoprime, uint16_t nonce);

}  // namespace tesvi_crypto::pqc::mldsa65::avx2
