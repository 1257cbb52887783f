#include "crypto/qrng/qrng.hpp"

#include <gtest/gtest.h>

namespace {

using namespace tesvi_crypto::qrng;

TEST(Qrng, PackBitsLeastSignificantFirst) {
    EXPECT_EQ(pack_bits({true, false, false, false, false, false, false, false, true}),
              (std::vector<uint8_t>{0x01, 0x01}));
    EXPECT_EQ(pack_bits({false, true, true}), std::vector<uint8_t>{0x06});
    EXPECT_TRUE(pack_bits({}).empty());
}

TEST(Qrng, LengthsAndBounds) {
    for (uint64_t n : {0, 1, 3, 8, 9, 17}) EXPECT_EQ(random_bits(n).value().size(), n);
    EXPECT_TRUE(random_bytes(0).value().empty());
    EXPECT_EQ(random_bytes(5).value().size(), 5u);
    EXPECT_EQ(random_seed().size(), 32u);
    EXPECT_EQ(random_bits(MAX_RANDOM_BITS + 1).error().message(),
              "random request of 8388609 bits exceeds the limit of 8388608 bits");
    // A byte count whose bit count would wrap is refused in the caller's unit.
    EXPECT_EQ(random_bytes(uint64_t{1} << 61).error().message(),
              "random request of 2305843009213693952 bytes exceeds the limit of 1048576 bytes");
}

TEST(Qrng, BitsAreBalanced) {
    // 4096 fair bits: the count of ones lies within 5 standard deviations (32) of 2048.
    const auto bits = random_bits(4096).value();
    const auto ones = std::count(bits.begin(), bits.end(), true);
    EXPECT_NEAR(static_cast<double>(ones), 2048.0, 160.0);
    EXPECT_NE(random_u64(), random_u64());
}

}  // namespace
