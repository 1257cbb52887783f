#include "crypto/pqc/mldsa/ntt.hpp"

#include "crypto/pqc/mldsa/reduce.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

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
    for (size_t j = 0; j < N; ++j) a[j] = montgomery_reduce(int64_t{INVNTT_F} * a[j]);
}

}  // namespace tesvi_crypto::pqc::mldsa65
