// Constant-time building blocks shared by the post-quantum schemes.
//
// Masks: a mask is all ones or all zeros, chosen by a secret, and combined
// with & and | instead of a branch. An optimiser that can see a mask has only
// two values is free to turn it back into a compare and jump (clang does), so
// every mask here passes through value_barrier, which hides its origin.
//
// Declassification: the constant-time checks (bench/ct_*, built with
// TESVI_CT_CHECK) run under valgrind with the secrets marked undefined, so any
// branch or memory index that depends on them is reported. A secret-derived
// value that is public by design is declassified, with the reason why it is
// public written next to the call. In normal builds that does nothing.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef TESVI_CT_CHECK
#include <valgrind/memcheck.h>
#endif

namespace tesvi_crypto::pqc::ct {

// x itself, but the optimiser no longer knows anything about its value.
template <class T>
inline T value_barrier(T x) {
#if defined(__GNUC__) || defined(__clang__)
    __asm__("" : "+r"(x));
#endif
    return x;
}

// All ones when bit is 1, zero when it is 0.
inline uint32_t mask_from_bit(uint32_t bit) {
    return 0u - value_barrier(bit);
}

// 1 when x != 0, else 0.
inline uint32_t nonzero_bit(uint32_t x) {
    return (x | (0u - x)) >> 31;
}

// All ones when a == b, else zero.
inline uint32_t eq_mask(uint32_t a, uint32_t b) {
    return mask_from_bit(nonzero_bit(a ^ b) ^ 1);
}

// All ones when x < 0, else zero.
inline int32_t sign_mask(int32_t x) {
    return value_barrier(x >> 31);
}

// a where mask is all ones, b where it is zero.
template <class T>
inline T select(T a, T b, T mask) {
    return static_cast<T>(b ^ (mask & (a ^ b)));
}

// r = x when b is 1, r unchanged when b is 0.
inline void cmov(uint8_t* r, const uint8_t* x, size_t len, uint8_t b) {
    const auto mask = static_cast<uint8_t>(mask_from_bit(b));
    for (size_t i = 0; i < len; ++i) r[i] = select(x[i], r[i], mask);
}

inline void declassify([[maybe_unused]] const void* p, [[maybe_unused]] size_t bytes) {
#ifdef TESVI_CT_CHECK
    VALGRIND_MAKE_MEM_DEFINED(p, bytes);
#endif
}

template <class T>
inline void declassify(const T& value) {
    declassify(&value, sizeof(T));
}

// The value itself, declassified: for decisions that are branched on.
template <class T>
inline T declassified(T value) {
    declassify(value);
    return value;
}

}  // namespace tesvi_crypto::pqc::ct
