// The lane types of the shared round (keccak_round.hpp) on an AVX2 machine:
// one state in 64-bit registers (rorx, andn) and four states in the 64-bit
// slots of ymm registers. Include it inside an AVX2 target region, for the
// reason keccak_round.hpp gives.
#pragma once

#include "crypto/hash/keccak_round.hpp"

namespace tesvi_crypto::hash {
namespace {

struct OneState {
    using Lane = uint64_t;
    static Lane xor_(Lane a, Lane b) { return a ^ b; }
    static Lane chi(Lane a, Lane b, Lane c) { return a ^ (~b & c); }  // one andn
    static Lane broadcast(uint64_t v) { return v; }
    static Lane load(const uint64_t& row) { return row; }
    static void store(uint64_t& row, Lane x) { row = x; }
    template <int N>
    static Lane rol(Lane x) {
        if constexpr (N == 0)
            return x;
        else
            return (x << N) | (x >> (64 - N));  // one rorx
    }
};

struct FourStates : FourStateRows {
    static Lane chi(Lane a, Lane b, Lane c) { return xor_(a, _mm256_andnot_si256(b, c)); }
    // Byte rotations are one shuffle instead of two shifts and an or.
    template <int N>
    static Lane rol(Lane x) {
        if constexpr (N == 0) {
            return x;
        } else if constexpr (N == 8) {
            return _mm256_shuffle_epi8(
                x, _mm256_set_epi8(14, 13, 12, 11, 10, 9, 8, 15, 6, 5, 4, 3, 2, 1, 0, 7, 14, 13, 12,
                                   11, 10, 9, 8, 15, 6, 5, 4, 3, 2, 1, 0, 7));
        } else if constexpr (N == 56) {
            return _mm256_shuffle_epi8(
                x, _mm256_set_epi8(8, 15, 14, 13, 12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1, 8, 15, 14,
                                   13, 12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1));
        } else {
            return _mm256_or_si256(_mm256_slli_epi64(x, N), _mm256_srli_epi64(x, 64 - N));
        }
    }
};

}  // namespace
}  // namespace tesvi_crypto::hash
