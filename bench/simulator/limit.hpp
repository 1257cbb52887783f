// The memory limit a state-vector pass is measured against: one streaming
// in-place read-modify-write of the same bytes with the same workers. A gate
// on 2^n amplitudes can do no better than reading and writing each of them
// once, so its time divided by this pass is its cost in passes.
//
// The pass negates every double (a write the compiler cannot drop), so an
// even number of passes leaves the data as it was.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <map>
#include <utility>
#include <vector>

#include "quantum/simulator/pool.hpp"

namespace tesvi_bench {

// One read-modify-write pass over data[0, count), on the pool or on this thread.
inline void limit_pass(double* data, size_t count, bool parallel) {
    constexpr size_t PIECE = size_t{1} << 15;  // 256 KiB of doubles per task
    auto negate = [data](size_t first, size_t last) {
        for (size_t i = first; i < last; ++i) data[i] = -data[i];
    };
    if (!parallel || count <= PIECE) return negate(0, count);
    const size_t pieces = (count + PIECE - 1) / PIECE;
    tesvi_quantum::simulator::pool::for_each_chunk(pieces, [&](size_t first, size_t last) {
        negate(first * PIECE, std::min(last * PIECE, count));
    });
}

// Median seconds of one pass over data[0, count); runs an even number of
// passes (one untimed), so the data ends as it began.
inline double limit_seconds(double* data, size_t count, bool parallel) {
    constexpr int TIMED = 7;
    std::vector<double> t;
    limit_pass(data, count, parallel);  // touch the pages
    for (int rep = 0; rep < TIMED; ++rep) {
        const auto t0 = std::chrono::steady_clock::now();
        limit_pass(data, count, parallel);
        t.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::nth_element(t.begin(), t.begin() + TIMED / 2, t.end());
    return t[TIMED / 2];
}

// The same over a buffer of its own of `bytes` bytes, measured once per
// (size, parallel) in a process.
inline double limit_seconds(size_t bytes, bool parallel) {
    static std::map<std::pair<size_t, bool>, double> cache;
    const auto key = std::make_pair(bytes, parallel);
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    std::vector<double> buffer(bytes / sizeof(double), 1.0);
    return cache[key] = limit_seconds(buffer.data(), buffer.size(), parallel);
}

}  // namespace tesvi_bench
