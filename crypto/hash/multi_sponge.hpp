// The SHAKE sponge steps over several states permuted together (x4::State,
// x8::State: s[i][j] is lane i of state j): W equal-length inputs absorbed at
// once and W outputs squeezed, state j serving input j.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tesvi_crypto::hash::multi {

template <class State>
inline constexpr size_t kWays = std::extent_v<decltype(State::s), 1>;

template <class State>
using Permute = void (*)(State&);

inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

template <class State>
void xor_byte(State& st, size_t j, size_t k, uint8_t b) {
    st.s[k / 8][j] ^= uint64_t{b} << (8 * (k % 8));
}

// Zero the state, absorb inlen bytes of each input and pad with the SHAKE
// domain byte.
template <class State>
void absorb_once(State& st, size_t rate, const uint8_t* const inputs[], size_t inlen,
                 Permute<State> permute) {
    constexpr size_t W = kWays<State>;
    std::memset(&st, 0, sizeof st);
    size_t at = 0;
    for (; inlen - at >= rate; at += rate) {
        for (size_t i = 0; i < rate / 8; ++i)
            for (size_t j = 0; j < W; ++j) st.s[i][j] ^= load64(inputs[j] + at + 8 * i);
        permute(st);
    }
    // The last partial block: its whole lanes, the bytes of a part lane (no
    // read passes the end of an input), then SHAKE's padding.
    const size_t rest = inlen - at;
    for (size_t i = 0; i < rest / 8; ++i)
        for (size_t j = 0; j < W; ++j) st.s[i][j] ^= load64(inputs[j] + at + 8 * i);
    for (size_t j = 0; j < W; ++j) {
        for (size_t k = rest & ~size_t{7}; k < rest; ++k) xor_byte(st, j, k, inputs[j][at + k]);
        xor_byte(st, j, rest, 0x1F);
        xor_byte(st, j, rate - 1, 0x80);
    }
}

// Permute, then hand out one rate-sized block of each state; nblocks times.
template <class State>
void squeezeblocks(uint8_t* const outputs[], size_t rate, size_t nblocks, State& st,
                   Permute<State> permute) {
    for (size_t n = 0; n < nblocks; ++n) {
        permute(st);
        for (size_t j = 0; j < kWays<State>; ++j) {
            uint8_t* out = outputs[j] + n * rate;
            for (size_t i = 0; i < rate / 8; ++i) std::memcpy(out + 8 * i, &st.s[i][j], 8);
        }
    }
}

// outlen bytes of SHAKE at `rate` of each input.
template <class State>
void shake(uint8_t* const out[], size_t outlen, const uint8_t* const in[], size_t inlen,
           size_t rate, Permute<State> permute) {
    State st;
    absorb_once(st, rate, in, inlen, permute);
    const size_t whole = outlen / rate;
    squeezeblocks(out, rate, whole, st, permute);
    if (const size_t rest = outlen % rate) {
        permute(st);
        for (size_t j = 0; j < kWays<State>; ++j) {
            uint8_t* tail = out[j] + whole * rate;
            for (size_t k = 0; k < rest; ++k)
                tail[k] = static_cast<uint8_t>(st.s[k / 8][j] >> (8 * (k % 8)));
        }
    }
}

}  // namespace tesvi_crypto::hash::multi
