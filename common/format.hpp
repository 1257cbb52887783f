// Fixed-notation number text: correctly rounded from the binary value with
// ties to even, "NaN", "inf" and "-inf" for the non-finite values. The C
// library's printf would follow the process locale's decimal separator;
// to_chars never does, so written text always reads back.
#pragma once

#include <charconv>
#include <cmath>
#include <string>

namespace tesvi {

inline std::string format_fixed(double v, int decimals) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    char buf[400];  // the widest double in fixed notation with a few decimals fits easily
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

}  // namespace tesvi
