// Eight independent Keccak-f[1600] states permuted together: one state per
// 64-bit slot of each AVX-512 register, or two halves of four in AVX2
// registers where the processor lacks AVX-512. The functions are built for
// AVX2 (keccak_avx2.cpp, keccak_x8_avx2.cpp): call them only when
// tesvi::cpu::has_avx2().
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesvi_crypto::hash::x8 {

inline constexpr size_t SHAKE256_RATE = 136;

// s[i][j] is lane i of state j: one aligned row is one zmm register.
struct State {
    alignas(64) uint64_t s[25][8];
};

void permute(State& st);

// The two forms permute runs, by name for tests and benchmarks that compare
// them: it takes the AVX-512 one where tesvi::cpu::has_avx512().
void permute_avx2(State& st);
void permute_avx512(State& st);  // only when tesvi::cpu::has_avx512()

// outlen bytes of SHAKE256 of each of the eight inlen-byte inputs.
void shake256(uint8_t* const out[8], size_t outlen, const uint8_t* const in[8], size_t inlen);

}  // namespace tesvi_crypto::hash::x8
