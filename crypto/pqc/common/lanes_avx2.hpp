// Unaligned loads and stores of one ymm register of coefficients (sixteen
// 16-bit or eight 32-bit), shared by the schemes' AVX2 files. They carry their
// own AVX2 target and internal linkage: each *_avx2.cpp gets its own copy, and
// no baseline caller can ever be linked to one.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace tesvi_crypto::pqc::avx2 {

template <class Coefficient>
[[gnu::target("avx2")]] static inline __m256i load(const Coefficient* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

template <class Coefficient>
[[gnu::target("avx2")]] static inline void store(Coefficient* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

}  // namespace tesvi_crypto::pqc::avx2
