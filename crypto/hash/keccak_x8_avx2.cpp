#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_x8.hpp"
#include "crypto/hash/multi_sponge.hpp"

namespace tesvi_crypto::hash::x8 {

TESVI_AVX2_BEGIN

void shake256(uint8_t* const out[8], size_t outlen, const uint8_t* const in[8], size_t inlen) {
    multi::shake(out, outlen, in, inlen, SHAKE256_RATE, permute);
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::hash::x8
