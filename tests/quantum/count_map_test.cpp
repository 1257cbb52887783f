#include "quantum/count_map.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

namespace {

using tesvi_quantum::CountMap;

void expect_same(const CountMap& m, const std::map<std::string, uint32_t>& want) {
    ASSERT_EQ(m.size(), want.size());
    std::map<std::string, uint32_t> seen;
    for (const auto& [k, n] : m) EXPECT_TRUE(seen.emplace(k, n).second) << "visited twice: " << k;
    EXPECT_EQ(seen, want);
    for (const auto& [k, n] : want) {
        ASSERT_TRUE(m.contains(k)) << k;
        EXPECT_EQ(m.at(k), n) << k;
    }
}

// Random additions and erasures over a small key space, so probe runs grow
// long, wrap around the table's end and are cut by erasure, against std::map.
TEST(CountMap, MatchesAnOrderedMapThroughGrowthAndErasure) {
    std::mt19937_64 rng(7);
    CountMap m;
    std::map<std::string, uint32_t> want;
    for (int step = 0; step < 20000; ++step) {
        const std::string key = std::to_string(rng() % 700);
        if (rng() % 3 == 0) {
            EXPECT_EQ(m.erase(key), want.erase(key)) << key;
        } else {
            const uint32_t add = static_cast<uint32_t>(rng() % 5);
            m[key] += add;
            want[key] += add;
        }
        if (step % 997 == 0) expect_same(m, want);
    }
    expect_same(m, want);
    EXPECT_FALSE(m.contains("700"));
    EXPECT_THROW(static_cast<void>(m.at("700")), std::out_of_range);
}

TEST(CountMap, KeysOfEveryLengthAndBulkInsertion) {
    CountMap m;
    std::map<std::string, uint32_t> want;
    m.reserve(3, 10);  // then grows past it
    for (size_t len = 0; len < 200; ++len) {
        const std::string key(len, static_cast<char>('a' + len % 26));
        m.add(key, m.hash(key)) = static_cast<uint32_t>(len);
        want[key] = static_cast<uint32_t>(len);
    }
    expect_same(m, want);
    EXPECT_FALSE(m.emplace("", 99).second);
    EXPECT_EQ(m.at(""), 0u);
    EXPECT_TRUE(m.emplace("new", 99).second);
    EXPECT_EQ(m.at("new"), 99u);
}

TEST(CountMap, KeyViewedInItsOwnTextSurvivesInsertion) {
    const std::string whole = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    CountMap m;
    m[whole] = 1;
    // Each new key is read from the map's own text, which the insertion may move.
    for (size_t len = 0; len < whole.size(); ++len)
        m[m.find(whole)->first.substr(0, len)] = static_cast<uint32_t>(len + 2);
    const auto [it, added] = m.emplace(m.find(whole)->first.substr(1, 30), 77);
    EXPECT_TRUE(added);
    ASSERT_TRUE(it != m.end());
    EXPECT_EQ(it->first, whole.substr(1, 30));
    EXPECT_EQ(it->second, 77u);
    ASSERT_EQ(m.size(), whole.size() + 2);
    for (size_t len = 0; len < whole.size(); ++len)
        EXPECT_EQ(m.at(whole.substr(0, len)), len + 2) << len;
}

TEST(CountMap, CopiesAndEmptyMaps) {
    CountMap empty;
    EXPECT_TRUE(empty.begin() == empty.end());
    EXPECT_FALSE(empty.contains(""));
    EXPECT_EQ(empty.erase("x"), 0u);
    CountMap m;
    for (int k = 0; k < 50; ++k) m[std::to_string(k)] = static_cast<uint32_t>(k);
    const CountMap copy = m;
    EXPECT_TRUE(copy == m);
    m["0"] = 7;
    EXPECT_FALSE(copy == m);
    EXPECT_EQ(copy.at("0"), 0u);
    EXPECT_TRUE(empty == CountMap());
}

}  // namespace
