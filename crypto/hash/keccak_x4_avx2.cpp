#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/hash/multi_sponge.hpp"

namespace tesvi_crypto::hash::x4 {

TESVI_AVX2_BEGIN

void shake128_absorb_once(State& st, const uint8_t* in0, const uint8_t* in1, const uint8_t* in2,
                          const uint8_t* in3, size_t inlen) {
    const uint8_t* in[4] = {in0, in1, in2, in3};
    multi::absorb_once(st, SHAKE128_RATE, in, inlen, permute);
}

void shake128_squeezeblocks(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3,
                            size_t nblocks, State& st) {
    uint8_t* out[4] = {out0, out1, out2, out3};
    multi::squeezeblocks(out, SHAKE128_RATE, nblocks, st, permute);
}

void shake256_absorb_once(State& st, const uint8_t* in0, const uint8_t* in1, const uint8_t* in2,
                          const uint8_t* in3, size_t inlen) {
    const uint8_t* in[4] = {in0, in1, in2, in3};
    multi::absorb_once(st, SHAKE256_RATE, in, inlen, permute);
}

void shake256_squeezeblocks(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3,
                            size_t nblocks, State& st) {
    uint8_t* out[4] = {out0, out1, out2, out3};
    multi::squeezeblocks(out, SHAKE256_RATE, nblocks, st, permute);
}

void shake256(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3, size_t outlen,
              const uint8_t* in0, const uint8_t* in1, const uint8_t* in2, const uint8_t* in3,
              size_t inlen) {
    uint8_t* out[4] = {out0, out1, out2, out3};
    const uint8_t* in[4] = {in0, in1, in2, in3};
    multi::shake(out, outlen, in, inlen, SHAKE256_RATE, permute);
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::hash::x4
