// Compiles the functions between TESVI_AVX512_BEGIN and TESVI_AVX512_END for
// AVX-512F, AVX-512DQ and AVX-512VL on top of AVX2, BMI1 and BMI2, and nothing
// else in the file; files named *_avx512.cpp open the region after their
// #includes, for the reason common/target_avx2.hpp gives.
#pragma once

// _Pragma takes a single string literal, which the formatter must not split.
// clang-format off
#if defined(__clang__)
#define TESVI_AVX512_BEGIN \
    _Pragma("clang attribute push(__attribute__((target(\"avx2,bmi,bmi2,avx512f,avx512dq,avx512vl\"))), apply_to = function)")
#define TESVI_AVX512_END _Pragma("clang attribute pop")
#else
#define TESVI_AVX512_BEGIN \
    _Pragma("GCC push_options") _Pragma("GCC target(\"avx2,bmi,bmi2,avx512f,avx512dq,avx512vl\")")
#define TESVI_AVX512_END _Pragma("GCC pop_options")
#endif
// clang-format on
