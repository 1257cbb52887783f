#include "crypto/pqc/mlkem/ntt.hpp"

#include "crypto/pqc/mlkem/reduce.hpp"

namespace tesvi_crypto::pqc::mlkem {
namespace {

constexpr unsigned bitrev7(unsigned i) {
    unsigned r = 0;
    for (unsigned b = 0; b < 7; ++b) r |= ((i >> b) & 1) << (6 - b);
    return r;
}

constexpr std::array<int16_t, 128> make_zetas() {
    constexpr int32_t root = 17;  // a primitive 256th root of unity mod q
    std::array<int16_t, 128> z{};
    for (unsigned i = 0; i < 128; ++i) {
        int32_t v = MONT + Q;
        for (unsigned e = bitrev7(i); e > 0; --e) v = v * root % Q;
        z[i] = static_cast<int16_t>(v > Q / 2 ? v - Q : v);
    }
    return z;
}

// 2^32 / 128 mod q: undoes the 128 halvings of the inverse butterflies and
// leaves the result in Montgomery form.
constexpr int16_t INVNTT_SCALE = 1441;
static_assert(INVNTT_SCALE * 128 % Q == (int64_t{1} << 32) % Q);

}  // namespace

constinit const std::array<int16_t, 128> ZETAS = make_zetas();

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
