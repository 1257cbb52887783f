#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstdint>

#include "common/target_avx512.hpp"
#include "quantum/complex.hpp"
#include "quantum/simulator/statevector_kernels.hpp"

TESVI_AVX512_BEGIN

namespace tesvi_quantum::simulator::statevector {
namespace {

// Eight doubles per register for prepared_kernel.hpp.
struct Avx512Lanes {
    using V = __m512d;
    using Mask = __mmask8;
    using Index = __m512i;
    static constexpr int BITS = 3, WIDTH = 8;
    static V load(const double* p) { return _mm512_loadu_pd(p); }
    static void store(double* p, V v) { _mm512_storeu_pd(p, v); }
    static V set1(double v) { return _mm512_set1_pd(v); }
    static V add(V a, V b) { return _mm512_add_pd(a, b); }
    static V sub(V a, V b) { return _mm512_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm512_mul_pd(a, b); }
    // GCC 12 warns that the unmasked forms of andnot and permutexvar read an
    // undefined register; the all-lanes masked forms are the same instructions.
    static V and_(V a, V b) {
        return _mm512_castsi512_pd(
            _mm512_and_si512(_mm512_castpd_si512(a), _mm512_castpd_si512(b)));
    }
    static V andnot(V a, V b) {
        const __m512i x = _mm512_castpd_si512(a);
        return _mm512_castsi512_pd(_mm512_mask_andnot_epi64(x, 0xFF, x, _mm512_castpd_si512(b)));
    }
    static __mmask8 zero_lanes(V v) { return _mm512_fpclass_pd_mask(v, 0x06); }       // +-0
    static __mmask8 nonfinite_lanes(V v) { return _mm512_fpclass_pd_mask(v, 0x99); }  // NaN, +-inf
    // NaN, +-inf and +-0.
    static __mmask8 special_lanes(V v) { return _mm512_fpclass_pd_mask(v, 0x9F); }
    static bool none(__mmask8 mask) { return mask == 0; }
    static V select(__mmask8 mask, V a, V b) { return _mm512_mask_mov_pd(b, mask, a); }
    static V or_bits(V a, V b) {
        return _mm512_castsi512_pd(_mm512_or_si512(_mm512_castpd_si512(a), _mm512_castpd_si512(b)));
    }
    static bool all_bits_clear(V v) {
        const __m512i x = _mm512_castpd_si512(v);
        return _mm512_test_epi64_mask(x, x) == 0;
    }
    static bool any_sign(V v) { return _mm512_movepi64_mask(_mm512_castpd_si512(v)) != 0; }
    static V xor_(V a, V b) {
        return _mm512_castsi512_pd(
            _mm512_xor_si512(_mm512_castpd_si512(a), _mm512_castpd_si512(b)));
    }
    static bool differs(V a, V b) {
        return _mm512_cmpneq_epi64_mask(_mm512_castpd_si512(a), _mm512_castpd_si512(b)) != 0;
    }
    static Mask lanes(const bool (&on)[WIDTH]) {
        unsigned bits = 0;
        for (int l = 0; l < WIDTH; ++l) bits |= unsigned{on[l]} << l;
        return static_cast<Mask>(bits);
    }
    static Index index(const int (&from)[WIDTH]) {
        return _mm512_setr_epi64(from[0], from[1], from[2], from[3], from[4], from[5], from[6],
                                 from[7]);
    }
    static V move(V v, Index from) { return _mm512_mask_permutexvar_pd(v, 0xFF, from, v); }
    // Two registers of four interleaved amplitudes each, as a register of
    // eight real parts and one of eight imaginary parts, and back.
    static void unzip(V a, V b, V& re, V& im) {
        re = _mm512_permutex2var_pd(a, _mm512_setr_epi64(0, 2, 4, 6, 8, 10, 12, 14), b);
        im = _mm512_permutex2var_pd(a, _mm512_setr_epi64(1, 3, 5, 7, 9, 11, 13, 15), b);
    }
    static void zip(V re, V im, V& a, V& b) {
        a = _mm512_permutex2var_pd(re, _mm512_setr_epi64(0, 8, 1, 9, 2, 10, 3, 11), im);
        b = _mm512_permutex2var_pd(re, _mm512_setr_epi64(4, 12, 5, 13, 6, 14, 7, 15), im);
    }
};

}  // namespace
}  // namespace tesvi_quantum::simulator::statevector

#include "quantum/simulator/prepared_kernel.hpp"

namespace tesvi_quantum::simulator::statevector::avx512 {

const PreparedKernels prepared = prepared_kernels<Avx512Lanes>;

}  // namespace tesvi_quantum::simulator::statevector::avx512

TESVI_AVX512_END
