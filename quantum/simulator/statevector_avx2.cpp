#include "quantum/simulator/statevector_kernels.hpp"

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <span>

#include "common/target_avx2.hpp"

TESVI_AVX2_BEGIN

namespace tesvi_quantum::simulator::statevector {
namespace {

// Four doubles per register for prepared_kernel.hpp; a lane move is a 32-bit
// permutation of the register's halves of doubles.
struct Avx2Lanes {
    using V = __m256d;
    using Mask = V;
    using Index = __m256i;
    static constexpr int BITS = 2, WIDTH = 4;
    static V load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, V v) { _mm256_storeu_pd(p, v); }
    static V set1(double v) { return _mm256_set1_pd(v); }
    static V add(V a, V b) { return _mm256_add_pd(a, b); }
    static V sub(V a, V b) { return _mm256_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
    static V and_(V a, V b) { return _mm256_and_pd(a, b); }
    static V andnot(V a, V b) { return _mm256_andnot_pd(a, b); }
    // Lane masks are all ones in the lanes they select.
    static V zero_lanes(V v) { return _mm256_cmp_pd(v, _mm256_setzero_pd(), _CMP_EQ_OQ); }
    static V nonfinite_lanes(V v) {
        const V d = _mm256_sub_pd(v, v);
        return _mm256_cmp_pd(d, d, _CMP_UNORD_Q);
    }
    static V special_lanes(V v) { return _mm256_or_pd(zero_lanes(v), nonfinite_lanes(v)); }
    static bool none(V mask) { return _mm256_movemask_pd(mask) == 0; }
    static V select(V mask, V a, V b) { return _mm256_blendv_pd(b, a, mask); }
    static V or_bits(V a, V b) { return _mm256_or_pd(a, b); }
    static bool all_bits_clear(V v) {
        const __m256i x = _mm256_castpd_si256(v);
        return _mm256_testz_si256(x, x) != 0;
    }
    static bool any_sign(V v) { return _mm256_movemask_pd(v) != 0; }
    static V xor_(V a, V b) { return _mm256_xor_pd(a, b); }
    static bool differs(V a, V b) {
        const __m256i x = _mm256_castpd_si256(_mm256_xor_pd(a, b));
        return _mm256_testz_si256(x, x) == 0;
    }
    static Mask lanes(const bool (&on)[WIDTH]) {
        return _mm256_castsi256_pd(
            _mm256_setr_epi64x(-int64_t{on[0]}, -int64_t{on[1]}, -int64_t{on[2]}, -int64_t{on[3]}));
    }
    static Index index(const int (&from)[WIDTH]) {
        return _mm256_setr_epi32(2 * from[0], 2 * from[0] + 1, 2 * from[1], 2 * from[1] + 1,
                                 2 * from[2], 2 * from[2] + 1, 2 * from[3], 2 * from[3] + 1);
    }
    static V move(V v, Index from) {
        return _mm256_castps_pd(_mm256_permutevar8x32_ps(_mm256_castpd_ps(v), from));
    }
    // Two registers of two interleaved amplitudes each, as a register of four
    // real parts and one of four imaginary parts, and back.
    static void unzip(V a, V b, V& re, V& im) {
        re = _mm256_permute4x64_pd(_mm256_unpacklo_pd(a, b), 0xD8);
        im = _mm256_permute4x64_pd(_mm256_unpackhi_pd(a, b), 0xD8);
    }
    static void zip(V re, V im, V& a, V& b) {
        const V r = _mm256_permute4x64_pd(re, 0xD8), m = _mm256_permute4x64_pd(im, 0xD8);
        a = _mm256_unpacklo_pd(r, m), b = _mm256_unpackhi_pd(r, m);
    }
};

}  // namespace
}  // namespace tesvi_quantum::simulator::statevector

#include "quantum/simulator/prepared_kernel.hpp"

namespace tesvi_quantum::simulator::statevector::avx2 {
namespace {

using complex::Complex;

// (m.re*y.re - m.im*y.im, m.re*y.im + m.im*y.re) in each complex lane.
inline __m256d cmul(__m256d mre, __m256d mim, __m256d y) {
    const __m256d swapped = _mm256_permute_pd(y, 0b0101);
    return _mm256_addsub_pd(_mm256_mul_pd(mre, y), _mm256_mul_pd(mim, swapped));
}

inline __m256d load2(const Complex* lo, const Complex* hi) {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(&lo->re)),
                                _mm_loadu_pd(&hi->re), 1);
}

inline void store2(Complex* lo, Complex* hi, __m256d v) {
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

void broadcast(const Complex* m, int count, __m256d* mre, __m256d* mim) {
    for (int e = 0; e < count; ++e)
        mre[e] = _mm256_set1_pd(m[e].re), mim[e] = _mm256_set1_pd(m[e].im);
}

// The scalar definitions, for the updates at the ends of a range.
inline Complex row2(const Complex* m, Complex y0, Complex y1) {
    return m[0] * y0 + m[1] * y1;
}

inline Complex row4(const Complex* m, const Complex (&y)[4]) {
    return m[0] * y[0] + m[1] * y[1] + m[2] * y[2] + m[3] * y[3];
}

inline void pair_scalar(Complex* p, uint64_t h, const Complex* m) {
    const Complex a0 = p[0], a1 = p[h];
    p[0] = row2(m, a0, a1);
    p[h] = row2(m + 2, a0, a1);
}

// Walks the updates k0 .. k1 - 1 whose first amplitudes lie in runs of
// 2^bits neighbours (offset(k) gives that amplitude; the update's slots lie
// at the offsets `slots` from it): two(p) takes the two updates at p and
// p + 1, one(p) an odd one left at the end of a run. Over a state in memory
// (streaming), runs whose slots lie near each other ask ahead.
template <class Offset, class Two, class One>
inline void along_runs(Complex* x, uint64_t bits, uint64_t k0, uint64_t k1, const Offset& offset,
                       std::span<const uint64_t> slots, bool streaming, const Two& two,
                       const One& one) {
    const bool near = streaming && near_slots(sizeof(Complex) << bits);
    for (uint64_t k = k0; k < k1;) {
        const uint64_t end = std::min(k1, (k | ((uint64_t{1} << bits) - 1)) + 1);
        Complex* p = x + offset(k);
        Complex* const stop = p + (end - k);
        if (near)
            for (uint64_t s : slots)
                ask_second_level(reinterpret_cast<const char*>(p + s) + NEAR_AHEAD,
                                 (end - k) * sizeof(Complex));
        for (; p + 1 < stop; p += 2) two(p);
        if (p < stop) one(p);
        k = end;
    }
}

}  // namespace

void pairs(Complex* x, uint64_t t, uint64_t k0, uint64_t k1, const Complex* m, bool streaming) {
    __m256d mr[4], mi[4];
    broadcast(m, 4, mr, mi);
    // b0 and b1 from two registers of first and second amplitudes, lane by lane.
    auto update = [&](__m256d a0, __m256d a1, __m256d& b0, __m256d& b1) {
        b0 = _mm256_add_pd(cmul(mr[0], mi[0], a0), cmul(mr[1], mi[1], a1));
        b1 = _mm256_add_pd(cmul(mr[2], mi[2], a0), cmul(mr[3], mi[3], a1));
    };
    const uint64_t h = uint64_t{1} << t;
    if (t == 0) {
        // Pairs k and k + 1 are x0, x1, x2, x3: half-register loads line up
        // (x0, x2) against (x1, x3), and half-register stores put them back,
        // with no shuffle across halves (the port those take is the one the
        // products need).
        auto two = [&](uint64_t k) {
            Complex* p = x + 2 * k;
            __m256d b0, b1;
            update(load2(p, p + 2), load2(p + 1, p + 3), b0, b1);
            store2(p, p + 2, b0);
            store2(p + 1, p + 3, b1);
        };
        // The two halves of the range side by side: two streams through
        // memory keep more lines in flight than one.
        const uint64_t half = ((k1 - k0) / 2) & ~uint64_t{1};
        for (uint64_t k = k0; k < k0 + half; k += 2) two(k), two(k + half);
        uint64_t k = k0 + 2 * half;
        for (; k + 1 < k1; k += 2) two(k);
        if (k < k1) pair_scalar(x + 2 * k, 1, m);
        return;
    }
    // With t >= 1 the pairs of one chunk are runs of neighbours: two of them per register.
    const uint64_t slots[] = {0, h};
    along_runs(
        x, t, k0, k1, [t](uint64_t k) { return pair_offset(k, t); }, slots, streaming,
        [&](Complex* p) {
            __m256d b0, b1;
            update(_mm256_loadu_pd(&p->re), _mm256_loadu_pd(&p[h].re), b0, b1);
            _mm256_storeu_pd(&p->re, b0);
            _mm256_storeu_pd(&p[h].re, b1);
        },
        [&](Complex* p) { pair_scalar(p, h, m); });
}

namespace {

// The update of one quadruple at p (low lane) and one at q (high lane); with
// Neighbours, q is p + 1 and each slot is one 256-bit load.
template <bool Neighbours>
inline void two_quads(Complex* p, Complex* q, const Slots& d, const __m256d* mre,
                      const __m256d* mim) {
    auto store = [&](uint64_t offset, __m256d v) {
        if (Neighbours)
            _mm256_storeu_pd(&p[offset].re, v);
        else
            store2(p + offset, q + offset, v);
    };
    __m256d y[4], out[4];
    for (int s = 0; s < 4; ++s)
        y[s] = Neighbours ? _mm256_loadu_pd(&p[d[s]].re) : load2(p + d[s], q + d[s]);
    for (int r = 0; r < 4; ++r) {
        const int e = 4 * r;
        out[r] = cmul(mre[e], mim[e], y[0]);
        out[r] = _mm256_add_pd(out[r], cmul(mre[e + 1], mim[e + 1], y[1]));
        out[r] = _mm256_add_pd(out[r], cmul(mre[e + 2], mim[e + 2], y[2]));
        out[r] = _mm256_add_pd(out[r], cmul(mre[e + 3], mim[e + 3], y[3]));
    }
    for (int r = 0; r < 4; ++r) store(d[r], out[r]);
}

inline void quad_scalar(Complex* p, const Slots& d, const Complex* m) {
    const Complex y[4] = {p[d[0]], p[d[1]], p[d[2]], p[d[3]]};
    for (int r = 0; r < 4; ++r) p[d[r]] = row4(m + 4 * r, y);
}

}  // namespace

void quads(Complex* x, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1, const Complex* m,
           bool streaming) {
    const uint64_t lo = std::min(a, b), hi = std::max(a, b);
    const Slots d(a, b);
    __m256d mre[16], mim[16];
    broadcast(m, 16, mre, mim);
    if (lo == 0) {
        uint64_t k = k0;
        for (; k + 1 < k1; k += 2)
            two_quads<false>(x + quad_offset(k, lo, hi), x + quad_offset(k + 1, lo, hi), d, mre,
                             mim);
        if (k < k1) quad_scalar(x + quad_offset(k, lo, hi), d, m);
        return;
    }
    // With both qubits above 0 the quadruples of a chunk are runs of 2^lo neighbours.
    along_runs(
        x, lo, k0, k1, [lo, hi](uint64_t k) { return quad_offset(k, lo, hi); }, d.v, streaming,
        [&](Complex* p) { two_quads<true>(p, p + 1, d, mre, mim); },
        [&](Complex* p) { quad_scalar(p, d, m); });
}

const PreparedKernels prepared = prepared_kernels<Avx2Lanes>;

}  // namespace tesvi_quantum::simulator::statevector::avx2

TESVI_AVX2_END
