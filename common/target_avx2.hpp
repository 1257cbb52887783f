// Compiles the functions between TESVI_AVX2_BEGIN and TESVI_AVX2_END for AVX2,
// BMI1 and BMI2, and nothing else in the file. Files named *_avx2.cpp open the
// region after their #includes: inline functions and templates defined in
// headers keep the baseline instruction set, so no copy of them built for
// AVX2 can be picked by the linker for a caller on an older processor.
#pragma once

// _Pragma takes a single string literal, which the formatter must not split.
// clang-format off
#if defined(__clang__)
#define TESVI_AVX2_BEGIN \
    _Pragma("clang attribute push(__attribute__((target(\"avx2,bmi,bmi2\"))), apply_to = function)")
#define TESVI_AVX2_END _Pragma("clang attribute pop")
#else
#define TESVI_AVX2_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"avx2,bmi,bmi2\")")
#define TESVI_AVX2_END _Pragma("GCC pop_options")
#endif
// clang-format on
