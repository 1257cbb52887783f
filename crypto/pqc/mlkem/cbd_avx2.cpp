// Centred binomial sampling in byte and 32-bit lanes: the bits of each half
// are summed in place by masked shifts, a - b + eta is formed without borrows
// between fields, and the fields are spread to 16-bit lanes in order.
#include <immintrin.h>

#include "common/target_avx2.hpp"
#include "crypto/pqc/common/lanes_avx2.hpp"
#include "crypto/pqc/mlkem/avx2.hpp"

namespace tesvi_crypto::pqc::mlkem::avx2 {

using pqc::avx2::load;
using pqc::avx2::store;

TESVI_AVX2_BEGIN

namespace {

// Eta 2: each byte holds two coefficients of four bits, a in the low two.
void cbd2(int16_t* r, const uint8_t* buf) {
    const __m256i m55 = _mm256_set1_epi8(0x55), m33 = _mm256_set1_epi8(0x33);
    const __m256i m0f = _mm256_set1_epi8(0x0F), three = _mm256_set1_epi8(3);
    for (unsigned i = 0; i < 4; ++i) {
        __m256i f0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(buf + 32 * i));
        __m256i f1 = _mm256_and_si256(_mm256_srli_epi16(f0, 1), m55);
        f0 = _mm256_add_epi8(_mm256_and_si256(f0, m55), f1);   // two-bit sums
        f1 = _mm256_and_si256(_mm256_srli_epi16(f0, 2), m33);  // b of each nibble
        f0 = _mm256_and_si256(f0, m33);                        // a of each nibble
        f0 = _mm256_sub_epi8(_mm256_add_epi8(f0, m33), f1);    // a - b + 2 + 1 per nibble
        f1 = _mm256_sub_epi8(_mm256_and_si256(_mm256_srli_epi16(f0, 4), m0f), three);
        f0 = _mm256_sub_epi8(_mm256_and_si256(f0, m0f), three);
        // f0 byte j is coefficient 2j, f1 byte j coefficient 2j + 1.
        const __m256i lo = _mm256_unpacklo_epi8(f0, f1);  // 0-15 | 32-47
        const __m256i hi = _mm256_unpackhi_epi8(f0, f1);  // 16-31 | 48-63
        int16_t* out = r + 64 * i;
        store(out, _mm256_cvtepi8_epi16(_mm256_castsi256_si128(lo)));
        store(out + 16, _mm256_cvtepi8_epi16(_mm256_castsi256_si128(hi)));
        store(out + 32, _mm256_cvtepi8_epi16(_mm256_extracti128_si256(lo, 1)));
        store(out + 48, _mm256_cvtepi8_epi16(_mm256_extracti128_si256(hi, 1)));
    }
}

// Eta 3: every three bytes hold four coefficients of six bits, a in the low
// three; each 32-bit lane takes one such group.
void cbd3(int16_t* r, const uint8_t* buf) {
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 4,
                                            5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    const __m256i m249 = _mm256_set1_epi32(0x249249), m1c7 = _mm256_set1_epi32(0x1C71C7);
    const __m256i three_each = _mm256_set1_epi32(0xC30C3), m7 = _mm256_set1_epi32(7);
    const __m256i m70000 = _mm256_set1_epi32(0x70000), three = _mm256_set1_epi16(3);
    for (unsigned i = 0; i < 8; ++i) {
        // Bytes 0-15 and 8-23 of the 24 in the two halves: groups 0-3 and 4-7.
        const __m256i raw = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(buf + 24 * i + 8),
                                                reinterpret_cast<const __m128i*>(buf + 24 * i));
        const __m256i v = _mm256_shuffle_epi8(raw, spread);
        __m256i s = _mm256_and_si256(v, m249);
        s = _mm256_add_epi32(s, _mm256_and_si256(_mm256_srli_epi32(v, 1), m249));
        s = _mm256_add_epi32(s, _mm256_and_si256(_mm256_srli_epi32(v, 2), m249));  // 3-bit sums
        const __m256i a = _mm256_and_si256(s, m1c7);
        const __m256i b = _mm256_and_si256(_mm256_srli_epi32(s, 3), m1c7);
        const __m256i d =
            _mm256_sub_epi32(_mm256_add_epi32(a, three_each), b);  // a - b + 3 per field
        // Fields 0 and 2 to the 16-bit halves of p, fields 1 and 3 to those of q.
        const __m256i p = _mm256_or_si256(_mm256_and_si256(d, m7),
                                          _mm256_and_si256(_mm256_slli_epi32(d, 4), m70000));
        const __m256i q = _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi32(d, 6), m7),
                                          _mm256_and_si256(_mm256_srli_epi32(d, 2), m70000));
        const __m256i lo = _mm256_unpacklo_epi16(p, q);  // groups 0, 1 | 4, 5
        const __m256i hi = _mm256_unpackhi_epi16(p, q);  // groups 2, 3 | 6, 7
        store(r + 32 * i, _mm256_sub_epi16(_mm256_permute2x128_si256(lo, hi, 0x20), three));
        store(r + 32 * i + 16, _mm256_sub_epi16(_mm256_permute2x128_si256(lo, hi, 0x31), three));
    }
}

}  // namespace

template <unsigned ETA>
void cbd(std::array<int16_t, N>& r, const uint8_t* buf) {
    if constexpr (ETA == 2) {
        cbd2(r.data(), buf);
    } else {
        static_assert(ETA == 3);
        cbd3(r.data(), buf);
    }
}

template void cbd<2>(std::array<int16_t, N>&, const uint8_t*);
template void cbd<3>(std::array<int16_t, N>&, const uint8_t*);

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::mlkem::avx2
