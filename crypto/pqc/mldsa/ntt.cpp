#include "crypto/pqc/mldsa/ntt.hpp"

#include <array>

#include "crypto/pqc/mldsa/reduce.hpp"

namespace tesvi_crypto::pqc::mldsa65 {
namespace {

constexpr int32_t ROOT = 1753;  // a primitive 512th root of unity mod q

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

constexpr std::array<int32_t, N> zetas = make_zetas();
static_assert(zetas[1] == 25847 && zetas[255] == 1976782);

}  // namespace

void ntt(int32_t a[N]) {
    size_t k = 0;
    for (size_t len = 128; len > 0; len >>= 1) {
        for (size_t start = 0; start < N; start += 2 * len) {
            const int32_t zeta = zetas[++k];
            for (size_t j = start; j < start + len; ++j) {
                int32_t t = montgomery_reduce(int64_t{zeta} * a[j + len]);
                a[j + len] = a[j] - t;
                a[j] = a[j] + t;
            }
        }
    }
}

void invntt_tomont(int32_t a[N]) {
    constexpr int32_t F = 41978;  // 2^64 / 256 mod q: undoes the scaling, leaves 2^32
    size_t k = N;
    for (size_t len = 1; len < N; len <<= 1) {
        for (size_t start = 0; start < N; start += 2 * len) {
            const int32_t zeta = -zetas[--k];
            for (size_t j = start; j < start + len; ++j) {
                int32_t t = a[j];
                a[j] = t + a[j + len];
                a[j + len] = montgomery_reduce(int64_t{zeta} * (t - a[j + len]));
            }
        }
    }
    for (size_t j = 0; j < N; ++j) a[j] = montgomery_reduce(int64_t{F} * a[j]);
}

}  // namespace tesvi_crypto::pqc::mldsa65
