// The transforms eight coefficients at a time, in the same coefficient order
// and with the same butterflies as ntt.cpp, so every output integer is the
// portable one. The layers of distance 4, 2 and 1 work on blocks of 16
// coefficients, shuffled so each butterfly's operands sit in the same lane of
// two registers.
#include <immintrin.h>

#include <array>

#include "common/target_avx2.hpp"
#include "crypto/pqc/common/lanes_avx2.hpp"
#include "crypto/pqc/mldsa/avx2.hpp"
#include "crypto/pqc/mldsa/ntt.hpp"
#include "crypto/pqc/mldsa/reduce.hpp"

namespace tesvi_crypto::pqc::mldsa65::avx2 {

using pqc::avx2::load;
using pqc::avx2::store;
namespace {

using Lanes = std::array<size_t, 8>;

// The coefficient, within a block of 16, held by each lane of the first
// operand at the layer of distance len (4, 2 or 1) after the shuffles below.
constexpr Lanes lanes_of(size_t len) {
    if (len == 4) return {0, 1, 2, 3, 8, 9, 10, 11};
    if (len == 2) return {0, 1, 8, 9, 4, 5, 12, 13};
    return {0, 2, 8, 10, 4, 6, 12, 14};
}

// The twiddle of every lane of every block at the layer of distance len: the
// ones ntt() and invntt_tomont() in ntt.cpp pick for that butterfly's group.
constexpr std::array<int32_t, N / 2> lane_zetas(size_t len, bool inverse) {
    std::array<int32_t, N / 2> z{};
    const Lanes lanes = lanes_of(len);
    for (size_t b = 0; b < N / 16; ++b)
        for (size_t l = 0; l < 8; ++l) {
            size_t group = (16 * b + lanes[l]) / (2 * len);
            z[8 * b + l] = inverse ? -zetas[N / len - 1 - group] : zetas[N / (2 * len) + group];
        }
    return z;
}

constexpr std::array<int32_t, N / 2> FORWARD4 = lane_zetas(4, false);
constexpr std::array<int32_t, N / 2> FORWARD2 = lane_zetas(2, false);
constexpr std::array<int32_t, N / 2> FORWARD1 = lane_zetas(1, false);
constexpr std::array<int32_t, N / 2> INVERSE4 = lane_zetas(4, true);
constexpr std::array<int32_t, N / 2> INVERSE2 = lane_zetas(2, true);
constexpr std::array<int32_t, N / 2> INVERSE1 = lane_zetas(1, true);

}  // namespace

TESVI_AVX2_BEGIN

namespace {

// montgomery_reduce(a * b) in every lane: the 64-bit products of the even
// and of the odd lanes, each less t q, whose high halves are the results.
inline __m256i mont_mul(__m256i a, __m256i b) {
    const __m256i q = _mm256_set1_epi32(Q);
    const __m256i qinv = _mm256_set1_epi32(QINV);
    __m256i even = _mm256_mul_epi32(a, b);
    __m256i odd = _mm256_mul_epi32(_mm256_srli_epi64(a, 32), _mm256_srli_epi64(b, 32));
    even = _mm256_sub_epi64(even, _mm256_mul_epi32(_mm256_mul_epi32(even, qinv), q));
    odd = _mm256_sub_epi64(odd, _mm256_mul_epi32(_mm256_mul_epi32(odd, qinv), q));
    return _mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA);
}

inline void forward(__m256i& x, __m256i& y, __m256i zeta) {
    __m256i t = mont_mul(zeta, y);
    y = _mm256_sub_epi32(x, t);
    x = _mm256_add_epi32(x, t);
}

inline void inverse(__m256i& x, __m256i& y, __m256i zeta) {
    __m256i t = x;
    x = _mm256_add_epi32(t, y);
    y = mont_mul(zeta, _mm256_sub_epi32(t, y));
}

// The twiddle of group g at the layer of distance len, as ntt.cpp picks it.
template <bool Inverse>
inline __m256i zeta_of(size_t len, size_t g) {
    return _mm256_set1_epi32(Inverse ? -zetas[N / len - 1 - g] : zetas[N / (2 * len) + g]);
}

template <bool Inverse>
inline void butterfly(__m256i& x, __m256i& y, __m256i zeta) {
    if constexpr (Inverse)
        inverse(x, y, zeta);
    else
        forward(x, y, zeta);
}

// The layers of distance 128, 64 and 32 on one column: r[k] holds
// coefficients j + 32k .. j + 32k + 7, so every butterfly of the three layers
// pairs two of the eight registers.
template <bool Inverse>
inline void column_layers(__m256i (&r)[8]) {
    auto layer128 = [&] {
        for (size_t k = 0; k < 4; ++k) butterfly<Inverse>(r[k], r[k + 4], zeta_of<Inverse>(128, 0));
    };
    auto layer64 = [&] {
        for (size_t k : {0, 1, 4, 5})
            butterfly<Inverse>(r[k], r[k + 2], zeta_of<Inverse>(64, k / 4));
    };
    auto layer32 = [&] {
        for (size_t k = 0; k < 8; k += 2)
            butterfly<Inverse>(r[k], r[k + 1], zeta_of<Inverse>(32, k / 2));
    };
    if constexpr (Inverse)
        layer32(), layer64(), layer128();
    else
        layer128(), layer64(), layer32();
}

// The layers of distance 16 and 8 on block c of 32 coefficients, v[m] holding
// coefficients 32c + 8m .. 32c + 8m + 7.
template <bool Inverse>
inline void block_layers(__m256i (&v)[4], size_t c) {
    auto layer16 = [&] {
        for (size_t m = 0; m < 2; ++m) butterfly<Inverse>(v[m], v[m + 2], zeta_of<Inverse>(16, c));
    };
    auto layer8 = [&] {
        for (size_t m = 0; m < 4; m += 2)
            butterfly<Inverse>(v[m], v[m + 1], zeta_of<Inverse>(8, 2 * c + m / 2));
    };
    if constexpr (Inverse)
        layer8(), layer16();
    else
        layer16(), layer8();
}

// Splits coefficients 0-7 (lo) and 8-15 (hi) of a block into the operands
// of the layer of distance 4, 2 or 1 (lanes_of), and joins them back.
inline void split4(__m256i lo, __m256i hi, __m256i& x, __m256i& y) {
    x = _mm256_permute2x128_si256(lo, hi, 0x20);
    y = _mm256_permute2x128_si256(lo, hi, 0x31);
}
inline void split2(__m256i lo, __m256i hi, __m256i& x, __m256i& y) {
    x = _mm256_unpacklo_epi64(lo, hi);
    y = _mm256_unpackhi_epi64(lo, hi);
}
inline void split1(__m256i lo, __m256i hi, __m256i& x, __m256i& y) {
    const __m256 l = _mm256_castsi256_ps(lo), h = _mm256_castsi256_ps(hi);
    x = _mm256_castps_si256(_mm256_shuffle_ps(l, h, _MM_SHUFFLE(2, 0, 2, 0)));
    y = _mm256_castps_si256(_mm256_shuffle_ps(l, h, _MM_SHUFFLE(3, 1, 3, 1)));
}
inline void join4(__m256i x, __m256i y, __m256i& lo, __m256i& hi) {
    split4(x, y, lo, hi);
}
inline void join2(__m256i x, __m256i y, __m256i& lo, __m256i& hi) {
    split2(x, y, lo, hi);
}
inline void join1(__m256i x, __m256i y, __m256i& lo, __m256i& hi) {
    lo = _mm256_unpacklo_epi32(x, y);
    hi = _mm256_unpackhi_epi32(x, y);
}

using Shuffle = void (*)(__m256i, __m256i, __m256i&, __m256i&);

// One layer of distance < 8 on the block lo, hi with its eight twiddles.
template <bool Inverse, Shuffle Split, Shuffle Join>
inline void narrow_layer(__m256i& lo, __m256i& hi, const int32_t* zetas) {
    __m256i x, y;
    Split(lo, hi, x, y);
    butterfly<Inverse>(x, y, load(zetas));
    Join(x, y, lo, hi);
}

// The three narrow layers on the 16-coefficient block b held in lo, hi.
template <bool Inverse>
inline void narrow_layers(__m256i& lo, __m256i& hi, size_t b) {
    const size_t z = 8 * b;
    if constexpr (Inverse) {
        narrow_layer<true, split1, join1>(lo, hi, INVERSE1.data() + z);
        narrow_layer<true, split2, join2>(lo, hi, INVERSE2.data() + z);
        narrow_layer<true, split4, join4>(lo, hi, INVERSE4.data() + z);
    } else {
        narrow_layer<false, split4, join4>(lo, hi, FORWARD4.data() + z);
        narrow_layer<false, split2, join2>(lo, hi, FORWARD2.data() + z);
        narrow_layer<false, split1, join1>(lo, hi, FORWARD1.data() + z);
    }
}

// Two passes over the polynomial, each keeping its coefficients in registers
// through several layers: columns through the layers of distance 128 to 32,
// then blocks of 32 through the layers of distance 16 to 1 (in the inverse
// order for the inverse). The inverse's last pass also scales every
// coefficient by INVNTT_F on its way out.
template <bool Inverse>
inline void transform(int32_t* a) {
    auto finish = [](__m256i& x) {
        if constexpr (Inverse) x = mont_mul(_mm256_set1_epi32(INVNTT_F), x);
    };
    auto columns = [&](bool last) {
        for (size_t j = 0; j < 32; j += 8) {
            __m256i r[8];
            for (size_t k = 0; k < 8; ++k) r[k] = load(a + j + 32 * k);
            column_layers<Inverse>(r);
            for (size_t k = 0; k < 8; ++k) {
                if (last) finish(r[k]);
                store(a + j + 32 * k, r[k]);
            }
        }
    };
    auto blocks = [&](bool last) {
        for (size_t c = 0; c < N / 32; ++c) {
            __m256i v[4];
            for (size_t m = 0; m < 4; ++m) v[m] = load(a + 32 * c + 8 * m);
            if constexpr (Inverse) {
                narrow_layers<true>(v[0], v[1], 2 * c);
                narrow_layers<true>(v[2], v[3], 2 * c + 1);
                block_layers<true>(v, c);
            } else {
                block_layers<false>(v, c);
                narrow_layers<false>(v[0], v[1], 2 * c);
                narrow_layers<false>(v[2], v[3], 2 * c + 1);
            }
            for (size_t m = 0; m < 4; ++m) {
                if (last) finish(v[m]);
                store(a + 32 * c + 8 * m, v[m]);
            }
        }
    };
    if constexpr (Inverse)
        blocks(false), columns(true);
    else
        columns(false), blocks(true);
}

}  // namespace

void ntt(Poly& p) {
    transform<false>(p.coeffs);
}

void invntt_tomont(Poly& p) {
    transform<true>(p.coeffs);
}

void pointwise_montgomery(Poly& c, const Poly& a, const Poly& b) {
    for (size_t j = 0; j < N; j += 8)
        store(c.coeffs + j, mont_mul(load(a.coeffs + j), load(b.coeffs + j)));
}

void pointwise_acc_montgomery(Poly& c, const Poly& a, const Poly& b) {
    for (size_t j = 0; j < N; j += 8)
        store(c.coeffs + j, _mm256_add_epi32(load(c.coeffs + j),
                                             mont_mul(load(a.coeffs + j), load(b.coeffs + j))));
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::mldsa65::avx2
