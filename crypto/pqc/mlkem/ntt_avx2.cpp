// The transforms, base multiplication and reductions in sixteen 16-bit lanes.
// Each lane does exactly the portable arithmetic (reduce.hpp, ntt.cpp), so
// every intermediate coefficient matches. The four outer layers pair whole
// vectors; the three inner ones pair lanes of two vectors after exchanging
// halves, quarters and eighths of them, and the exchanges are undone before
// the store, so the NTT domain keeps the portable coefficient order.
#include <immintrin.h>

#include <array>

#include "common/target_avx2.hpp"
#include "crypto/pqc/common/lanes_avx2.hpp"
#include "crypto/pqc/mlkem/avx2.hpp"
#include "crypto/pqc/mlkem/ntt.hpp"
#include "crypto/pqc/mlkem/reduce.hpp"

namespace tesvi_crypto::pqc::mlkem::avx2 {

using pqc::avx2::load;
using pqc::avx2::store;
namespace {

constexpr int16_t times_qinv(int16_t z) {
    return static_cast<int16_t>(z * QINV);
}

// One factor per lane, with its product by q^-1 for the Montgomery step.
struct LaneFactors {
    std::array<int16_t, 16> z;
    std::array<int16_t, 16> zqinv;
};

// The coefficient (of 256) in lane l of the first of the two vectors that the
// inner layer of butterfly distance len works on, for the vector pair holding
// coefficients 32 p to 32 p + 31. Its partner sits len coefficients later.
constexpr unsigned inner_lane_coefficient(unsigned len, unsigned p, unsigned l) {
    const unsigned half = 16 * (l / 8), m = l % 8;
    if (len == 8) return 32 * p + half + m;
    if (len == 4) return 32 * p + half + (m < 4 ? m : 8 + m - 4);
    return 32 * p + half + 4 * (m / 2) + m % 2;
}

// Layer len's twiddle for the butterfly holding coefficient c, in the order
// the forward (k rising from 1) or inverse (k falling from 127) transform
// takes them.
constexpr int16_t layer_zeta(bool forward, unsigned len, unsigned c) {
    const unsigned first = N / 2 / len;  // blocks before this layer's first
    const unsigned block = c / (2 * len);
    return forward ? ZETAS[first + block] : ZETAS[2 * first - 1 - block];
}

// [layer: len 8, 4, 2][vector pair]
using InnerTable = std::array<std::array<LaneFactors, 8>, 3>;

constexpr InnerTable make_inner(bool forward) {
    InnerTable t{};
    for (unsigned layer = 0; layer < 3; ++layer) {
        const unsigned len = 8u >> layer;
        for (unsigned p = 0; p < 8; ++p) {
            for (unsigned l = 0; l < 16; ++l) {
                const int16_t z = layer_zeta(forward, len, inner_lane_coefficient(len, p, l));
                t[layer][p].z[l] = z;
                t[layer][p].zqinv[l] = times_qinv(z);
            }
        }
    }
    return t;
}

constexpr InnerTable FORWARD = make_inner(true);
constexpr InnerTable INVERSE = make_inner(false);

// Pair j of a 32-coefficient chunk, after the split into even and odd lanes,
// comes from lane order 0-3, 8-11, 4-7, 12-15 (see split below).
constexpr unsigned split_pair(unsigned l) {
    return (l & 3) | ((l & 4) << 1) | ((l & 8) >> 1);
}

// zeta for pair i (coefficients 2i, 2i+1): +zeta_{64 + i/2} or its negative.
constexpr std::array<LaneFactors, 8> make_basemul() {
    std::array<LaneFactors, 8> t{};
    for (unsigned c = 0; c < 8; ++c) {
        for (unsigned l = 0; l < 16; ++l) {
            const unsigned pair = 16 * c + split_pair(l);
            const auto z =
                static_cast<int16_t>(pair % 2 ? -ZETAS[64 + pair / 2] : ZETAS[64 + pair / 2]);
            t[c].z[l] = z;
            t[c].zqinv[l] = times_qinv(z);
        }
    }
    return t;
}

constexpr std::array<LaneFactors, 8> BASEMUL = make_basemul();

constexpr int16_t BARRETT_V = ((1 << 26) + Q / 2) / Q;
constexpr int16_t TOMONT = static_cast<int16_t>((int64_t{1} << 32) % Q);

}  // namespace

TESVI_AVX2_BEGIN

namespace {

__m256i broadcast(int16_t x) {
    return _mm256_set1_epi16(x);
}

// montgomery_reduce(a b), with b's product by q^-1 given: the low halves of
// a b and t q agree, so the high halves' difference is (a b - t q) / 2^16.
__m256i fqmul(__m256i a, __m256i b, __m256i bqinv) {
    const __m256i t = _mm256_mullo_epi16(a, bqinv);
    return _mm256_sub_epi16(_mm256_mulhi_epi16(a, b), _mm256_mulhi_epi16(t, broadcast(Q)));
}
__m256i fqmul(__m256i a, __m256i b) {
    return fqmul(a, b, _mm256_mullo_epi16(b, broadcast(QINV)));
}

// barrett_reduce: floor((floor(v a / 2^16) + 2^9) / 2^10) is the rounded
// floor((v a + 2^25) / 2^26), and mulhrs by 32 computes the outer step.
__m256i barrett(__m256i a) {
    const __m256i t =
        _mm256_mulhrs_epi16(_mm256_mulhi_epi16(a, broadcast(BARRETT_V)), broadcast(32));
    return _mm256_sub_epi16(a, _mm256_mullo_epi16(t, broadcast(Q)));
}

void butterfly(__m256i& a, __m256i& b, __m256i z, __m256i zqinv) {
    const __m256i t = fqmul(b, z, zqinv);
    b = _mm256_sub_epi16(a, t);
    a = _mm256_add_epi16(a, t);
}

void inverse_butterfly(__m256i& a, __m256i& b, __m256i z, __m256i zqinv) {
    const __m256i t = a;
    a = barrett(_mm256_add_epi16(t, b));
    b = fqmul(_mm256_sub_epi16(b, t), z, zqinv);
}

void butterfly(__m256i& a, __m256i& b, const LaneFactors& f, bool forward) {
    const __m256i z = load(f.z.data()), zqinv = load(f.zqinv.data());
    forward ? butterfly(a, b, z, zqinv) : inverse_butterfly(a, b, z, zqinv);
}

// The lane exchanges between the inner layers. Each is its own inverse.
// Halves: a = (a.lo, b.lo), b = (a.hi, b.hi).
void exchange8(__m256i& a, __m256i& b) {
    const __m256i t = _mm256_permute2x128_si256(a, b, 0x20);
    b = _mm256_permute2x128_si256(a, b, 0x31);
    a = t;
}
// Quarters: the 64-bit words interleave.
void exchange4(__m256i& a, __m256i& b) {
    const __m256i t = _mm256_unpacklo_epi64(a, b);
    b = _mm256_unpackhi_epi64(a, b);
    a = t;
}
// Eighths: the 32-bit words interleave.
void exchange2(__m256i& a, __m256i& b) {
    const __m256i t = _mm256_blend_epi32(a, _mm256_slli_epi64(b, 32), 0xAA);
    b = _mm256_blend_epi32(_mm256_srli_epi64(a, 32), b, 0xAA);
    a = t;
}

// One of the four outer layers, vectors D apart: a template per distance,
// so every twiddle index is a constant and no loop is left to run.
template <unsigned D>
void outer_layer(__m256i v[16]) {
    for (unsigned start = 0; start < 16; start += 2 * D) {
        const int16_t z = ZETAS[8 / D + start / (2 * D)];
        const __m256i zv = broadcast(z), zq = broadcast(times_qinv(z));
        for (unsigned j = start; j < start + D; ++j) butterfly(v[j], v[j + D], zv, zq);
    }
}

template <unsigned D>
void inverse_outer_layer(__m256i v[16]) {
    for (unsigned start = 0; start < 16; start += 2 * D) {
        const int16_t z = ZETAS[16 / D - 1 - start / (2 * D)];
        const __m256i zv = broadcast(z), zq = broadcast(times_qinv(z));
        for (unsigned j = start; j < start + D; ++j) inverse_butterfly(v[j], v[j + D], zv, zq);
    }
}

// Layers of distance 128 down to 16 coefficients (8 down to 1 vectors).
void outer_layers(__m256i v[16]) {
    outer_layer<8>(v);
    outer_layer<4>(v);
    outer_layer<2>(v);
    outer_layer<1>(v);
}

void inverse_outer_layers(__m256i v[16]) {
    inverse_outer_layer<1>(v);
    inverse_outer_layer<2>(v);
    inverse_outer_layer<4>(v);
    inverse_outer_layer<8>(v);
}

// Splits coefficients 32c..32c+31 into the first and second coefficients of
// their 16 pairs, in split_pair order.
void split(__m256i& even, __m256i& odd, const int16_t* p) {
    const __m256i idx = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15, 0, 1,
                                         4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
    const __m256i a = _mm256_shuffle_epi8(load(p), idx);
    const __m256i b = _mm256_shuffle_epi8(load(p + 16), idx);
    even = _mm256_unpacklo_epi64(a, b);
    odd = _mm256_unpackhi_epi64(a, b);
}

void join(int16_t* p, __m256i even, __m256i odd) {
    store(p, _mm256_unpacklo_epi16(even, odd));
    store(p + 16, _mm256_unpackhi_epi16(even, odd));
}

}  // namespace

void poly_ntt(Poly& r) {
    __m256i v[16];
    for (unsigned i = 0; i < 16; ++i) v[i] = load(&r.coeffs[16 * i]);
    outer_layers(v);
    for (unsigned p = 0; p < 8; ++p) {
        __m256i a = v[2 * p], b = v[2 * p + 1];
        exchange8(a, b);
        butterfly(a, b, FORWARD[0][p], true);
        exchange4(a, b);
        butterfly(a, b, FORWARD[1][p], true);
        exchange2(a, b);
        butterfly(a, b, FORWARD[2][p], true);
        exchange2(a, b);
        exchange4(a, b);
        exchange8(a, b);
        store(&r.coeffs[32 * p], barrett(a));
        store(&r.coeffs[32 * p + 16], barrett(b));
    }
}

void poly_invntt_tomont(Poly& r) {
    __m256i v[16];
    for (unsigned p = 0; p < 8; ++p) {
        __m256i a = load(&r.coeffs[32 * p]), b = load(&r.coeffs[32 * p + 16]);
        exchange8(a, b);
        exchange4(a, b);
        exchange2(a, b);
        butterfly(a, b, INVERSE[2][p], false);
        exchange2(a, b);
        butterfly(a, b, INVERSE[1][p], false);
        exchange4(a, b);
        butterfly(a, b, INVERSE[0][p], false);
        exchange8(a, b);
        v[2 * p] = a;
        v[2 * p + 1] = b;
    }
    inverse_outer_layers(v);
    const __m256i s = broadcast(INVNTT_SCALE), sq = broadcast(times_qinv(INVNTT_SCALE));
    for (unsigned i = 0; i < 16; ++i) store(&r.coeffs[16 * i], fqmul(v[i], s, sq));
}

// basemul per pair: r0 = a1 b1 zeta + a0 b0, r1 = a0 b1 + a1 b0, each product
// reduced as the portable one is, and the k sums wrapped in 16 bits as there.
void poly_basemul_acc_montgomery(Poly& r, const Poly* a, const Poly* b, unsigned k) {
    for (unsigned c = 0; c < 8; ++c) {
        const __m256i z = load(BASEMUL[c].z.data()), zq = load(BASEMUL[c].zqinv.data());
        __m256i r0 = _mm256_setzero_si256(), r1 = _mm256_setzero_si256();
        for (unsigned i = 0; i < k; ++i) {
            __m256i a0, a1, b0, b1;
            split(a0, a1, &a[i].coeffs[32 * c]);
            split(b0, b1, &b[i].coeffs[32 * c]);
            const __m256i t0 = _mm256_add_epi16(fqmul(fqmul(a1, b1), z, zq), fqmul(a0, b0));
            const __m256i t1 = _mm256_add_epi16(fqmul(a0, b1), fqmul(a1, b0));
            r0 = _mm256_add_epi16(r0, t0);
            r1 = _mm256_add_epi16(r1, t1);
        }
        join(&r.coeffs[32 * c], barrett(r0), barrett(r1));
    }
}

void poly_tomont(Poly& r) {
    const __m256i f = broadcast(TOMONT), fq = broadcast(times_qinv(TOMONT));
    for (unsigned i = 0; i < N; i += 16) store(&r.coeffs[i], fqmul(load(&r.coeffs[i]), f, fq));
}

void poly_reduce(Poly& r) {
    for (unsigned i = 0; i < N; i += 16) store(&r.coeffs[i], barrett(load(&r.coeffs[i])));
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::mlkem::avx2
