// What the processor can run, read once per process from its own feature
// flags (CPUID, and XGETBV for the registers the operating system saves).
// Nothing in the environment steers it.
#pragma once

namespace tesvi::cpu {

// AVX2, BMI1 and BMI2, with the ymm state saved by the operating system.
// Always false off x86-64.
bool has_avx2();

// All of has_avx2(), with AVX-512F, AVX-512DQ and AVX-512VL and the opmask and
// zmm state saved by the operating system. Always false off x86-64.
bool has_avx512();

}  // namespace tesvi::cpu
