// Keccak-f[1600] on one 25-lane state. Where the processor has AVX2 (with
// BMI1 and BMI2) the unrolled register kernel of keccak_avx2.cpp runs,
// elsewhere Botan's; both give the same bits.
#pragma once

#include <cstdint>

namespace tesvi_crypto::hash {

void keccak_f1600(uint64_t state[25]);

// The two kernels by name, for tests and benchmarks that compare them.
void keccak_f1600_portable(uint64_t state[25]);
void keccak_f1600_avx2(uint64_t state[25]);  // only when tesvi::cpu::has_avx2()

// The step constants the unrolled kernels share.
namespace keccak {

inline constexpr uint64_t ROUND_CONSTANTS[24] = {
    0x0000000000000001, 0x0000000000008082, 0x800000000000808A, 0x8000000080008000,
    0x000000000000808B, 0x0000000080000001, 0x8000000080008081, 0x8000000000008009,
    0x000000000000008A, 0x0000000000000088, 0x0000000080008009, 0x000000008000000A,
    0x000000008000808B, 0x800000000000008B, 0x8000000000008089, 0x8000000000008003,
    0x8000000000008002, 0x8000000000000080, 0x000000000000800A, 0x800000008000000A,
    0x8000000080008081, 0x8000000000008080, 0x0000000080000001, 0x8000000080008008};

// Rotation of lane x + 5y in rho.
inline constexpr int RHO[25] = {0,  1,  62, 28, 27, 36, 44, 6,  55, 20, 3,  10, 43,
                                25, 39, 41, 45, 15, 21, 8,  18, 2,  61, 56, 14};

// pi moves lane (x, y) to (y, 2x + 3y).
consteval unsigned pi(unsigned i) {
    return i / 5 + 5 * ((2 * (i % 5) + 3 * (i / 5)) % 5);
}

}  // namespace keccak

}  // namespace tesvi_crypto::hash
