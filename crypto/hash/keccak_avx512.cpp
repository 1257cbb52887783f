#include <immintrin.h>

#include <cstdint>
#include <utility>

#include "common/target_avx512.hpp"
#include "crypto/hash/keccak_f1600.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/hash/keccak_x8.hpp"

// The AVX-512 kernels of the shared round: four states on ymm registers and
// eight on zmm registers. The four-way and eight-way entry points of
// keccak_avx2.cpp pick them once per process.
TESVI_AVX512_BEGIN

#include "crypto/hash/keccak_lanes_avx512.hpp"

namespace tesvi_crypto::hash {

void x4::permute_avx512(State& st) {
    permute_rows<FourStates>(st.s);
}

void x8::permute_avx512(State& st) {
    permute_rows<EightStates>(st.s);
}

}  // namespace tesvi_crypto::hash

TESVI_AVX512_END
