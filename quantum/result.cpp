#include "quantum/result.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/format.hpp"

namespace tesvi_quantum::result {

double QuantumResult::probability(std::string_view key) const {
    auto it = counts.find(std::string(key));
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
        rows.push_back(
            {&key, count, static_cast<double>(count) / static_cast<double>(total_shots)});
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
        out +=
            "  |" + *r.key + ">: " + count + " (" + percent + "%) " + std::string(bar, '#') + "\n";
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

}  // namespace tesvi_quantum::result
