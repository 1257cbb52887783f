// The record of a sampled run: how often each outcome key occurred.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "quantum/count_map.hpp"
#include "quantum/error.hpp"

namespace tesvi_quantum::result {

struct HistogramRow {
    std::string_view key;  // borrowed from the result
    uint32_t count;
    double fraction;
};

struct QuantumResult {
    CountMap counts;
    uint64_t num_qubits = 0;  // the key width
    uint32_t total_shots = 0;

    bool operator==(const QuantumResult&) const = default;

    double probability(std::string_view key) const;
    error::Result<double> expectation_z(uint64_t position) const;
    // The largest count; among ties the last one the map visits. Empty: ("", 0).
    std::pair<std::string_view, uint32_t> most_probable() const;
    // Rows by count, largest first; ties keep the map's order.
    std::vector<HistogramRow> histogram() const;
    // The text histogram, as print_histogram writes it.
    std::string histogram_text() const;
    // Writes histogram_text() to file descriptor 1.
    void print_histogram() const;
};

// How many distinct keys a list of measured bits can give: 2^(distinct
// entries), saturating.
uint64_t key_outcomes(std::vector<uint64_t> bits);

// Bytes a count map of `keys` distinct keys `width` characters wide takes:
// each key's entry, its text and its share of the table. Saturates.
uint64_t count_map_bytes(uint64_t keys, uint64_t width);

// InsufficientMemory (num_qubits, bytes) when a count map of up to `keys` keys
// of `width` characters does not fit in what the process can still take.
error::Result<void> reserve_counts(uint64_t num_qubits, uint64_t keys, uint64_t width);

}  // namespace tesvi_quantum::result
