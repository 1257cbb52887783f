// The lane types of the shared round (keccak_round.hpp) with AVX-512: four
// states in ymm registers (AVX-512VL) and eight in zmm registers. All 32
// registers hold a whole state, one vprolq rotates, one vpternlogq does chi's
// a ^ (~b & c) or a three-way xor. Include it inside an AVX-512 target region,
// for the reason keccak_round.hpp gives.
#pragma once

#include "crypto/hash/keccak_round.hpp"

namespace tesvi_crypto::hash {
namespace {

struct FourStates : FourStateRows {
    static Lane xor3(Lane a, Lane b, Lane c) { return _mm256_ternarylogic_epi64(a, b, c, 0x96); }
    static Lane chi(Lane a, Lane b, Lane c) { return _mm256_ternarylogic_epi64(a, b, c, 0xD2); }
    template <int N>
    static Lane rol(Lane x) {
        if constexpr (N == 0)
            return x;
        else
            return _mm256_rol_epi64(x, N);
    }
};

struct EightStates {
    using Lane = __m512i;
    static Lane xor_(Lane a, Lane b) { return _mm512_xor_si512(a, b); }
    static Lane xor3(Lane a, Lane b, Lane c) { return _mm512_ternarylogic_epi64(a, b, c, 0x96); }
    static Lane chi(Lane a, Lane b, Lane c) { return _mm512_ternarylogic_epi64(a, b, c, 0xD2); }
    static Lane broadcast(uint64_t v) { return _mm512_set1_epi64(static_cast<long long>(v)); }
    // Eight aligned slots: one row of x8::State.
    static Lane load(const uint64_t* row) { return _mm512_load_si512(row); }
    static void store(uint64_t* row, Lane x) { _mm512_store_si512(row, x); }
    template <int N>
    static Lane rol(Lane x) {
        if constexpr (N == 0)
            return x;
        else  // the masked form with every slot set: GCC 12's plain one warns about its undefined
              // source
            return _mm512_mask_rol_epi64(x, 0xFF, x, N);
    }
};

}  // namespace
}  // namespace tesvi_crypto::hash
