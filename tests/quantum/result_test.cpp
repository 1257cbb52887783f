#include "quantum/result.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using tesvi_quantum::result::QuantumResult;

QuantumResult make(std::initializer_list<std::pair<const char*, uint32_t>> counts, uint32_t shots,
                   uint64_t width) {
    QuantumResult r;
    for (const auto& [k, n] : counts) r.counts[k] = n;
    r.total_shots = shots;
    r.num_qubits = width;
    return r;
}

TEST(QuantumResult, HistogramText) {
    const auto r = make({{"00", 512}, {"11", 488}}, 1000, 2);
    EXPECT_EQ(r.histogram_text(),
              "Results (1000 shots, 2 qubits):\n"
              "  |00>:   512 ( 51.2%) " +
                  std::string(30, '#') + "\n" + "  |11>:   488 ( 48.8%) " + std::string(28, '#') +
                  "\n");
    EXPECT_EQ(make({}, 5, 3).histogram_text(), "Results (5 shots, 3 qubits):\n");
    // Wide counts are not cut, and count * 30 saturates at 2^32 - 1 before the division.
    const auto wide = make({{"0", 100000}, {"1", 200000000}}, 200100000, 1);
    const std::string text = wide.histogram_text();
    EXPECT_NE(text.find("  |0>: 100000 (  0.0%) \n"), std::string::npos) << text;
    EXPECT_NE(text.find("  |1>: 200000000 (100.0%) " + std::string(21, '#') + "\n"),
              std::string::npos)
        << text;  // 4294967295 / 200000000 = 21
}

TEST(QuantumResult, ProbabilityAndExpectation) {
    const auto r = make({{"00", 3}, {"11", 1}}, 4, 2);
    EXPECT_EQ(r.probability("01"), 0.0);
    EXPECT_EQ(r.probability("00"), 0.75);
    EXPECT_EQ(r.probability("0"), 0.0);
    EXPECT_EQ(make({{"00", 500}, {"11", 500}}, 1000, 2).expectation_z(0).value(), 0.0);
    const auto ten = make({{"10", 1000}}, 1000, 2);
    EXPECT_EQ(ten.expectation_z(0).value(), -1.0);
    EXPECT_EQ(ten.expectation_z(1).value(), 1.0);
    EXPECT_EQ(ten.expectation_z(2).error().message(),
              "Qubit index 2 out of range (circuit has 2 qubits)");
    EXPECT_FALSE(make({{"", 10}}, 10, 0).expectation_z(0).has_value());
}

TEST(QuantumResult, TiesFollowTheMapOrder) {
    const auto r = make({{"0", 3}, {"1", 3}}, 6, 1);
    std::string last;
    for (const auto& [k, n] : r.counts) last = k;
    EXPECT_EQ(r.most_probable().first, last);
    const auto rows = r.histogram();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].key, r.counts.begin()->first);
    const auto empty = make({}, 1, 1).most_probable();
    EXPECT_EQ(empty.first, "");
    EXPECT_EQ(empty.second, 0u);
}

TEST(QuantumResult, MapOrderDiffersBetweenMaps) {
    // Keyed hashing: the same contents iterate in different orders across maps.
    bool differs = false;
    std::string first;
    for (int i = 0; i < 20 && !differs; ++i) {
        QuantumResult r;
        for (int k = 0; k < 16; ++k) r.counts[std::to_string(k)] = 1;
        std::string order;
        for (const auto& [k, n] : r.counts) order.append(k).append(",");
        if (i == 0) first = order;
        differs = order != first;
    }
    EXPECT_TRUE(differs);
}

TEST(QuantumResult, EqualityComparesContents) {
    // Every map hashes with a key of its own, so equal contents sit in
    // different buckets; 16 outcomes make a bucket-order comparison fail.
    QuantumResult base;
    for (uint32_t k = 0; k < 16; ++k) base.counts[std::to_string(k)] = k + 1;
    base.total_shots = 136;
    base.num_qubits = 2;
    struct Case {
        const char* name;
        void (*change)(QuantumResult&);
        bool counts_equal, equal;
    } cases[] = {
        {"a copy filled in reverse order", [](QuantumResult&) {}, true, true},
        {"one count differs", [](QuantumResult& r) { r.counts["7"] = 9; }, false, false},
        {"one key missing", [](QuantumResult& r) { r.counts.erase("15"); }, false, false},
        {"one key more", [](QuantumResult& r) { r.counts["16"] = 0; }, false, false},
        {"shots differ", [](QuantumResult& r) { r.total_shots = 137; }, true, false},
        {"width differs", [](QuantumResult& r) { r.num_qubits = 3; }, true, false},
    };
    for (const auto& tc : cases) {
        QuantumResult other;
        for (uint32_t k = 16; k-- > 0;) other.counts[std::to_string(k)] = k + 1;
        other.total_shots = base.total_shots;
        other.num_qubits = base.num_qubits;
        tc.change(other);
        EXPECT_EQ(other.counts == base.counts, tc.counts_equal) << tc.name;
        EXPECT_EQ(base.counts == other.counts, tc.counts_equal) << tc.name;
        EXPECT_EQ(other == base, tc.equal) << tc.name;
        EXPECT_EQ(base != other, !tc.equal) << tc.name;
    }
}

}  // namespace
