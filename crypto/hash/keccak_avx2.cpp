#include <immintrin.h>

#include <cstdint>
#include <utility>

#include "common/cpu.hpp"
#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_f1600.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/hash/keccak_x8.hpp"

// The AVX2-machine kernels of the shared round (keccak_round.hpp): one state,
// four states, and eight as two halves of four. The four- and eight-way entry
// points pick these forms or the AVX-512 ones of keccak_avx512.cpp once per
// process.
TESVI_AVX2_BEGIN

#include "crypto/hash/keccak_lanes_avx2.hpp"

namespace tesvi_crypto::hash {

void keccak_f1600_avx2(uint64_t state[25]) {
    permute_rows<OneState>(state);
}

void x4::permute_avx2(State& st) {
    permute_rows<FourStates>(st.s);
}

void x4::permute(State& st) {
    static const auto kernel = tesvi::cpu::has_avx512() ? permute_avx512 : permute_avx2;
    kernel(st);
}

void x8::permute_avx2(State& st) {
    permute_rows<HalfOfEight<FourStates, 0>>(st.s);
    permute_rows<HalfOfEight<FourStates, 1>>(st.s);
}

void x8::permute(State& st) {
    static const auto kernel = tesvi::cpu::has_avx512() ? permute_avx512 : permute_avx2;
    kernel(st);
}

}  // namespace tesvi_crypto::hash

TESVI_AVX2_END
