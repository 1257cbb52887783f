// Parameters of ML-DSA-65 and the byte sizes of everything that gets encoded.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesvi_crypto::pqc::mldsa65 {

inline constexpr size_t N = 256;
inline constexpr int32_t Q = 8380417;
inline constexpr int D = 13;  // dropped bits of t

inline constexpr size_t K = 6;  // rows of A
inline constexpr size_t L = 5;  // columns of A
inline constexpr int32_t ETA = 4;
inline constexpr int TAU = 49;  // nonzero coefficients of the challenge
inline constexpr int32_t BETA = TAU * ETA;
inline constexpr int32_t GAMMA1 = 1 << 19;
inline constexpr int32_t GAMMA2 = (Q - 1) / 32;
inline constexpr size_t OMEGA = 55;  // most hint bits a signature may carry

inline constexpr size_t SEEDBYTES = 32;
inline constexpr size_t CRHBYTES = 64;
inline constexpr size_t TRBYTES = 64;
inline constexpr size_t RNDBYTES = 32;
inline constexpr size_t CTILDEBYTES = 48;

inline constexpr int T1_BITS = 23 - D;
inline constexpr int T0_BITS = D;
inline constexpr int ETA_BITS = 4;
inline constexpr int Z_BITS = 20;
inline constexpr int W1_BITS = 4;

inline constexpr size_t packed_bytes(int bits) {
    return N * bits / 8;
}
inline constexpr size_t POLYT1_PACKEDBYTES = packed_bytes(T1_BITS);
inline constexpr size_t POLYT0_PACKEDBYTES = packed_bytes(T0_BITS);
inline constexpr size_t POLYETA_PACKEDBYTES = packed_bytes(ETA_BITS);
inline constexpr size_t POLYZ_PACKEDBYTES = packed_bytes(Z_BITS);
inline constexpr size_t POLYW1_PACKEDBYTES = packed_bytes(W1_BITS);
inline constexpr size_t POLYVECH_PACKEDBYTES = OMEGA + K;

inline constexpr size_t PUBLIC_KEY_BYTES = SEEDBYTES + K * POLYT1_PACKEDBYTES;
inline constexpr size_t SECRET_KEY_BYTES = 2 * SEEDBYTES + TRBYTES + L * POLYETA_PACKEDBYTES +
                                           K * POLYETA_PACKEDBYTES + K * POLYT0_PACKEDBYTES;
inline constexpr size_t SIGNATURE_BYTES =
    CTILDEBYTES + L * POLYZ_PACKEDBYTES + POLYVECH_PACKEDBYTES;

static_assert(PUBLIC_KEY_BYTES == 1952 && SECRET_KEY_BYTES == 4032 && SIGNATURE_BYTES == 3309);
static_assert((1 << ETA_BITS) > 2 * ETA && (1 << Z_BITS) == 2 * GAMMA1);
static_assert((Q - 1) / (2 * GAMMA2) == 1 << W1_BITS);

}  // namespace tesvi_crypto::pqc::mldsa65
