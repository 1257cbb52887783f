#include "common/cpu.hpp"

#if defined(__x86_64__)
#include <cpuid.h>

#include <cstdint>
#endif

namespace tesvi::cpu {
namespace {

#if defined(__x86_64__)
uint64_t xcr0() {
    uint32_t lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (uint64_t{hi} << 32) | lo;
}

// CPUID leaf 1: OSXSAVE and AVX; XCR0: xmm and ymm state saved; leaf 7: AVX2,
// BMI1 and BMI2.
bool detect_avx2() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    if (!(c & (1u << 27)) || !(c & (1u << 28))) return false;
    if ((xcr0() & 0x6) != 0x6) return false;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return (b & (1u << 3)) && (b & (1u << 5)) && (b & (1u << 8));
}

// Leaf 7: AVX-512F, AVX-512DQ and AVX-512VL; XCR0: opmask, upper zmm halves
// and zmm16-31 saved.
bool detect_avx512() {
    unsigned a, b, c, d;
    if (!detect_avx2() || (xcr0() & 0xE0) != 0xE0) return false;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return (b & (1u << 16)) && (b & (1u << 17)) && (b & (1u << 31));
}
#else
bool detect_avx2() {
    return false;
}
bool detect_avx512() {
    return false;
}
#endif

}  // namespace

bool has_avx512() {
    static const bool available = detect_avx512();
    return available;
}

bool has_avx2() {
    static const bool available = detect_avx2();
    return available;
}

}  // namespace tesvi::cpu
