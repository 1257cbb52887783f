// Rejection sampling eight candidates at a time: the candidates are
// compared against their bound in one instruction, and the kept ones are
// moved to the front by a permutation looked up from the 8-bit mask of
// compare results. Each keeps exactly what rej_uniform and rej_eta keep, in
// the same order, and stops in the same place.
#include <immintrin.h>

#include <array>

#include "common/target_avx2.hpp"
#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/mldsa/avx2.hpp"

namespace tesvi_crypto::pqc::mldsa65::avx2 {
namespace {

// For every mask, the indices of its set bits, lowest first, as bytes.
constexpr std::array<uint64_t, 256> make_compress() {
    std::array<uint64_t, 256> t{};
    for (unsigned m = 0; m < 256; ++m)
        for (unsigned bit = 0, n = 0; bit < 8; ++bit)
            if (m >> bit & 1) t[m] |= uint64_t{bit} << (8 * n++);
    return t;
}

constexpr std::array<uint64_t, 256> COMPRESS = make_compress();

}  // namespace

TESVI_AVX2_BEGIN

namespace {

// Stores the lanes of v selected by mask, in order, at out; returns how many.
inline size_t store_selected(int32_t* out, __m256i v, unsigned mask) {
    const __m256i idx =
        _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(COMPRESS[mask])));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permutevar8x32_epi32(v, idx));
    return static_cast<size_t>(__builtin_popcount(mask));
}

}  // namespace

size_t rej_uniform(int32_t* a, size_t len, const uint8_t* buf, size_t buflen) {
    // Bytes 0-11 of the 24 into the low half, 12-23 into the high half, three per lane.
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 4,
                                            5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    const __m256i low23 = _mm256_set1_epi32(0x7FFFFF);
    const __m256i q = _mm256_set1_epi32(Q);
    size_t ctr = 0, pos = 0;
    while (ctr + 8 <= len && pos + 32 <= buflen) {
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(buf + pos));
        d = _mm256_shuffle_epi8(_mm256_permute4x64_epi64(d, 0x94), spread);
        d = _mm256_and_si256(d, low23);
        const auto keep = static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(q, d))));
        ctr += store_selected(a + ctr, d, keep);
        pos += 24;
    }
    return ctr + mldsa65::rej_uniform(a + ctr, len - ctr, buf + pos, buflen - pos);
}

size_t rej_eta(int32_t* a, size_t len, const uint8_t* buf, size_t buflen) {
    const __m256i bound = _mm256_set1_epi32(2 * ETA + 1);
    const __m256i eta = _mm256_set1_epi32(ETA);
    const __m128i low4 = _mm_set1_epi8(0x0F);
    size_t ctr = 0, pos = 0;
    while (ctr + 16 <= len && pos + 8 <= buflen) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(buf + pos));
        // Nibbles in stream order: low, then high, of each byte.
        const __m128i nibbles = _mm_unpacklo_epi8(_mm_and_si128(bytes, low4),
                                                  _mm_and_si128(_mm_srli_epi16(bytes, 4), low4));
        for (__m128i half : {nibbles, _mm_unpackhi_epi64(nibbles, nibbles)}) {
            const __m256i t = _mm256_cvtepu8_epi32(half);
            auto keep = static_cast<unsigned>(
                _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(bound, t))));
            // As in rej_eta: which candidates are kept says nothing about the
            // kept values, so only that pattern is declassified.
            ct::declassify(keep);
            ctr += store_selected(a + ctr, _mm256_sub_epi32(eta, t), keep);
        }
        pos += 8;
    }
    return ctr + mldsa65::rej_eta(a + ctr, len - ctr, buf + pos, buflen - pos);
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::mldsa65::avx2
