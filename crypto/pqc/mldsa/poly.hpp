// Polynomials of Z_q[X]/(X^256 + 1): arithmetic, rounding, sampling and the
// bit-packed encodings of single polynomials.
#pragma once

#include <cstdint>
#include <span>

#include "crypto/pqc/mldsa/params.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

struct Poly {
    int32_t coeffs[N];
};

void poly_reduce(Poly& a);
void poly_caddq(Poly& a);
void poly_add(Poly& c, const Poly& a, const Poly& b);
void poly_sub(Poly& c, const Poly& a, const Poly& b);
void poly_shiftl(Poly& a);  // times 2^D
void poly_ntt(Poly& a);
void poly_invntt_tomont(Poly& a);
void poly_pointwise_montgomery(Poly& c, const Poly& a, const Poly& b);
// c += a * b, each product Montgomery-reduced.
void poly_pointwise_acc_montgomery(Poly& c, const Poly& a, const Poly& b);

void poly_power2round(Poly& a1, Poly& a0, const Poly& a);
void poly_decompose(Poly& a1, Poly& a0, const Poly& a);
// Returns the number of hint bits set.
unsigned poly_make_hint(Poly& h, const Poly& a0, const Poly& a1);
void poly_use_hint(Poly& b, const Poly& a, const Poly& h);

// True when some coefficient has |a| >= bound (bound <= (q-1)/8). Looks at
// every coefficient, so neither the position nor the sign of a violation leaks.
bool poly_chknorm(const Poly& a, int32_t bound);

// Uniform in [0, q), in NTT domain, from SHAKE128(rho || nonce).
void poly_uniform(Poly& a, std::span<const uint8_t, SEEDBYTES> rho, uint16_t nonce);
// Uniform in [-ETA, ETA] from SHAKE256(rhoprime || nonce).
void poly_uniform_eta(Poly& a, std::span<const uint8_t, CRHBYTES> rhoprime, uint16_t nonce);
// Uniform in [-GAMMA1 + 1, GAMMA1] from SHAKE256(rhoprime || nonce).
void poly_uniform_gamma1(Poly& a, std::span<const uint8_t, CRHBYTES> rhoprime, uint16_t nonce);
// One Fisher-Yates step of the challenge: c[i] = c[b], then c[b] = sign,
// touching every position up to i so that b stays hidden.
using ChallengePlace = void (*)(Poly& c, uint32_t i, uint32_t b, int32_t sign);
void challenge_place(Poly& c, uint32_t i, uint32_t b, int32_t sign);
// TAU coefficients of +-1, the rest 0, from SHAKE256(ctilde).
void poly_challenge(Poly& c, std::span<const uint8_t, CTILDEBYTES> ctilde,
                    ChallengePlace place = challenge_place);

// Rejection sampling from a squeezed buffer into a[0..len): the number of
// coefficients written. Uniform in [0, q), and uniform in [-ETA, ETA].
size_t rej_uniform(int32_t* a, size_t len, const uint8_t* buf, size_t buflen);
size_t rej_eta(int32_t* a, size_t len, const uint8_t* buf, size_t buflen);

void polyeta_pack(uint8_t* r, const Poly& a);
void polyeta_unpack(Poly& a, const uint8_t* r);
void polyt1_pack(uint8_t* r, const Poly& a);
void polyt1_unpack(Poly& a, const uint8_t* r);
void polyt0_pack(uint8_t* r, const Poly& a);
void polyt0_unpack(Poly& a, const uint8_t* r);
void polyz_pack(uint8_t* r, const Poly& a);
void polyz_unpack(Poly& a, const uint8_t* r);
void polyw1_pack(uint8_t* r, const Poly& a);

}  // namespace tesvi_crypto::pqc::mldsa65
