// The negacyclic number-theoretic transform over Z_q[X]/(X^256 + 1), with
// results in Montgomery form, in the coefficient order of the reference code.
#pragma once

#include <array>
#include <cstdint>

#include "crypto/pqc/mldsa/params.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

inline constexpr int32_t ROOT = 1753;  // a primitive 512th root of unity mod q

constexpr int64_t pow_mod(int64_t base, unsigned e) {
    int64_t r = 1;
    for (base %= Q; e > 0; e >>= 1, base = base * base % Q)
        if (e & 1) r = r * base % Q;
    return r;
}

constexpr unsigned bit_reverse8(unsigned x) {
    unsigned r = 0;
    for (int i = 0; i < 8; ++i) r |= ((x >> i) & 1) << (7 - i);
    return r;
}

// zetas[k] = 2^32 ROOT^brv(k) mod q, centred; entry 0 is never used.
constexpr std::array<int32_t, N> make_zetas() {
    std::array<int32_t, N> z{};
    const int64_t mont = (int64_t{1} << 32) % Q;
    for (unsigned k = 1; k < N; ++k) {
        int64_t v = mont * pow_mod(ROOT, bit_reverse8(k)) % Q;
        z[k] = static_cast<int32_t>(v > Q / 2 ? v - Q : v);
    }
    return z;
}

inline constexpr std::array<int32_t, N> zetas = make_zetas();
static_assert(zetas[1] == 25847 && zetas[255] == 1976782);

// 2^64 / 256 mod q: the inverse transform's final factor undoes the scaling
// by 256 and leaves the Montgomery factor 2^32.
inline constexpr int32_t INVNTT_F = 41978;

// In place; no reduction, so inputs need |a| < q and outputs grow to |a| < 9q.
void ntt(int32_t a[N]);
// In place, multiplying by the Montgomery factor 2^32; |a| < q on output.
void invntt_tomont(int32_t a[N]);

}  // namespace tesvi_crypto::pqc::mldsa65
