// ExpandA, ExpandS and ExpandMask four polynomials at a time: four SHAKE
// streams of seed || nonce run side by side in the shared 4-way Keccak, and
// each polynomial takes from its own stream exactly what poly_uniform,
// poly_uniform_eta and poly_uniform_gamma1 take from theirs.
#include <immintrin.h>

#include <algorithm>
#include <array>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/pqc/mldsa/avx2.hpp"
#include "crypto/pqc/mldsa/symmetric.hpp"

namespace tesvi_crypto::pqc::mldsa65::avx2 {

namespace x4 = hash::x4;

TESVI_AVX2_BEGIN

namespace {

template <size_t Rate>
struct Streams {
    x4::State state;

    Streams(std::span<const uint8_t> seed, const std::array<uint16_t, 4>& nonces) {
        uint8_t in[4][CRHBYTES + 2];
        for (size_t j = 0; j < 4; ++j) {
            std::copy(seed.begin(), seed.end(), in[j]);
            in[j][seed.size()] = static_cast<uint8_t>(nonces[j]);
            in[j][seed.size() + 1] = static_cast<uint8_t>(nonces[j] >> 8);
        }
        if constexpr (Rate == STREAM128_BLOCKBYTES)
            x4::shake128_absorb_once(state, in[0], in[1], in[2], in[3], seed.size() + 2);
        else
            x4::shake256_absorb_once(state, in[0], in[1], in[2], in[3], seed.size() + 2);
    }

    void squeeze(uint8_t (&buf)[4][Rate * 5], size_t blocks) {
        if constexpr (Rate == STREAM128_BLOCKBYTES)
            x4::shake128_squeezeblocks(buf[0], buf[1], buf[2], buf[3], blocks, state);
        else
            x4::shake256_squeezeblocks(buf[0], buf[1], buf[2], buf[3], blocks, state);
    }
};

// Fills out[j] by rejection from stream j: `first` blocks, then one block at
// a time until all four are full.
template <size_t Rate, class Reject>
void sample4(const std::array<Poly*, 4>& out, std::span<const uint8_t> seed,
             const std::array<uint16_t, 4>& nonces, size_t first, Reject reject) {
    Streams<Rate> streams(seed, nonces);
    uint8_t buf[4][Rate * 5];
    streams.squeeze(buf, first);
    size_t ctr[4];
    for (size_t j = 0; j < 4; ++j) ctr[j] = reject(out[j]->coeffs, N, buf[j], first * Rate);
    while (std::any_of(ctr, ctr + 4, [](size_t c) { return c < N; })) {
        streams.squeeze(buf, 1);
        for (size_t j = 0; j < 4; ++j)
            ctr[j] += reject(out[j]->coeffs + ctr[j], N - ctr[j], buf[j], Rate);
    }
}

// Runs fill over `count` polynomials four at a time, with a scratch polynomial
// standing in for the missing ones of the last group.
template <class Fill>
void in_fours(size_t count, Fill fill) {
    Poly scratch;
    for (size_t i = 0; i < count; i += 4) {
        std::array<size_t, 4> index;
        for (size_t j = 0; j < 4; ++j) index[j] = std::min(i + j, count);
        fill(index, scratch);
    }
}

// polyz_unpack eight coefficients (20 bytes) at a time; reads up to 6 bytes
// past the packed polynomial, which the squeezed blocks always hold.
void unpack_mask(Poly& a, const uint8_t* buf) {
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 2, 3, 4, -1, 5, 6, 7, -1, 7, 8, 9, -1, 0,
                                            1, 2, -1, 2, 3, 4, -1, 5, 6, 7, -1, 7, 8, 9, -1);
    const __m256i shifts = _mm256_setr_epi32(0, 4, 0, 4, 0, 4, 0, 4);
    const __m256i low20 = _mm256_set1_epi32((1 << Z_BITS) - 1);
    const __m256i gamma1 = _mm256_set1_epi32(GAMMA1);
    for (size_t i = 0; i < N; i += 8, buf += 20) {
        const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf));
        const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + 10));
        __m256i v = _mm256_shuffle_epi8(_mm256_set_m128i(hi, lo), spread);
        v = _mm256_and_si256(_mm256_srlv_epi32(v, shifts), low20);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(a.coeffs + i), _mm256_sub_epi32(gamma1, v));
    }
}

}  // namespace

void matrix_expand(PolyMatrix& mat, std::span<const uint8_t, SEEDBYTES> rho) {
    constexpr size_t BLOCKS = (3 * N + STREAM128_BLOCKBYTES - 1) / STREAM128_BLOCKBYTES;
    in_fours(K * L, [&](const std::array<size_t, 4>& index, Poly& scratch) {
        std::array<Poly*, 4> out;
        std::array<uint16_t, 4> nonces;
        for (size_t j = 0; j < 4; ++j) {
            const size_t e = std::min(index[j], K * L - 1);
            out[j] = index[j] < K * L ? &mat[e / L].vec[e % L] : &scratch;
            nonces[j] = static_cast<uint16_t>(((e / L) << 8) + e % L);
        }
        sample4<STREAM128_BLOCKBYTES>(out, rho, nonces, BLOCKS, avx2::rej_uniform);
    });
}

void uniform_eta(PolyVecL& s1, PolyVecK& s2, std::span<const uint8_t, CRHBYTES> rhoprime) {
    in_fours(L + K, [&](const std::array<size_t, 4>& index, Poly& scratch) {
        std::array<Poly*, 4> out;
        std::array<uint16_t, 4> nonces;
        for (size_t j = 0; j < 4; ++j) {
            const size_t e = index[j];
            out[j] = e < L ? &s1.vec[e] : e < L + K ? &s2.vec[e - L] : &scratch;
            nonces[j] = static_cast<uint16_t>(std::min(e, L + K - 1));
        }
        sample4<STREAM256_BLOCKBYTES>(out, rhoprime, nonces, 2, avx2::rej_eta);
    });
}

void uniform_gamma1(PolyVecL& y, std::span<const uint8_t, CRHBYTES> rhoprime, uint16_t nonce) {
    constexpr size_t BLOCKS = (POLYZ_PACKEDBYTES + STREAM256_BLOCKBYTES - 1) / STREAM256_BLOCKBYTES;
    std::array<uint16_t, 4> nonces;
    for (size_t j = 0; j < 4; ++j) nonces[j] = static_cast<uint16_t>(L * nonce + j);
    Streams<STREAM256_BLOCKBYTES> streams(rhoprime, nonces);
    uint8_t buf[4][STREAM256_BLOCKBYTES * 5];
    streams.squeeze(buf, BLOCKS);
    static_assert(BLOCKS * STREAM256_BLOCKBYTES >= POLYZ_PACKEDBYTES + 6);
    for (size_t j = 0; j < 4; ++j) unpack_mask(y.vec[j], buf[j]);
    poly_uniform_gamma1(y.vec[4], rhoprime, static_cast<uint16_t>(L * nonce + 4));
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::mldsa65::avx2
