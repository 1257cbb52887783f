// A run's outcomes in a fixed order for the algorithms that fold counts into
// a value. The count map's own order changes from run to run, so a sum taken
// in it would round differently each time and a seeded run would not repeat.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "quantum/result.hpp"

namespace tesvi_quantum::algorithms {

inline std::vector<std::pair<std::string_view, uint32_t>> outcomes_in_key_order(
    const result::QuantumResult& r) {
    std::vector<std::pair<std::string_view, uint32_t>> out(r.counts.begin(), r.counts.end());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace tesvi_quantum::algorithms
