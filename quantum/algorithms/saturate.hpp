// Float-to-integer conversion that clamps instead of invoking undefined
// behaviour: NaN and negative values give 0, values past the range its top.
#pragma once

#include <cstdint>

namespace tesvi_quantum::algorithms {

inline uint64_t saturating_u64(double x) {
    if (!(x > 0.0)) return 0;
    if (x >= 18446744073709551616.0) return UINT64_MAX;
    return static_cast<uint64_t>(x);
}

// a + b, or UINT64_MAX when that does not fit.
inline uint64_t saturating_add(uint64_t a, uint64_t b) {
    uint64_t sum;
    return __builtin_add_overflow(a, b, &sum) ? UINT64_MAX : sum;
}

}  // namespace tesvi_quantum::algorithms
