#include "quantum/simulator/statevector_avx2.hpp"

#include <immintrin.h>

#include <algorithm>

namespace tesvi_quantum::simulator::statevector::avx2 {
namespace {

using complex::Complex;

#define TESVI_AVX2 __attribute__((target("avx2")))

// (m.re*y.re - m.im*y.im, m.re*y.im + m.im*y.re) in each complex lane.
TESVI_AVX2 inline __m256d cmul(__m256d mre, __m256d mim, __m256d y) {
    const __m256d swapped = _mm256_permute_pd(y, 0b0101);
    return _mm256_addsub_pd(_mm256_mul_pd(mre, y), _mm256_mul_pd(mim, swapped));
}

TESVI_AVX2 inline __m256d load2(const Complex* lo, const Complex* hi) {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(&lo->re)),
                                _mm_loadu_pd(&hi->re), 1);
}

TESVI_AVX2 inline void store2(Complex* lo, Complex* hi, __m256d v) {
    _mm_storeu_pd(&lo->re, _mm256_castpd256_pd128(v));
    _mm_storeu_pd(&hi->re, _mm256_extractf128_pd(v, 1));
}

// The offsets of local basis states 0..3 from a quadruple's base: 0, 2^b, 2^a, 2^a + 2^b.
struct Slots {
    uint64_t v[4];
    Slots(uint64_t a, uint64_t b)
        : v{0, uint64_t{1} << b, uint64_t{1} << a, (uint64_t{1} << a) + (uint64_t{1} << b)} {}
    uint64_t operator[](int s) const { return v[s]; }
};

TESVI_AVX2 inline void broadcast(const Complex* m, __m256d* mre, __m256d* mim) {
    for (int e = 0; e < 16; ++e) mre[e] = _mm256_set1_pd(m[e].re), mim[e] = _mm256_set1_pd(m[e].im);
}

inline Complex row(const Complex* m, const Complex (&y)[4]) {
    return m[0] * y[0] + m[1] * y[1] + m[2] * y[2] + m[3] * y[3];
}

}  // namespace

bool available() {
    static const bool ok = __builtin_cpu_supports("avx2");
    return ok;
}

TESVI_AVX2 void quads(Complex* x, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
                      const Complex* m) {
    const uint64_t lo = std::min(a, b), hi = std::max(a, b);
    const Slots d(a, b);
    __m256d mre[16], mim[16];
    broadcast(m, mre, mim);
    uint64_t k = k0;
    // Two quadruples side by side: the first in the low lane, the second in the high lane.
    for (; k + 1 < k1; k += 2) {
        Complex* p = x + quad_offset(k, lo, hi);
        Complex* q = x + quad_offset(k + 1, lo, hi);
        __m256d y[4];
        for (int s = 0; s < 4; ++s) y[s] = load2(p + d[s], q + d[s]);
        for (int r = 0; r < 4; ++r) {
            const int e = 4 * r;
            __m256d acc = cmul(mre[e], mim[e], y[0]);
            acc = _mm256_add_pd(acc, cmul(mre[e + 1], mim[e + 1], y[1]));
            acc = _mm256_add_pd(acc, cmul(mre[e + 2], mim[e + 2], y[2]));
            acc = _mm256_add_pd(acc, cmul(mre[e + 3], mim[e + 3], y[3]));
            store2(p + d[r], q + d[r], acc);
        }
    }
    for (; k < k1; ++k) {
        Complex* p = x + quad_offset(k, lo, hi);
        const Complex y[4] = {p[d[0]], p[d[1]], p[d[2]], p[d[3]]};
        for (int r = 0; r < 4; ++r) p[d[r]] = row(m + 4 * r, y);
    }
}

namespace {

// Four quadruples' amplitudes of one slot, from contiguous memory when the
// four offsets are consecutive.
TESVI_AVX2 inline __m256d gather4(const double* v, const uint64_t (&o)[4], bool contiguous) {
    return contiguous ? _mm256_loadu_pd(v + o[0])
                      : _mm256_set_pd(v[o[3]], v[o[2]], v[o[1]], v[o[0]]);
}

TESVI_AVX2 inline void scatter4(double* v, const uint64_t (&o)[4], bool contiguous, __m256d x) {
    if (contiguous) return _mm256_storeu_pd(v + o[0], x);
    alignas(32) double t[4];
    _mm256_store_pd(t, x);
    for (int l = 0; l < 4; ++l) v[o[l]] = t[l];
}

}  // namespace

TESVI_AVX2 void quads_soa(double* re, double* im, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
                          const Complex* m) {
    const uint64_t lo = std::min(a, b), hi = std::max(a, b);
    const Slots d(a, b);
    __m256d mre[16], mim[16];
    broadcast(m, mre, mim);
    uint64_t k = k0;
    for (; k + 3 < k1; k += 4) {
        uint64_t o[4];
        for (int l = 0; l < 4; ++l) o[l] = quad_offset(k + l, lo, hi);
        const bool contiguous = o[3] == o[0] + 3;
        __m256d yr[4], yi[4];
        for (int s = 0; s < 4; ++s) {
            const uint64_t os[4] = {o[0] + d[s], o[1] + d[s], o[2] + d[s], o[3] + d[s]};
            yr[s] = gather4(re, os, contiguous);
            yi[s] = gather4(im, os, contiguous);
        }
        for (int r = 0; r < 4; ++r) {
            __m256d accr = _mm256_setzero_pd(), acci = _mm256_setzero_pd();
            for (int j = 0; j < 4; ++j) {
                const int e = 4 * r + j;
                const __m256d pr =
                    _mm256_sub_pd(_mm256_mul_pd(mre[e], yr[j]), _mm256_mul_pd(mim[e], yi[j]));
                const __m256d pi =
                    _mm256_add_pd(_mm256_mul_pd(mre[e], yi[j]), _mm256_mul_pd(mim[e], yr[j]));
                accr = j == 0 ? pr : _mm256_add_pd(accr, pr);
                acci = j == 0 ? pi : _mm256_add_pd(acci, pi);
            }
            const uint64_t os[4] = {o[0] + d[r], o[1] + d[r], o[2] + d[r], o[3] + d[r]};
            scatter4(re, os, contiguous, accr);
            scatter4(im, os, contiguous, acci);
        }
    }
    for (; k < k1; ++k) {
        const uint64_t p = quad_offset(k, lo, hi);
        const Complex y[4] = {{re[p + d[0]], im[p + d[0]]},
                              {re[p + d[1]], im[p + d[1]]},
                              {re[p + d[2]], im[p + d[2]]},
                              {re[p + d[3]], im[p + d[3]]}};
        for (int r = 0; r < 4; ++r) {
            const Complex v = row(m + 4 * r, y);
            re[p + d[r]] = v.re, im[p + d[r]] = v.im;
        }
    }
}

}  // namespace tesvi_quantum::simulator::statevector::avx2
