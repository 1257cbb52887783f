#include "quantum/result.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/format.hpp"
#include "common/memory.hpp"

namespace tesvi_quantum::result {

double QuantumResult::probability(std::string_view key) const {
    auto it = counts.find(key);
    if (it == counts.end()) return 0.0;
    return static_cast<double>(it->second) / static_cast<double>(total_shots);
}

error::Result<double> QuantumResult::expectation_z(uint64_t position) const {
    if (position >= num_qubits)
        return error::fail(error::TesviError::QubitOutOfRange{position, num_qubits});
    double sum = 0.0;
    for (const auto& [key, count] : counts) {
        const double sign = key.size() < position + 1 || key[position] == '0' ? 1.0 : -1.0;
        sum += static_cast<double>(count) / static_cast<double>(total_shots) * sign;
    }
    return sum;
}

std::pair<std::string_view, uint32_t> QuantumResult::most_probable() const {
    auto it = counts.begin();
    if (it == counts.end()) return {"", 0};
    auto best = it;
    for (++it; it != counts.end(); ++it)
        if (it->second >= best->second) best = it;
    return {best->first, best->second};
}

std::vector<HistogramRow> QuantumResult::histogram() const {
    std::vector<HistogramRow> rows;
    rows.reserve(counts.size());
    for (const auto& [key, count] : counts)
        rows.push_back({key, count, static_cast<double>(count) / static_cast<double>(total_shots)});
    std::stable_sort(rows.begin(), rows.end(), [](const HistogramRow& a, const HistogramRow& b) {
        return a.count > b.count;
    });
    return rows;
}

std::string QuantumResult::histogram_text() const {
    std::string out = "Results (" + std::to_string(total_shots) + " shots, " +
                      std::to_string(num_qubits) + " qubits):\n";
    const auto rows = histogram();
    if (rows.empty()) return out;
    const uint32_t max = rows.front().count;
    for (const auto& r : rows) {
        const uint64_t scaled = std::min<uint64_t>(uint64_t{r.count} * 30, UINT32_MAX);
        const uint32_t bar = max == 0 ? 0 : static_cast<uint32_t>(scaled) / max;
        char count[16], percent[400];
        std::snprintf(count, sizeof count, "%5u", r.count);
        std::snprintf(percent, sizeof percent, "%5s",
                      tesvi::format_fixed(r.fraction * 100.0, 1).c_str());
        out += "  |" + std::string(r.key) + ">: " + count + " (" + percent + "%) " +
               std::string(bar, '#') + "\n";
    }
    return out;
}

void QuantumResult::print_histogram() const {
    // Straight to the process's standard output, not through any host buffering.
    const std::string text = histogram_text();
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(1, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

uint64_t key_outcomes(std::vector<uint64_t> bits) {
    std::sort(bits.begin(), bits.end());
    const auto distinct =
        static_cast<uint64_t>(std::unique(bits.begin(), bits.end()) - bits.begin());
    return distinct < 64 ? uint64_t{1} << distinct : UINT64_MAX;
}

uint64_t count_map_bytes(uint64_t keys, uint64_t width) {
    // A key takes its entry (hash, text position, length, count: 24 bytes)
    // and its text padded to 8, both reserved once for all keys, and table
    // slots of 4 bytes: the table doubles when half full, so while it moves
    // the old and the new table together hold up to six slots a key.
    constexpr uint64_t ENTRY = 24, SLOTS = 6 * 4;
    const uint64_t text = (width + 7) / 8 * 8;
    const uint64_t per_key =
        width > UINT64_MAX - ENTRY - SLOTS - 7 ? UINT64_MAX : ENTRY + SLOTS + text;
    return keys != 0 && per_key > UINT64_MAX / keys ? UINT64_MAX : keys * per_key;
}

error::Result<void> reserve_counts(uint64_t num_qubits, uint64_t keys, uint64_t width) {
    const uint64_t bytes = count_map_bytes(keys, width);
    if (!tesvi::fits_in_memory(bytes))
        return error::fail(error::TesviError::InsufficientMemory{num_qubits, bytes});
    return {};
}

}  // namespace tesvi_quantum::result
