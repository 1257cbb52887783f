// Byte forms of polynomials in 16-bit lanes: compression, ByteEncode and
// ByteDecode at every width, and the message bits. The quotients by q are the
// portable multiply-and-shift (poly.cpp), done on four 64-bit products at once.
#include <immintrin.h>

#include <cstring>

#include "common/target_avx2.hpp"
#include "crypto/pqc/common/lanes_avx2.hpp"
#include "crypto/pqc/mlkem/avx2.hpp"

namespace tesvi_crypto::pqc::mlkem::avx2 {

using pqc::avx2::load;
using pqc::avx2::store;
namespace {

constexpr uint64_t DIV_Q_SHIFT = 36;
constexpr uint64_t DIV_Q_MUL = ((uint64_t{1} << DIV_Q_SHIFT) + Q - 1) / Q;

// The message bit of x in [0, q) is 1 for x in [833, 2496], where 2x / q rounds to 1.
constexpr int16_t MSG_LOW = (Q + 3) / 4;  // 833
constexpr int16_t MSG_HIGH = 3 * Q / 4;   // 2496

}  // namespace

TESVI_AVX2_BEGIN

namespace {

// caddq: (-q, q) to [0, q).
__m256i caddq(__m256i a) {
    return _mm256_add_epi16(a, _mm256_and_si256(_mm256_srai_epi16(a, 15), _mm256_set1_epi16(Q)));
}

// Eight 32-bit lanes to sixteen 16-bit ones, in order.
__m256i pack32(__m256i lo, __m256i hi) {
    return _mm256_permute4x64_epi64(_mm256_packus_epi32(lo, hi), 0xD8);
}

// compress<D> of eight values in [0, q) held in 32-bit lanes.
template <unsigned D>
__m256i compress8(__m256i x) {
    const __m256i t = _mm256_add_epi32(_mm256_slli_epi32(x, D), _mm256_set1_epi32(Q / 2));
    const __m256i m = _mm256_set1_epi64x(DIV_Q_MUL);
    const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(t, m), DIV_Q_SHIFT);
    const __m256i odd =
        _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(t, 32), m), DIV_Q_SHIFT);
    const __m256i both = _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
    return _mm256_and_si256(both, _mm256_set1_epi32((1 << D) - 1));
}

template <unsigned D>
__m256i compress16(__m256i a) {
    const __m256i x = caddq(a);
    const __m256i lo = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(x));
    const __m256i hi = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(x, 1));
    return pack32(compress8<D>(lo), compress8<D>(hi));
}

// ByteEncode_D of 256 values below 2^D, sixteen per vector: pairs, then
// quadruples, are merged in the lanes; the 4D-bit words are then appended to
// the output as a bit stream.
template <unsigned D>
void encode(uint8_t* out, const __m256i v[16]) {
    const __m256i pair_weights = _mm256_set1_epi32(1 | (1 << (16 + D)));
    const __m256i low = _mm256_set1_epi64x((int64_t{1} << (2 * D)) - 1);
    uint64_t acc = 0;
    unsigned bits = 0;
    for (unsigned i = 0; i < 16; ++i) {
        const __m256i pairs = _mm256_madd_epi16(v[i], pair_weights);
        const __m256i quads =
            _mm256_or_si256(_mm256_and_si256(pairs, low),
                            _mm256_andnot_si256(low, _mm256_srli_epi64(pairs, 32 - 2 * D)));
        alignas(32) uint64_t w[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(w), quads);
        for (uint64_t word : w) {
            acc |= word << bits;
            bits += 4 * D;
            if (bits >= 64) {
                std::memcpy(out, &acc, 8);
                out += 8;
                bits -= 64;
                acc = word >> (4 * D - bits);  // the bits that did not fit; none when bits is 0
            }
        }
    }
}

// ByteDecode_D: value j of each group of eight is the 32-bit window at byte
// jD/8 of the group's D bytes, shifted by jD mod 8. The input is copied so
// the sixteen-byte loads of the last groups stay inside a buffer.
template <unsigned D>
void decode(__m256i v[16], const uint8_t* in) {
    alignas(32) uint8_t buf[32 * D + 16] = {};
    std::memcpy(buf, in, 32 * D);
    alignas(32) int8_t idx[32];
    alignas(32) int32_t shift[8];
    for (unsigned j = 0; j < 8; ++j) {
        for (unsigned b = 0; b < 4; ++b) idx[4 * j + b] = static_cast<int8_t>(j * D / 8 + b);
        shift[j] = static_cast<int32_t>(j * D % 8);
    }
    const __m256i shuf = _mm256_load_si256(reinterpret_cast<const __m256i*>(idx));
    const __m256i sh = _mm256_load_si256(reinterpret_cast<const __m256i*>(shift));
    const __m256i mask = _mm256_set1_epi32((1 << D) - 1);
    for (unsigned i = 0; i < 16; ++i) {
        __m256i half[2];
        for (unsigned h = 0; h < 2; ++h) {
            const __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + (2 * i + h) * D));
            const __m256i w = _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(bytes), shuf);
            half[h] = _mm256_and_si256(_mm256_srlv_epi32(w, sh), mask);
        }
        v[i] = pack32(half[0], half[1]);
    }
}

}  // namespace

template <unsigned D>
void poly_compress(uint8_t* r, const Poly& a) {
    __m256i v[16];
    for (unsigned i = 0; i < 16; ++i) v[i] = compress16<D>(load(&a.coeffs[16 * i]));
    encode<D>(r, v);
}

// Decompress_D: round(q y / 2^D) = (y 2^(15-D) q + 2^14) >> 15, one mulhrs.
template <unsigned D>
void poly_decompress(Poly& r, const uint8_t* a) {
    __m256i v[16];
    decode<D>(v, a);
    const __m256i q = _mm256_set1_epi16(Q);
    for (unsigned i = 0; i < 16; ++i) {
        store(&r.coeffs[16 * i], _mm256_mulhrs_epi16(_mm256_slli_epi16(v[i], 15 - D), q));
    }
}

template void poly_compress<4>(uint8_t*, const Poly&);
template void poly_compress<5>(uint8_t*, const Poly&);
template void poly_compress<10>(uint8_t*, const Poly&);
template void poly_compress<11>(uint8_t*, const Poly&);
template void poly_decompress<4>(Poly&, const uint8_t*);
template void poly_decompress<5>(Poly&, const uint8_t*);
template void poly_decompress<10>(Poly&, const uint8_t*);
template void poly_decompress<11>(Poly&, const uint8_t*);

// Twelve bits a coefficient: each pair becomes three bytes of a 32-bit
// lane, and a shuffle packs the lanes' twelve bytes per half. The halves are
// stored sixteen bytes at a time, each store's last four bytes overwritten
// by the next; the very last half is copied exactly.
void poly_tobytes(uint8_t r[POLYBYTES], const Poly& a) {
    const __m256i pair_weights = _mm256_set1_epi32(1 | (1 << 28));
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0,
                                          1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    for (unsigned i = 0; i < 16; ++i) {
        const __m256i pairs = _mm256_madd_epi16(caddq(load(&a.coeffs[16 * i])), pair_weights);
        const __m256i bytes = _mm256_shuffle_epi8(pairs, pack);
        uint8_t* out = r + 24 * i;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
        if (i < 15) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12),
                             _mm256_extracti128_si256(bytes, 1));
        } else {
            alignas(16) uint8_t last[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(last), _mm256_extracti128_si256(bytes, 1));
            std::memcpy(out + 12, last, 12);
        }
    }
}

// The reverse: three bytes of each pair to a 32-bit lane, split into its two
// twelve-bit halves in place. The last 24 bytes are copied out first, so no
// load reads past the input.
void poly_frombytes(Poly& r, const uint8_t a[POLYBYTES]) {
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0,
                                            1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i low = _mm256_set1_epi32(0xFFF), high = _mm256_set1_epi32(0xFFF0000);
    alignas(16) uint8_t last[28] = {};
    std::memcpy(last, a + 24 * 15, 24);
    for (unsigned i = 0; i < 16; ++i) {
        const uint8_t* in = i < 15 ? a + 24 * i : last;
        const __m256i raw = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(in + 12),
                                                reinterpret_cast<const __m128i*>(in));
        const __m256i x = _mm256_shuffle_epi8(raw, spread);
        store(&r.coeffs[16 * i], _mm256_or_si256(_mm256_and_si256(x, low),
                                                 _mm256_and_si256(_mm256_slli_epi32(x, 4), high)));
    }
}

// Sixteen bits at a time, each broadcast to every lane and tested by its own.
void poly_frommsg(Poly& r, const uint8_t msg[SYMBYTES]) {
    const __m256i bit = _mm256_setr_epi16(1 << 0, 1 << 1, 1 << 2, 1 << 3, 1 << 4, 1 << 5, 1 << 6,
                                          1 << 7, 1 << 8, 1 << 9, 1 << 10, 1 << 11, 1 << 12,
                                          1 << 13, 1 << 14, static_cast<int16_t>(1 << 15));
    const __m256i half = _mm256_set1_epi16((Q + 1) / 2);
    for (unsigned i = 0; i < 16; ++i) {
        const auto w = static_cast<int16_t>(msg[2 * i] | (msg[2 * i + 1] << 8));
        const __m256i set = _mm256_cmpeq_epi16(_mm256_and_si256(_mm256_set1_epi16(w), bit), bit);
        store(&r.coeffs[16 * i], _mm256_and_si256(set, half));
    }
}

// A bit is 1 when both x - 833 and 2496 - x are non-negative: the sign bits
// of their OR, gathered by movemask, are the message bits inverted.
void poly_tomsg(uint8_t msg[SYMBYTES], const Poly& a) {
    const __m256i low = _mm256_set1_epi16(MSG_LOW), high = _mm256_set1_epi16(MSG_HIGH);
    for (unsigned i = 0; i < 8; ++i) {
        __m256i out[2];
        for (unsigned h = 0; h < 2; ++h) {
            const __m256i x = caddq(load(&a.coeffs[32 * i + 16 * h]));
            out[h] = _mm256_or_si256(_mm256_sub_epi16(x, low), _mm256_sub_epi16(high, x));
        }
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packs_epi16(out[0], out[1]), 0xD8);
        const auto bits = ~static_cast<uint32_t>(_mm256_movemask_epi8(bytes));
        std::memcpy(msg + 4 * i, &bits, 4);
    }
}

void poly_add(Poly& r, const Poly& a, const Poly& b) {
    for (unsigned i = 0; i < N; i += 16) {
        store(&r.coeffs[i], _mm256_add_epi16(load(&a.coeffs[i]), load(&b.coeffs[i])));
    }
}

void poly_sub(Poly& r, const Poly& a, const Poly& b) {
    for (unsigned i = 0; i < N; i += 16) {
        store(&r.coeffs[i], _mm256_sub_epi16(load(&a.coeffs[i]), load(&b.coeffs[i])));
    }
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::mlkem::avx2
