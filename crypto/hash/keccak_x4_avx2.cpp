#include <immintrin.h>

#include <cstring>
#include <utility>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_x4.hpp"

namespace tesvi_crypto::hash::x4 {
namespace {

constexpr uint64_t ROUND_CONSTANTS[24] = {
    0x0000000000000001, 0x0000000000008082, 0x800000000000808A, 0x8000000080008000,
    0x000000000000808B, 0x0000000080000001, 0x8000000080008081, 0x8000000000008009,
    0x000000000000008A, 0x0000000000000088, 0x0000000080008009, 0x000000008000000A,
    0x000000008000808B, 0x800000000000008B, 0x8000000000008089, 0x8000000000008003,
    0x8000000000008002, 0x8000000000000080, 0x000000000000800A, 0x800000008000000A,
    0x8000000080008081, 0x8000000000008080, 0x0000000080000001, 0x8000000080008008};

// Rotation of lane x + 5y in rho.
constexpr int RHO[25] = {0,  1,  62, 28, 27, 36, 44, 6,  55, 20, 3,  10, 43,
                         25, 39, 41, 45, 15, 21, 8,  18, 2,  61, 56, 14};

// pi moves lane (x, y) to (y, 2x + 3y).
constexpr size_t pi(size_t i) {
    return i / 5 + 5 * ((2 * (i % 5) + 3 * (i / 5)) % 5);
}

}  // namespace

TESVI_AVX2_BEGIN

namespace {

// f(0), ..., f(N-1) with each index a compile-time constant, so every lane
// index and rotation below is fixed and the lanes stay in registers.
template <size_t... I, class F>
inline void each(std::index_sequence<I...>, F&& f) {
    (f(std::integral_constant<size_t, I>{}), ...);
}

// Byte rotations are one shuffle instead of two shifts and an or.
template <int N>
inline __m256i rol(__m256i x) {
    if constexpr (N == 0) {
        return x;
    } else if constexpr (N == 8) {
        return _mm256_shuffle_epi8(
            x, _mm256_set_epi8(14, 13, 12, 11, 10, 9, 8, 15, 6, 5, 4, 3, 2, 1, 0, 7, 14, 13, 12, 11,
                               10, 9, 8, 15, 6, 5, 4, 3, 2, 1, 0, 7));
    } else if constexpr (N == 56) {
        return _mm256_shuffle_epi8(
            x, _mm256_set_epi8(8, 15, 14, 13, 12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1, 8, 15, 14, 13,
                               12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1));
    } else {
        return _mm256_or_si256(_mm256_slli_epi64(x, N), _mm256_srli_epi64(x, 64 - N));
    }
}

inline void round(__m256i a[25], uint64_t rc) {
    __m256i c[5], d[5], b[25];
    each(std::make_index_sequence<5>{}, [&](auto x) {
        c[x] =
            _mm256_xor_si256(_mm256_xor_si256(a[x], a[x + 5]),
                             _mm256_xor_si256(_mm256_xor_si256(a[x + 10], a[x + 15]), a[x + 20]));
    });
    each(std::make_index_sequence<5>{},
         [&](auto x) { d[x] = _mm256_xor_si256(c[(x + 4) % 5], rol<1>(c[(x + 1) % 5])); });
    each(std::make_index_sequence<25>{},
         [&](auto i) { b[pi(i)] = rol<RHO[i]>(_mm256_xor_si256(a[i], d[i % 5])); });
    each(std::make_index_sequence<25>{}, [&](auto i) {
        constexpr size_t row = i - i % 5;
        a[i] =
            _mm256_xor_si256(b[i], _mm256_andnot_si256(b[row + (i + 1) % 5], b[row + (i + 2) % 5]));
    });
    a[0] = _mm256_xor_si256(a[0], _mm256_set1_epi64x(static_cast<long long>(rc)));
}

inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline void xor_lanes(State& st, const uint8_t* const in[4], size_t lanes) {
    for (size_t i = 0; i < lanes; ++i) {
        for (size_t j = 0; j < 4; ++j) st.s[i][j] ^= load64(in[j] + 8 * i);
    }
}

void absorb_once(State& st, size_t rate, const uint8_t* const inputs[4], size_t inlen) {
    std::memset(&st, 0, sizeof st);
    const uint8_t* in[4] = {inputs[0], inputs[1], inputs[2], inputs[3]};
    for (; inlen >= rate; inlen -= rate) {
        xor_lanes(st, in, rate / 8);
        permute(st);
        for (auto& p : in) p += rate;
    }
    // The last partial block with SHAKE's padding, copied so no read passes
    // the end of an input.
    uint8_t last[4][200] = {};
    const uint8_t* padded[4];
    for (size_t j = 0; j < 4; ++j) {
        if (inlen) std::memcpy(last[j], in[j], inlen);
        last[j][inlen] = 0x1F;
        last[j][rate - 1] |= 0x80;
        padded[j] = last[j];
    }
    xor_lanes(st, padded, rate / 8);
}

void squeezeblocks(uint8_t* const outputs[4], size_t rate, size_t nblocks, State& st) {
    for (size_t n = 0; n < nblocks; ++n) {
        permute(st);
        for (size_t j = 0; j < 4; ++j) {
            uint8_t* out = outputs[j] + n * rate;
            for (size_t i = 0; i < rate / 8; ++i) std::memcpy(out + 8 * i, &st.s[i][j], 8);
        }
    }
}

}  // namespace

void permute(State& st) {
    __m256i a[25];
    for (size_t i = 0; i < 25; ++i)
        a[i] = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.s[i]));
    for (uint64_t rc : ROUND_CONSTANTS) round(a, rc);
    for (size_t i = 0; i < 25; ++i) _mm256_store_si256(reinterpret_cast<__m256i*>(st.s[i]), a[i]);
}

void shake128_absorb_once(State& st, const uint8_t* in0, const uint8_t* in1, const uint8_t* in2,
                          const uint8_t* in3, size_t inlen) {
    const uint8_t* in[4] = {in0, in1, in2, in3};
    absorb_once(st, SHAKE128_RATE, in, inlen);
}

void shake128_squeezeblocks(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3,
                            size_t nblocks, State& st) {
    uint8_t* out[4] = {out0, out1, out2, out3};
    squeezeblocks(out, SHAKE128_RATE, nblocks, st);
}

void shake256_absorb_once(State& st, const uint8_t* in0, const uint8_t* in1, const uint8_t* in2,
                          const uint8_t* in3, size_t inlen) {
    const uint8_t* in[4] = {in0, in1, in2, in3};
    absorb_once(st, SHAKE256_RATE, in, inlen);
}

void shake256_squeezeblocks(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3,
                            size_t nblocks, State& st) {
    uint8_t* out[4] = {out0, out1, out2, out3};
    squeezeblocks(out, SHAKE256_RATE, nblocks, st);
}

void shake256(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3, size_t outlen,
              const uint8_t* in0, const uint8_t* in1, const uint8_t* in2, const uint8_t* in3,
              size_t inlen) {
    State st;
    shake256_absorb_once(st, in0, in1, in2, in3, inlen);
    uint8_t* out[4] = {out0, out1, out2, out3};
    const size_t whole = outlen / SHAKE256_RATE;
    squeezeblocks(out, SHAKE256_RATE, whole, st);
    if (const size_t rest = outlen % SHAKE256_RATE) {
        permute(st);
        for (size_t j = 0; j < 4; ++j) {
            uint8_t* tail = out[j] + whole * SHAKE256_RATE;
            for (size_t k = 0; k < rest; ++k)
                tail[k] = static_cast<uint8_t>(st.s[k / 8][j] >> (8 * (k % 8)));
        }
    }
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::hash::x4
