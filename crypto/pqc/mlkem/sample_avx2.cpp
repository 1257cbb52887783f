// Matrix and noise sampling four polynomials at a time on the four-way
// Keccak. Rejection sampling takes sixteen 12-bit candidates per step and
// packs the accepted ones together with a byte shuffle chosen by their mask;
// the candidates come from the public seed, so the mask may index a table.
#include <immintrin.h>

#include <algorithm>
#include <array>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/pqc/mlkem/avx2.hpp"
#include "crypto/pqc/mlkem/sample.hpp"

namespace tesvi_crypto::pqc::mlkem::avx2 {
namespace {

namespace x4 = hash::x4;

// For each 8-bit acceptance mask, the byte shuffle that moves the accepted
// 16-bit lanes, in order, to the front.
constexpr auto PACK_ACCEPTED = [] {
    std::array<std::array<uint8_t, 16>, 256> t{};
    for (unsigned m = 0; m < 256; ++m) {
        t[m].fill(0x80);  // zero the unused tail
        unsigned n = 0;
        for (unsigned i = 0; i < 8; ++i) {
            if ((m >> i) & 1) {
                t[m][2 * n] = static_cast<uint8_t>(2 * i);
                t[m][2 * n + 1] = static_cast<uint8_t>(2 * i + 1);
                ++n;
            }
        }
    }
    return t;
}();

constexpr size_t MATRIX_BUFBYTES = GEN_MATRIX_NBLOCKS * XOF_BLOCKBYTES;

}  // namespace

TESVI_AVX2_BEGIN

namespace {

// Stores the accepted lanes of v (bits of mask) at r; returns how many.
size_t pack_accepted(int16_t* r, __m128i v, unsigned mask) {
    const __m128i shuf = _mm_loadu_si128(reinterpret_cast<const __m128i*>(PACK_ACCEPTED[mask].data()));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(r), _mm_shuffle_epi8(v, shuf));
    return static_cast<size_t>(__builtin_popcount(mask));
}

}  // namespace

size_t rej_uniform(int16_t* r, size_t len, const uint8_t* buf, size_t buflen) {
    // Candidate 2k is bytes 3k, 3k+1 masked, candidate 2k+1 bytes 3k+1, 3k+2
    // shifted; the upper half works on bytes 12-23, loaded from byte 8 on.
    const __m256i expand = _mm256_setr_epi8(0, 1, 1, 2, 3, 4, 4, 5, 6, 7, 7, 8, 9, 10, 10, 11, 4, 5,
                                            5, 6, 7, 8, 8, 9, 10, 11, 11, 12, 13, 14, 14, 15);
    const __m256i mask12 = _mm256_set1_epi16(0xFFF), q = _mm256_set1_epi16(Q);
    size_t ctr = 0, pos = 0;
    for (; ctr + 16 <= len && pos + 24 <= buflen; pos += 24) {
        const __m256i raw = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(buf + pos + 8),
                                                reinterpret_cast<const __m128i*>(buf + pos));
        __m256i v = _mm256_shuffle_epi8(raw, expand);
        v = _mm256_and_si256(_mm256_blend_epi16(v, _mm256_srli_epi16(v, 4), 0xAA), mask12);
        const auto bytes = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi16(q, v)));
        const unsigned accepted = _pext_u32(bytes, 0x55555555);
        ctr += pack_accepted(r + ctr, _mm256_castsi256_si128(v), accepted & 0xFF);
        ctr += pack_accepted(r + ctr, _mm256_extracti128_si256(v, 1), accepted >> 8);
    }
    return ctr + mlkem::rej_uniform(r + ctr, len - ctr, buf + pos, buflen - pos);
}

template <unsigned K>
void gen_matrix(Matrix<K>& a, const uint8_t seed[SYMBYTES], bool transposed) {
    constexpr unsigned entries = K * K;
    alignas(32) uint8_t buf[4][MATRIX_BUFBYTES];
    uint8_t in[4][SYMBYTES + 2];
    Poly spare;  // the lanes past the last entry sample into it
    for (unsigned first = 0; first < entries; first += 4) {
        int16_t* out[4];
        for (unsigned l = 0; l < 4; ++l) {
            const unsigned e = std::min(first + l, entries - 1);
            const auto i = static_cast<uint8_t>(e / K), j = static_cast<uint8_t>(e % K);
            std::copy_n(seed, SYMBYTES, in[l]);
            in[l][SYMBYTES] = transposed ? i : j;
            in[l][SYMBYTES + 1] = transposed ? j : i;
            out[l] = first + l < entries ? a[i].vec[j].coeffs.data() : spare.coeffs.data();
        }
        x4::State st;
        x4::shake128_absorb_once(st, in[0], in[1], in[2], in[3], SYMBYTES + 2);
        x4::shake128_squeezeblocks(buf[0], buf[1], buf[2], buf[3], GEN_MATRIX_NBLOCKS, st);
        size_t ctr[4];
        for (unsigned l = 0; l < 4; ++l) ctr[l] = rej_uniform(out[l], N, buf[l], MATRIX_BUFBYTES);
        while (std::min({ctr[0], ctr[1], ctr[2], ctr[3]}) < N) {
            x4::shake128_squeezeblocks(buf[0], buf[1], buf[2], buf[3], 1, st);
            for (unsigned l = 0; l < 4; ++l) {
                ctr[l] += rej_uniform(out[l] + ctr[l], N - ctr[l], buf[l], XOF_BLOCKBYTES);
            }
        }
    }
}

template void gen_matrix<2>(Matrix<2>&, const uint8_t*, bool);
template void gen_matrix<3>(Matrix<3>&, const uint8_t*, bool);
template void gen_matrix<4>(Matrix<4>&, const uint8_t*, bool);

template <unsigned ETA>
void poly_getnoise(std::span<Poly* const> r, const uint8_t seed[SYMBYTES], uint8_t nonce) {
    constexpr size_t bytes = ETA * N / 4;
    alignas(32) uint8_t buf[4][bytes];
    uint8_t in[4][SYMBYTES + 1];
    for (size_t first = 0; first < r.size(); first += 4) {
        for (unsigned l = 0; l < 4; ++l) {
            std::copy_n(seed, SYMBYTES, in[l]);
            in[l][SYMBYTES] = static_cast<uint8_t>(nonce + first + l);
        }
        x4::shake256(buf[0], buf[1], buf[2], buf[3], bytes, in[0], in[1], in[2], in[3],
                     SYMBYTES + 1);
        for (size_t l = 0; l < 4 && first + l < r.size(); ++l) cbd<ETA>(r[first + l]->coeffs, buf[l]);
    }
}

template void poly_getnoise<2>(std::span<Poly* const>, const uint8_t*, uint8_t);
template void poly_getnoise<3>(std::span<Poly* const>, const uint8_t*, uint8_t);

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::mlkem::avx2
