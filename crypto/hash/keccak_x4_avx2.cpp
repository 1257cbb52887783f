#include <cstring>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_x4.hpp"

namespace tesvi_crypto::hash::x4 {

TESVI_AVX2_BEGIN

namespace {

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
