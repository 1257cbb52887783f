// Reduction, rounding, hints and the norm check eight coefficients at a
// time: the formulas of reduce.hpp and rounding.hpp lane by lane, with the
// sign masks coming from arithmetic shifts and compares, never branches.
#include <immintrin.h>

#include "common/target_avx2.hpp"
#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/common/lanes_avx2.hpp"
#include "crypto/pqc/mldsa/avx2.hpp"

namespace tesvi_crypto::pqc::mldsa65::avx2 {

using pqc::avx2::load;
using pqc::avx2::store;

TESVI_AVX2_BEGIN

namespace {

inline __m256i set1(int32_t x) {
    return _mm256_set1_epi32(x);
}

// decompose() of rounding.hpp; returns a1 and leaves the low part in a0.
inline __m256i decompose8(__m256i& a0, __m256i a) {
    __m256i a1 = _mm256_srai_epi32(_mm256_add_epi32(a, set1(127)), 7);
    a1 = _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(a1, set1(1025)), set1(1 << 21)), 22);
    a1 = _mm256_and_si256(a1, set1(15));
    a0 = _mm256_sub_epi32(a, _mm256_mullo_epi32(a1, set1(2 * GAMMA2)));
    __m256i wrap = _mm256_srai_epi32(_mm256_sub_epi32(set1((Q - 1) / 2), a0), 31);
    a0 = _mm256_sub_epi32(a0, _mm256_and_si256(wrap, set1(Q)));
    return a1;
}

}  // namespace

void reduce(Poly& a) {
    for (size_t i = 0; i < N; i += 8) {
        __m256i x = load(a.coeffs + i);
        __m256i t = _mm256_srai_epi32(_mm256_add_epi32(x, set1(1 << 22)), 23);
        store(a.coeffs + i, _mm256_sub_epi32(x, _mm256_mullo_epi32(t, set1(Q))));
    }
}

void caddq(Poly& a) {
    for (size_t i = 0; i < N; i += 8) {
        __m256i x = load(a.coeffs + i);
        store(a.coeffs + i,
              _mm256_add_epi32(x, _mm256_and_si256(_mm256_srai_epi32(x, 31), set1(Q))));
    }
}

void power2round(Poly& a1, Poly& a0, const Poly& a) {
    for (size_t i = 0; i < N; i += 8) {
        __m256i x = load(a.coeffs + i);
        __m256i hi = _mm256_srai_epi32(_mm256_add_epi32(x, set1((1 << (D - 1)) - 1)), D);
        store(a0.coeffs + i, _mm256_sub_epi32(x, _mm256_slli_epi32(hi, D)));
        store(a1.coeffs + i, hi);
    }
}

void decompose(Poly& a1, Poly& a0, const Poly& a) {
    for (size_t i = 0; i < N; i += 8) {
        __m256i lo;
        __m256i hi = decompose8(lo, load(a.coeffs + i));
        store(a0.coeffs + i, lo);
        store(a1.coeffs + i, hi);
    }
}

unsigned make_hint(Poly& h, const Poly& a0, const Poly& a1) {
    __m256i count = _mm256_setzero_si256();
    for (size_t i = 0; i < N; i += 8) {
        __m256i lo = load(a0.coeffs + i), hi = load(a1.coeffs + i);
        __m256i above = _mm256_srli_epi32(_mm256_sub_epi32(set1(GAMMA2), lo), 31);
        __m256i below = _mm256_srli_epi32(_mm256_add_epi32(lo, set1(GAMMA2)), 31);
        __m256i at_edge = _mm256_cmpeq_epi32(lo, set1(-GAMMA2));
        __m256i a1_zero = _mm256_cmpeq_epi32(hi, _mm256_setzero_si256());
        __m256i edge = _mm256_and_si256(_mm256_andnot_si256(a1_zero, at_edge), set1(1));
        __m256i bit = _mm256_or_si256(_mm256_or_si256(above, below), edge);
        store(h.coeffs + i, bit);
        count = _mm256_add_epi32(count, bit);
    }
    __m128i s = _mm_add_epi32(_mm256_castsi256_si128(count), _mm256_extracti128_si256(count, 1));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_add_epi32(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<unsigned>(_mm_cvtsi128_si32(s));
}

void use_hint(Poly& b, const Poly& a, const Poly& h) {
    for (size_t i = 0; i < N; i += 8) {
        __m256i lo;
        __m256i hi = decompose8(lo, load(a.coeffs + i));
        // +1 where the low part is positive, -1 elsewhere; kept where the hint is set.
        __m256i step = _mm256_sub_epi32(
            _mm256_and_si256(_mm256_cmpgt_epi32(lo, _mm256_setzero_si256()), set1(2)), set1(1));
        __m256i hint = _mm256_sub_epi32(_mm256_setzero_si256(), load(h.coeffs + i));
        hi = _mm256_add_epi32(hi, _mm256_and_si256(step, hint));
        store(b.coeffs + i, _mm256_and_si256(hi, set1(15)));
    }
}

bool chknorm(const Poly& a, int32_t bound) {
    __m256i over = _mm256_setzero_si256();
    for (size_t i = 0; i < N; i += 8) {
        __m256i t = _mm256_abs_epi32(load(a.coeffs + i));
        over = _mm256_or_si256(over, _mm256_sub_epi32(set1(bound - 1), t));
    }
    return _mm256_movemask_ps(_mm256_castsi256_ps(over)) != 0;
}

// The masks come from vector compares against b, eight positions at a time;
// positions above i are still zero and never equal b, so whole blocks do.
// One pass over coefficients 0..i: each vector gives up its value at b and
// takes the sign there. c[i] then takes the value found, unless b is i, where
// the sign just written stays (the order c[i] = c[b]; c[b] = sign).
void challenge_place(Poly& c, uint32_t i, uint32_t b, int32_t sign) {
    const __m256i target = set1(static_cast<int32_t>(b));
    const __m256i first = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    __m256i cb = _mm256_setzero_si256();
    for (uint32_t j = 0; j <= i; j += 8) {
        const __m256i m =
            _mm256_cmpeq_epi32(_mm256_add_epi32(first, set1(static_cast<int32_t>(j))), target);
        const __m256i v = load(c.coeffs + j);
        cb = _mm256_or_si256(cb, _mm256_and_si256(v, m));
        store(c.coeffs + j, _mm256_blendv_epi8(v, set1(sign), m));
    }
    __m128i s = _mm_or_si128(_mm256_castsi256_si128(cb), _mm256_extracti128_si256(cb, 1));
    s = _mm_or_si128(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(1, 0, 3, 2)));
    s = _mm_or_si128(s, _mm_shuffle_epi32(s, _MM_SHUFFLE(2, 3, 0, 1)));
    c.coeffs[i] = ct::select(sign, _mm_cvtsi128_si32(s), static_cast<int32_t>(ct::eq_mask(i, b)));
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::mldsa65::avx2
