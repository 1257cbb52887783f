// Loads and stores of sixteen coefficients, shared by the AVX2 files. They
// carry their own AVX2 target and internal linkage: each *_avx2.cpp gets its
// own copy, and no baseline caller can ever be linked to one.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace tesvi_crypto::pqc::mlkem::avx2 {

[[gnu::target("avx2")]] static inline __m256i load(const int16_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

[[gnu::target("avx2")]] static inline void store(int16_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

}  // namespace tesvi_crypto::pqc::mlkem::avx2
