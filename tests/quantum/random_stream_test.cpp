#include "quantum/simulator/random_stream.hpp"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/mini_json.hpp"

namespace {

using tesvi_quantum::simulator::RandomStream;
using tesvi_test::Json;

const Json& vectors() {
    static const Json j = Json::load(std::string(TESVI_VECTORS_DIR) + "/rng/chacha12.json");
    return j;
}

std::string hex(const std::array<uint8_t, 32>& key) {
    std::string s;
    char b[3];
    for (uint8_t x : key) std::snprintf(b, sizeof b, "%02x", x), s += b;
    return s;
}

TEST(RandomStream, ReproducesEveryReferenceValue) {
    const Json& cases = vectors()["cases"];
    ASSERT_EQ(cases.size(), 5u);
    for (const Json& c : cases.items) {
        const uint64_t seed = c["seed"].u64();
        SCOPED_TRACE("seed " + c["seed"].text);
        EXPECT_EQ(hex(RandomStream::expand_seed(seed)), c["key"].text);

        RandomStream a = RandomStream::from_seed(seed);
        for (const Json& v : c["u32"].items) EXPECT_EQ(a.next_u32(), v.u64());
        RandomStream b = RandomStream::from_seed(seed);
        for (const Json& v : c["u64"].items) EXPECT_EQ(b.next_u64(), v.u64());
        RandomStream u = RandomStream::from_seed(seed);
        for (const Json& v : c["uniform"].items) EXPECT_EQ(u.uniform(), v.f64());

        // A 64-bit draw that straddles a block boundary.
        RandomStream m = RandomStream::from_seed(seed);
        for (const Json& v : c["mixed"]["u32"].items) EXPECT_EQ(m.next_u32(), v.u64());
        for (const Json& v : c["mixed"]["u64"].items) EXPECT_EQ(m.next_u64(), v.u64());

        RandomStream r3 = RandomStream::from_seed(seed);
        for (const Json& v : c["range3"].items) EXPECT_EQ(r3.below3(), v.u64());
        for (const Json& rm : c["range_m"].items) {
            RandomStream r = RandomStream::from_seed(seed);
            for (const Json& v : rm["draws"].items) EXPECT_EQ(r.below(rm["m"].u64()), v.u64());
        }
    }
}

TEST(RandomStream, EntropyStreamsDiffer) {
    RandomStream a = RandomStream::from_entropy(), b = RandomStream::from_entropy();
    EXPECT_NE(a.next_u64(), b.next_u64());
}

}  // namespace
