// Four independent Keccak-f[1600] states permuted together, one state per
// 64-bit slot of each AVX2 register, and the SHAKE sponge steps over them for
// callers that hash four equal-length inputs at once. The functions are built
// for AVX2 (keccak_x4_avx2.cpp): call them only when tesvi::cpu::has_avx2().
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/hash/sponge.hpp"

namespace tesvi_crypto::hash::x4 {

inline constexpr size_t SHAKE128_RATE = 168;
inline constexpr size_t SHAKE256_RATE = 136;

// s[i][j] is lane i of state j: one aligned row is one AVX2 register.
struct State {
    alignas(32) uint64_t s[25][4];
};

void permute(State& st);

// The two forms permute runs, by name for tests and benchmarks that compare
// them: it takes the AVX-512 one where tesvi::cpu::has_avx512().
void permute_avx2(State& st);
void permute_avx512(State& st);  // only when tesvi::cpu::has_avx512()

// Zero the state, absorb inlen bytes of each input and pad with the SHAKE
// domain byte; the output blocks come from squeezeblocks.
void shake128_absorb_once(State& st, const uint8_t* in0, const uint8_t* in1, const uint8_t* in2,
                          const uint8_t* in3, size_t inlen);
// Permute, then hand out one rate-sized block of each state; nblocks times.
void shake128_squeezeblocks(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3,
                            size_t nblocks, State& st);
void shake256_absorb_once(State& st, const uint8_t* in0, const uint8_t* in1, const uint8_t* in2,
                          const uint8_t* in3, size_t inlen);
void shake256_squeezeblocks(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3,
                            size_t nblocks, State& st);
// outlen bytes of SHAKE256 of each of the four inputs.
void shake256(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3, size_t outlen,
              const uint8_t* in0, const uint8_t* in1, const uint8_t* in2, const uint8_t* in3,
              size_t inlen);

// The jobs on the four lanes, each giving what run(job) gives: every lane
// takes the next job in order as soon as its own ends, so short jobs fill
// the lanes beside a long one and the permutations stay nearly full.
void run(std::span<const Job> jobs);

}  // namespace tesvi_crypto::hash::x4
