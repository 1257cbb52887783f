#include "crypto/hash/sponge.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tesvi_crypto::hash::Sponge;

std::string hex(const std::vector<uint8_t>& v) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (uint8_t b : v) s += {d[b >> 4], d[b & 15]};
    return s;
}

std::vector<uint8_t> run(Sponge sp, const std::string& msg, size_t out) {
    sp.absorb({reinterpret_cast<const uint8_t*>(msg.data()), msg.size()});
    std::vector<uint8_t> o(out);
    sp.squeeze(o);
    return o;
}

TEST(Sponge, EmptyMessageDigests) {
    EXPECT_EQ(hex(run(tesvi_crypto::hash::sha3_256_sponge(), "", 32)),
              "a7ffc6f8bf1ed76651c14756a061d662f580ff4de43b49fa82d80a4b80f8434a");
    EXPECT_EQ(hex(run(tesvi_crypto::hash::shake128_sponge(), "", 16)),
              "7f9c2ba4e88f827d616045507605853e");
}

TEST(Sponge, IncrementalMatchesOneShot) {
    std::string msg(500, 'a');
    for (size_t i = 0; i < msg.size(); ++i) msg[i] = char(i * 7);
    auto whole = run(tesvi_crypto::hash::shake256_sponge(), msg, 400);
    Sponge sp = tesvi_crypto::hash::shake256_sponge();
    for (size_t i = 0; i < msg.size(); i += 13) {
        std::string part = msg.substr(i, 13);
        sp.absorb({reinterpret_cast<const uint8_t*>(part.data()), part.size()});
    }
    std::vector<uint8_t> a(150), b(250);
    sp.squeeze(a);
    sp.squeeze(b);
    a.insert(a.end(), b.begin(), b.end());
    EXPECT_EQ(a, whole);
}

}  // namespace
