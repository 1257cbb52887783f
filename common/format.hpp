// Fixed-notation number text: correctly rounded from the binary value with
// ties to even, "NaN", "inf" and "-inf" for the non-finite values.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>

namespace tesvi {

inline std::string format_fixed(double v, int decimals) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    char buf[400];  // the widest double in %.Nf with small N fits easily
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

}  // namespace tesvi
