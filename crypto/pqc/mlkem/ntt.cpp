#include "crypto/pqc/mlkem/ntt.hpp"

#include "crypto/pqc/mlkem/reduce.hpp"

namespace tesvi_crypto::pqc::mlkem {

void ntt(std::array<int16_t, N>& r) {
    unsigned k = 1;
    for (size_t len = 128; len >= 2; len >>= 1) {
        for (size_t start = 0; start < N; start += 2 * len) {
            const int16_t zeta = ZETAS[k++];
            for (size_t j = start; j < start + len; ++j) {
                const int16_t t = fqmul(zeta, r[j + len]);
                r[j + len] = static_cast<int16_t>(r[j] - t);
                r[j] = static_cast<int16_t>(r[j] + t);
            }
        }
    }
}

void invntt(std::array<int16_t, N>& r) {
    unsigned k = 127;
    for (size_t len = 2; len <= 128; len <<= 1) {
        for (size_t start = 0; start < N; start += 2 * len) {
            const int16_t zeta = ZETAS[k--];
            for (size_t j = start; j < start + len; ++j) {
                const int16_t t = r[j];
                r[j] = barrett_reduce(static_cast<int16_t>(t + r[j + len]));
                r[j + len] = fqmul(zeta, static_cast<int16_t>(r[j + len] - t));
            }
        }
    }
    for (int16_t& c : r) c = fqmul(c, INVNTT_SCALE);
}

void basemul(int16_t r[2], const int16_t a[2], const int16_t b[2], int16_t zeta) {
    r[0] = static_cast<int16_t>(fqmul(fqmul(a[1], b[1]), zeta) + fqmul(a[0], b[0]));
    r[1] = static_cast<int16_t>(fqmul(a[0], b[1]) + fqmul(a[1], b[0]));
}

}  // namespace tesvi_crypto::pqc::mlkem
