// The two builds of every post-quantum scheme: the portable one and the AVX2
// one. Both give identical bytes for identical inputs; the public entry points
// run the AVX2 build where the processor has AVX2 and BMI2 (tesvi::cpu), the
// portable one elsewhere. Tests and benchmarks name a build directly; asking
// for the AVX2 build on a processor without it runs the portable one, never an
// illegal instruction.
#pragma once

#include "common/cpu.hpp"

namespace tesvi_crypto::pqc {

enum class Build { Portable, Avx2 };

inline Build selected_build() {
    return tesvi::cpu::has_avx2() ? Build::Avx2 : Build::Portable;
}

// Whether a request for `build` runs the AVX2 code (always false off x86-64).
inline bool runs_avx2(Build build) {
    return build == Build::Avx2 && tesvi::cpu::has_avx2();
}

}  // namespace tesvi_crypto::pqc
