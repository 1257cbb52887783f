#include "crypto/hash/sha3.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tesvi_crypto::hash;
using Bytes = std::vector<uint8_t>;

std::string hex(const uint8_t* p, size_t n) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) s += {d[p[i] >> 4], d[p[i] & 15]};
    return s;
}

// A message that is not all one byte, so a misplaced byte shows.
Bytes message(size_t n) {
    Bytes m(n);
    for (size_t i = 0; i < n; ++i) m[i] = uint8_t(i * 7 + 3);
    return m;
}

enum class Fn { Sha3_256, Sha3_512, Shake128, Shake256 };

Bytes run(Fn fn, const Bytes& data, size_t out_len) {
    switch (fn) {
        case Fn::Sha3_256: {
            auto d = sha3_256(data);
            return Bytes(d.begin(), d.end());
        }
        case Fn::Sha3_512: {
            auto d = sha3_512(data);
            return Bytes(d.begin(), d.end());
        }
        case Fn::Shake128:
            return shake128(data, out_len).value();
        case Fn::Shake256:
            return shake256(data, out_len).value();
    }
    return {};
}

struct Case {
    Fn fn;
    size_t msg_len, out_len;
    size_t skip;  // the expected hex starts at this output byte
    const char* expected;
};

// Expected values from an independent FIPS 202 implementation. Message
// lengths sit on the rate (136, 72, 168, 136 bytes): r - 1 puts the domain
// byte and the final 0x80 into one byte, r leaves a block of padding only.
// Long outputs check the bytes around the squeeze boundaries.
const Case CASES[] = {
    {Fn::Sha3_256, 0, 32, 0, "a7ffc6f8bf1ed76651c14756a061d662f580ff4de43b49fa82d80a4b80f8434a"},
    {Fn::Sha3_256, 135, 32, 0, "d9dcf1f98e49a79b0643a9e68fef48079ff8777c5e7e7f93469ded65f192ac71"},
    {Fn::Sha3_256, 136, 32, 0, "743bd32e775ac7387a57d4d574c89ddef5ebcb08bb5cc6b88c55a27b5035cc45"},
    {Fn::Sha3_256, 137, 32, 0, "01d47e8d6dce6e3dcbf1baa6f845b6ace4ef74bd17da8176ecc49bc35dbe5d21"},
    {Fn::Sha3_512, 0, 64, 0,
     "a69f73cca23a9ac5c8b567dc185a756e97c982164fe25859e0d1dcc1475c80a6"
     "15b2123af1f5f94c11e3e9402c3ac558f500199d95b6d3e301758586281dcd26"},
    {Fn::Sha3_512, 71, 64, 0,
     "a02d5795bffd44cb0ac3cc3401ae89056b8017242eaf7e802033e974672ce794"
     "5811760c3b0d9578bc51bf90c364636ac87cda9b4f3e45620ea9c030421e9d86"},
    {Fn::Sha3_512, 72, 64, 0,
     "2ec0da5ff440c192d33033c4257eb39dcbd27edd7e41b5ac8db9daf13db501a2"
     "ef938151aaddd82f600335654f77512cbcc926ec5abb05b79282ec716d685618"},
    {Fn::Shake128, 0, 32, 0, "7f9c2ba4e88f827d616045507605853ed73b8093f6efbc88eb1a6eacfa66ef26"},
    {Fn::Shake128, 167, 32, 0, "bb961bb015521037905f9baf69ce60dd3ba73f6ead09a559c8d8a85e10753bca"},
    {Fn::Shake128, 168, 32, 0, "d4f73f3b6c4b72d05f45ed1f80b5774409f9cf336fc202bffa42ac38a6d3fbee"},
    {Fn::Shake128, 500, 32, 0, "bbc1fdc161528541eb49e76d887618b52c3abe36f7fe62a1ccbdc759905a4fc1"},
    {Fn::Shake128, 3, 0, 0, ""},
    {Fn::Shake128, 3, 340, 330, "b12c8c18e316603f0bfb"},
    {Fn::Shake256, 0, 64, 0,
     "46b9dd2b0ba88d13233b3feb743eeb243fcd52ea62b81b82b50c27646ed5762f"
     "d75dc4ddd8c0f200cb05019d67b592f6fc821c49479ab48640292eacb3b7c4be"},
    {Fn::Shake256, 135, 64, 0,
     "0213fc98352f009fafdf8ee1ea36391485a85aa6f6c07a5cd81266d21eb17f9a"
     "f3e3a6aa4a5e03793be3a4da4ba01c438b689164fc6bebb290eb372bfecd569d"},
    {Fn::Shake256, 136, 64, 0,
     "c00f43811e5b4a38e14e3c06d8a5ce34115a19cd604ce5bac6c3823b76046d5c"
     "6b149f173bef3089dbfe66774f9723bc344ecbaa7e9674df4ceb8558811423c5"},
    {Fn::Shake256, 0, 0, 0, ""},
    {Fn::Shake256, 3, 300, 268, "26bc546d0fd01c66660ac3cc7dffacb565fa04f36a4cdeae9ad40680096f2f08"},
};

TEST(Sha3, KnownDigests) {
    for (const Case& c : CASES) {
        const Bytes out = run(c.fn, message(c.msg_len), c.out_len);
        ASSERT_EQ(out.size(), c.out_len);
        EXPECT_EQ(hex(out.data() + c.skip, out.size() - c.skip), c.expected)
            << "function " << int(c.fn) << ", " << c.msg_len << "-byte message";
    }
}

// A shorter request is a prefix of a longer one, across squeeze blocks too.
TEST(Sha3, ShakeOutputsArePrefixesOfLongerOutputs) {
    const Bytes data = message(41);
    for (Fn fn : {Fn::Shake128, Fn::Shake256}) {
        const Bytes longest = run(fn, data, 600);
        for (size_t n : {1, 32, 135, 136, 137, 168, 169, 200, 599}) {
            EXPECT_EQ(run(fn, data, n), Bytes(longest.begin(), longest.begin() + n))
                << "function " << int(fn) << ", " << n << " bytes";
        }
    }
}

TEST(Sha3, ShakeRefusesOutputsAboveTheBound) {
    for (size_t n : {MAX_SHAKE_OUTPUT_LEN + 1, SIZE_MAX}) {
        for (auto shake : {shake128, shake256}) {
            const ShakeResult r = shake(message(3), n);
            ASSERT_FALSE(r.has_value());
            EXPECT_EQ(r.error().message(), "SHAKE output length " + std::to_string(n) +
                                               " exceeds the limit of 268435456 bytes");
        }
    }
}

}  // namespace
