#include <immintrin.h>

#include <cstring>
#include <utility>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_f1600.hpp"
#include "crypto/hash/keccak_x4.hpp"

namespace tesvi_crypto::hash::x4 {

TESVI_AVX2_BEGIN

namespace {

// f(0), ..., f(N-1) with each index a compile-time constant, so every lane
// index and rotation below is fixed and the lanes stay in registers.
template <unsigned... I, class F>
inline void each(std::integer_sequence<unsigned, I...>, F&& f) {
    (f(std::integral_constant<unsigned, I>{}), ...);
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

// One round from a into e, a plane at a time: the five lanes of an output
// row are gathered (theta, rho, pi) and mixed (chi) at once, so few registers
// are live. c holds a's column parities on entry and e's on return.
inline void round(const __m256i a[25], __m256i e[25], __m256i c[5], uint64_t rc) {
    using keccak::RHO;
    __m256i d[5];
    each(std::make_integer_sequence<unsigned, 5>{},
         [&](auto x) { d[x] = _mm256_xor_si256(c[(x + 4) % 5], rol<1>(c[(x + 1) % 5])); });
    each(std::make_integer_sequence<unsigned, 5>{}, [&](auto y) {
        __m256i b[5];
        // Output lane (x, y) comes from lane (x + 3y, x) through pi.
        each(std::make_integer_sequence<unsigned, 5>{}, [&](auto x) {
            constexpr unsigned from = (x + 3 * y) % 5 + 5 * x;
            b[x] = rol<RHO[from]>(_mm256_xor_si256(a[from], d[from % 5]));
        });
        each(std::make_integer_sequence<unsigned, 5>{}, [&](auto x) {
            __m256i lane =
                _mm256_xor_si256(b[x], _mm256_andnot_si256(b[(x + 1) % 5], b[(x + 2) % 5]));
            if constexpr (y == 0 && x == 0)
                lane = _mm256_xor_si256(lane, _mm256_set1_epi64x(static_cast<long long>(rc)));
            e[5 * y + x] = lane;
            c[x] = y == 0 ? lane : _mm256_xor_si256(c[x], lane);
        });
    });
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

inline void xor_byte(State& st, size_t j, size_t k, uint8_t b) {
    st.s[k / 8][j] ^= uint64_t{b} << (8 * (k % 8));
}

void absorb_once(State& st, size_t rate, const uint8_t* const inputs[4], size_t inlen) {
    std::memset(&st, 0, sizeof st);
    const uint8_t* in[4] = {inputs[0], inputs[1], inputs[2], inputs[3]};
    for (; inlen >= rate; inlen -= rate) {
        xor_lanes(st, in, rate / 8);
        permute(st);
        for (auto& p : in) p += rate;
    }
    // The last partial block: its whole lanes, the bytes of a part lane (no
    // read passes the end of an input), then SHAKE's padding.
    xor_lanes(st, in, inlen / 8);
    for (size_t j = 0; j < 4; ++j) {
        for (size_t k = inlen & ~size_t{7}; k < inlen; ++k) xor_byte(st, j, k, in[j][k]);
        xor_byte(st, j, inlen, 0x1F);
        xor_byte(st, j, rate - 1, 0x80);
    }
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

// flatten: every helper above is inlined, whatever the compiler's size limits.
__attribute__((flatten)) void permute(State& st) {
    __m256i a[25], e[25], c[5];
    for (size_t i = 0; i < 25; ++i)
        a[i] = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.s[i]));
    for (size_t x = 0; x < 5; ++x)
        c[x] = _mm256_xor_si256(_mm256_xor_si256(_mm256_xor_si256(a[x], a[x + 5]),
                                                 _mm256_xor_si256(a[x + 10], a[x + 15])),
                                a[x + 20]);
    // Two rounds per step, so the copies between a and e are only renamings.
    for (size_t r = 0; r < 24; r += 2) {
        round(a, e, c, keccak::ROUND_CONSTANTS[r]);
        round(e, a, c, keccak::ROUND_CONSTANTS[r + 1]);
    }
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
