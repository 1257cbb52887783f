// Matrix and noise sampling four polynomials at a time on the four-way
// Keccak. Rejection sampling takes sixteen 12-bit candidates per step and
// packs the accepted ones together with a byte shuffle chosen by their mask;
// the candidates come from the public seed, so the mask may index a table.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <tuple>
#include <utility>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/pqc/mlkem/avx2.hpp"
#include "crypto/pqc/mlkem/sample.hpp"
#include "crypto/pqc/mlkem/symmetric.hpp"

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
    const __m128i shuf =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(PACK_ACCEPTED[mask].data()));
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

// One entry on the one-lane sponge: the last of an odd count (the ninth of
// ML-KEM-768) costs three single permutations instead of three four-way ones.
void gen_entry(int16_t* out, const uint8_t seed[SYMBYTES], uint8_t x, uint8_t y) {
    alignas(32) uint8_t buf[MATRIX_BUFBYTES];
    hash::Sponge s = xof(seed, x, y);
    s.squeeze_blocks(buf, GEN_MATRIX_NBLOCKS);
    size_t ctr = rej_uniform(out, N, buf, MATRIX_BUFBYTES);
    while (ctr < N) {
        s.squeeze_blocks(buf, 1);
        ctr += rej_uniform(out + ctr, N - ctr, buf, XOF_BLOCKBYTES);
    }
}

template <unsigned K>
void gen_matrix(Matrix<K>& a, const uint8_t seed[SYMBYTES], bool transposed) {
    constexpr unsigned entries = K * K;
    // Entry e is row e / K, column e % K, from XOF(seed, j, i) or, transposed, XOF(seed, i, j).
    auto xy = [&](unsigned e) {
        const auto i = static_cast<uint8_t>(e / K), j = static_cast<uint8_t>(e % K);
        return transposed ? std::pair{i, j} : std::pair{j, i};
    };
    auto coeffs = [&](unsigned e) { return a[e / K].vec[e % K].coeffs.data(); };
    alignas(32) uint8_t buf[4][MATRIX_BUFBYTES];
    uint8_t in[4][SYMBYTES + 2];
    unsigned first = 0;
    for (; first + 4 <= entries; first += 4) {
        for (unsigned l = 0; l < 4; ++l) {
            std::copy_n(seed, SYMBYTES, in[l]);
            std::tie(in[l][SYMBYTES], in[l][SYMBYTES + 1]) = xy(first + l);
        }
        x4::State st;
        x4::shake128_absorb_once(st, in[0], in[1], in[2], in[3], SYMBYTES + 2);
        x4::shake128_squeezeblocks(buf[0], buf[1], buf[2], buf[3], GEN_MATRIX_NBLOCKS, st);
        size_t ctr[4];
        for (unsigned l = 0; l < 4; ++l)
            ctr[l] = rej_uniform(coeffs(first + l), N, buf[l], MATRIX_BUFBYTES);
        while (std::min({ctr[0], ctr[1], ctr[2], ctr[3]}) < N) {
            x4::shake128_squeezeblocks(buf[0], buf[1], buf[2], buf[3], 1, st);
            for (unsigned l = 0; l < 4; ++l) {
                ctr[l] +=
                    rej_uniform(coeffs(first + l) + ctr[l], N - ctr[l], buf[l], XOF_BLOCKBYTES);
            }
        }
    }
    static_assert(entries % 4 <= 1, "ranks 2, 3 and 4 leave at most one entry over");
    if (first < entries) {
        const auto [x, y] = xy(first);
        gen_entry(coeffs(first), seed, x, y);
    }
}

template void gen_matrix<2>(Matrix<2>&, const uint8_t*, bool);
template void gen_matrix<3>(Matrix<3>&, const uint8_t*, bool);
template void gen_matrix<4>(Matrix<4>&, const uint8_t*, bool);

// Whole SHAKE256 blocks straight from the state; a last single polynomial
// takes the one-lane sponge.
template <unsigned ETA>
void poly_getnoise(std::span<Poly* const> r, const uint8_t seed[SYMBYTES], uint8_t nonce) {
    constexpr size_t bytes = ETA * N / 4;
    constexpr size_t blocks = (bytes + x4::SHAKE256_RATE - 1) / x4::SHAKE256_RATE;
    alignas(32) uint8_t buf[4][blocks * x4::SHAKE256_RATE];
    uint8_t in[4][SYMBYTES + 1];
    size_t first = 0;
    for (; first + 1 < r.size(); first += 4) {
        for (unsigned l = 0; l < 4; ++l) {
            std::copy_n(seed, SYMBYTES, in[l]);
            in[l][SYMBYTES] = static_cast<uint8_t>(nonce + first + l);
        }
        x4::State st;
        x4::shake256_absorb_once(st, in[0], in[1], in[2], in[3], SYMBYTES + 1);
        x4::shake256_squeezeblocks(buf[0], buf[1], buf[2], buf[3], blocks, st);
        for (size_t l = 0; l < 4 && first + l < r.size(); ++l)
            cbd<ETA>(r[first + l]->coeffs, buf[l]);
    }
    if (first < r.size()) {
        prf({buf[0], bytes}, seed, static_cast<uint8_t>(nonce + first));
        cbd<ETA>(r[first]->coeffs, buf[0]);
    }
}

template void poly_getnoise<2>(std::span<Poly* const>, const uint8_t*, uint8_t);
template void poly_getnoise<3>(std::span<Poly* const>, const uint8_t*, uint8_t);

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::mlkem::avx2
