#include "crypto/pqc/sphincs/sign.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/hex.hpp"
#include "tests/support/mini_json.hpp"

namespace {

namespace sp = tesvi_crypto::pqc::sphincs_shake_128f_simple;
using Bytes = std::vector<uint8_t>;
using tesvi_test::unhex;

std::vector<std::map<std::string, Bytes>> load_cases() {
    auto doc = tesvi_test::Json::load(TESVI_VECTORS_DIR "/pqc/sphincs_shake_128f_simple.json");
    std::vector<std::map<std::string, Bytes>> cases;
    for (const auto& c : doc["cases"].items) {
        auto& out = cases.emplace_back();
        for (const auto& [name, value] : c.fields) out[name] = unhex(value.text);
    }
    return cases;
}

sp::DetachedSignature signature_of(const Bytes& b) {
    return sp::DetachedSignature::from_bytes(b).value();
}

TEST(Sphincs, KnownAnswers) {
    auto cases = load_cases();
    ASSERT_EQ(cases.size(), 2u);
    for (auto& c : cases) {
        SCOPED_TRACE(c["msg"].size());
        ASSERT_EQ(c["seed"].size(), sp::kSeedBytes);
        ASSERT_EQ(c["optrand"].size(), sp::kOptRandBytes);
        auto kp = sp::keypair_from_seed(std::span<const uint8_t, sp::kSeedBytes>(c["seed"]));
        EXPECT_EQ(Bytes(kp.public_key.bytes.begin(), kp.public_key.bytes.end()), c["pk"]);
        EXPECT_EQ(Bytes(kp.secret_key.bytes.begin(), kp.secret_key.bytes.end()), c["sk"]);

        auto sig = sp::detached_sign_with_optrand(
            c["msg"], kp.secret_key, std::span<const uint8_t, sp::kOptRandBytes>(c["optrand"]));
        auto got = sig.as_bytes();
        EXPECT_EQ(Bytes(got.begin(), got.end()), c["sig"]);
        EXPECT_TRUE(sp::verify_detached_signature(signature_of(c["sig"]), c["msg"], kp.public_key));
    }
}

// Every part of the signature and its inputs is bound: randomiser, FORS
// secrets and paths, WOTS chains and auth paths of the first and last layer.
TEST(Sphincs, TamperedInputsAreRejected) {
    auto c = load_cases()[0];
    auto pk = sp::PublicKey::from_bytes(c["pk"]).value();
    const Bytes& sig = c["sig"];
    ASSERT_TRUE(sp::verify_detached_signature(signature_of(sig), c["msg"], pk));

    struct Flip {
        const char* what;
        size_t sig_byte;
    };
    const size_t layer0 = sp::kN + sp::kForsBytes;
    const Flip flips[] = {
        {"randomiser R", 0},
        {"first FORS secret", sp::kN},
        {"last FORS auth node", layer0 - 1},
        {"first WOTS chain of layer 0", layer0},
        {"auth path of layer 0", layer0 + sp::kWotsBytes},
        {"last byte (top auth path)", sp::kSignatureBytes - 1},
    };
    for (const Flip& f : flips) {
        SCOPED_TRACE(f.what);
        Bytes bad = sig;
        bad[f.sig_byte] ^= 0x01;
        EXPECT_FALSE(sp::verify_detached_signature(signature_of(bad), c["msg"], pk));
    }

    Bytes msg = c["msg"];
    msg.back() ^= 0x80;
    EXPECT_FALSE(sp::verify_detached_signature(signature_of(sig), msg, pk));
    msg.pop_back();
    EXPECT_FALSE(sp::verify_detached_signature(signature_of(sig), msg, pk));

    for (size_t byte : {size_t{0}, sp::kN}) {  // PUB_SEED, then root
        auto bad_pk = pk;
        bad_pk.bytes[byte] ^= 0x01;
        EXPECT_FALSE(sp::verify_detached_signature(signature_of(sig), c["msg"], bad_pk));
    }

    Bytes truncated(sig.begin(), sig.end() - 1);
    EXPECT_FALSE(sp::verify_detached_signature(signature_of(truncated), c["msg"], pk));
    EXPECT_FALSE(sp::verify_detached_signature(signature_of({}), c["msg"], pk));
}

TEST(Sphincs, ByteConversionsCheckLengths) {
    struct Case {
        size_t len;
        std::string pk_error, sk_error, sig_error;
    };
    const Case cases[] = {
        {0, "error: PublicKey expected 32 bytes, got 0",
         "error: SecretKey expected 64 bytes, got 0", ""},
        {32, "", "error: SecretKey expected 64 bytes, got 32", ""},
        {33, "error: PublicKey expected 32 bytes, got 33",
         "error: SecretKey expected 64 bytes, got 33", ""},
        {64, "error: PublicKey expected 32 bytes, got 64", "", ""},
        {17088, "error: PublicKey expected 32 bytes, got 17088",
         "error: SecretKey expected 64 bytes, got 17088", ""},
        {17089, "error: PublicKey expected 32 bytes, got 17089",
         "error: SecretKey expected 64 bytes, got 17089",
         "error: DetachedSignature expected 17088 bytes, got 17089"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.len);
        Bytes in(c.len);
        for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 31 + 7);
        auto check = [&](auto result, const std::string& error) {
            if (error.empty()) {
                ASSERT_TRUE(result.has_value());
                auto out = result->as_bytes();
                EXPECT_EQ(Bytes(out.begin(), out.end()), in);
            } else {
                ASSERT_FALSE(result.has_value());
                EXPECT_EQ(result.error(), error);
            }
        };
        check(sp::PublicKey::from_bytes(in), c.pk_error);
        check(sp::SecretKey::from_bytes(in), c.sk_error);
        check(sp::DetachedSignature::from_bytes(in), c.sig_error);
    }
}

// Signing draws a fresh optrand: two signatures of one message differ, both
// verify, and neither verifies under another key.
TEST(Sphincs, RandomisedSigningRoundTrip) {
    auto kp = sp::keypair();
    auto other = sp::keypair();
    EXPECT_NE(kp.public_key.bytes, other.public_key.bytes);
    const Bytes msg = {'t', 'e', 's', 'v', 'i'};
    auto a = sp::detached_sign(msg, kp.secret_key);
    auto b = sp::detached_sign(msg, kp.secret_key);
    EXPECT_FALSE(std::equal(a.as_bytes().begin(), a.as_bytes().end(), b.as_bytes().begin()));
    EXPECT_TRUE(sp::verify_detached_signature(a, msg, kp.public_key));
    EXPECT_TRUE(sp::verify_detached_signature(b, msg, kp.public_key));
    EXPECT_FALSE(sp::verify_detached_signature(a, msg, other.public_key));
}

}  // namespace
