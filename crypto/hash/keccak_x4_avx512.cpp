#include <immintrin.h>

#include <cstdint>
#include <utility>

#include "common/target_avx512.hpp"
#include "crypto/hash/keccak_f1600.hpp"
#include "crypto/hash/keccak_x4.hpp"

// The four-way kernel with AVX-512VL on ymm registers: 32 registers hold the
// whole state, one vprolq rotates, and one vpternlogq does chi's a ^ (~b & c).
TESVI_AVX512_BEGIN

#include "crypto/hash/keccak_round.hpp"

namespace tesvi_crypto::hash {
namespace {

struct FourStates : FourStateRows {
    static Lane chi(Lane a, Lane b, Lane c) { return _mm256_ternarylogic_epi64(a, b, c, 0xD2); }
    template <int N>
    static Lane rol(Lane x) {
        if constexpr (N == 0)
            return x;
        else
            return _mm256_rol_epi64(x, N);
    }
};

}  // namespace

void x4::permute_avx512(State& st) {
    permute_rows<FourStates>(st.s);
}

}  // namespace tesvi_crypto::hash

TESVI_AVX512_END
