#include "crypto/pqc/sphincs/sign.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "common/cpu.hpp"

#include "tests/support/hex.hpp"
#include "tests/support/mini_json.hpp"

namespace {

namespace sp = tesvi_crypto::pqc::sphincs_shake_128f_simple;
using Bytes = std::vector<uint8_t>;
using tesvi_crypto::pqc::Build;
using tesvi_test::unhex;

// Every build this processor runs.
std::vector<Build> builds() {
    if (tesvi::cpu::has_avx2()) return {Build::Portable, Build::Avx2};
    return {Build::Portable};
}

const char* name(Build b) {
    return b == Build::Avx2 ? "avx2" : "portable";
}

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
    for (Build build : builds()) {
        for (auto& c : cases) {
            SCOPED_TRACE(std::string(name(build)) + " message bytes " +
                         std::to_string(c["msg"].size()));
            ASSERT_EQ(c["seed"].size(), sp::kSeedBytes);
            ASSERT_EQ(c["optrand"].size(), sp::kOptRandBytes);
            auto kp =
                sp::keypair_from_seed(std::span<const uint8_t, sp::kSeedBytes>(c["seed"]), build);
            EXPECT_EQ(Bytes(kp.public_key.bytes.begin(), kp.public_key.bytes.end()), c["pk"]);
            EXPECT_EQ(Bytes(kp.secret_key.bytes.begin(), kp.secret_key.bytes.end()), c["sk"]);

            auto sig = sp::detached_sign_with_optrand(
                c["msg"], kp.secret_key, std::span<const uint8_t, sp::kOptRandBytes>(c["optrand"]),
                build);
            auto got = sig.as_bytes();
            EXPECT_EQ(Bytes(got.begin(), got.end()), c["sig"]);
            EXPECT_TRUE(sp::verify_detached_signature(signature_of(c["sig"]), c["msg"],
                                                      kp.public_key, build));
        }
    }
}

// Both builds over random keys and messages: equal keys and signatures, and
// equal verdicts on good and tampered signatures, keys and messages.
TEST(Sphincs, BuildsAgree) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2";
    std::mt19937_64 rng(20261210);
    auto random_bytes = [&](size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<uint8_t>(rng());
        return b;
    };
    const size_t MESSAGE_LENGTHS[] = {0, 1, 33, 135, 136, 137, 1000, 4099};
    for (size_t len : MESSAGE_LENGTHS) {
        SCOPED_TRACE(len);
        const Bytes seed = random_bytes(sp::kSeedBytes), optrand = random_bytes(sp::kOptRandBytes);
        const Bytes msg = random_bytes(len);
        const std::span<const uint8_t, sp::kSeedBytes> seed_span(seed);
        auto kp = sp::keypair_from_seed(seed_span, Build::Portable);
        auto kp_avx2 = sp::keypair_from_seed(seed_span, Build::Avx2);
        ASSERT_EQ(kp.public_key.bytes, kp_avx2.public_key.bytes);
        ASSERT_EQ(kp.secret_key.bytes, kp_avx2.secret_key.bytes);

        const std::span<const uint8_t, sp::kOptRandBytes> r(optrand);
        auto sig = sp::detached_sign_with_optrand(msg, kp.secret_key, r, Build::Portable);
        auto sig_avx2 = sp::detached_sign_with_optrand(msg, kp.secret_key, r, Build::Avx2);
        const Bytes good(sig.as_bytes().begin(), sig.as_bytes().end());
        ASSERT_EQ(Bytes(sig_avx2.as_bytes().begin(), sig_avx2.as_bytes().end()), good);

        struct Trial {
            Bytes sig, msg;
            sp::PublicKey pk;
            bool valid;
        };
        std::vector<Trial> trials = {{good, msg, kp.public_key, true}};
        for (int k = 0; k < 4; ++k) {  // a flipped bit anywhere in the signature
            Bytes bad = good;
            bad[rng() % bad.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
            trials.push_back({bad, msg, kp.public_key, false});
        }
        auto bad_pk = kp.public_key;
        bad_pk.bytes[rng() % bad_pk.bytes.size()] ^= 0x10;
        trials.push_back({good, msg, bad_pk, false});
        Bytes bad_msg = msg;
        bad_msg.push_back(0);
        trials.push_back({good, bad_msg, kp.public_key, false});
        for (const Trial& t : trials) {
            const bool portable =
                sp::verify_detached_signature(signature_of(t.sig), t.msg, t.pk, Build::Portable);
            EXPECT_EQ(portable, t.valid);
            EXPECT_EQ(sp::verify_detached_signature(signature_of(t.sig), t.msg, t.pk, Build::Avx2),
                      portable);
        }
    }
}

// The entry points without a build argument run the AVX2 build exactly when
// the processor has AVX2; a named build runs as named.
TEST(Sphincs, DefaultBuildFollowsTheProcessor) {
    using sp::testing::last_build_run;
    const Build expected = tesvi::cpu::has_avx2() ? Build::Avx2 : Build::Portable;
    const std::array<uint8_t, sp::kSeedBytes> seed{};
    const std::array<uint8_t, sp::kOptRandBytes> optrand{};
    auto kp = sp::keypair_from_seed(seed);
    EXPECT_EQ(last_build_run(), expected);
    sp::keypair_from_seed(seed, Build::Portable);
    EXPECT_EQ(last_build_run(), Build::Portable);
    auto sig = sp::detached_sign_with_optrand({}, kp.secret_key, optrand);
    EXPECT_EQ(last_build_run(), expected);
    sp::verify_detached_signature(sig, {}, kp.public_key, Build::Portable);
    EXPECT_EQ(last_build_run(), Build::Portable);
    sp::verify_detached_signature(sig, {}, kp.public_key);
    EXPECT_EQ(last_build_run(), expected);
}

// Every part of the signature and its inputs is bound: randomiser, FORS
// secrets and paths, WOTS chains and auth paths of the first and last layer.
void tampered_inputs_are_rejected(Build build) {
    auto c = load_cases()[0];
    auto pk = sp::PublicKey::from_bytes(c["pk"]).value();
    const Bytes& sig = c["sig"];
    ASSERT_TRUE(sp::verify_detached_signature(signature_of(sig), c["msg"], pk, build));

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
        EXPECT_FALSE(sp::verify_detached_signature(signature_of(bad), c["msg"], pk, build));
    }

    Bytes msg = c["msg"];
    msg.back() ^= 0x80;
    EXPECT_FALSE(sp::verify_detached_signature(signature_of(sig), msg, pk, build));
    msg.pop_back();
    EXPECT_FALSE(sp::verify_detached_signature(signature_of(sig), msg, pk, build));

    for (size_t byte : {size_t{0}, sp::kN}) {  // PUB_SEED, then root
        auto bad_pk = pk;
        bad_pk.bytes[byte] ^= 0x01;
        EXPECT_FALSE(sp::verify_detached_signature(signature_of(sig), c["msg"], bad_pk, build));
    }

    Bytes truncated(sig.begin(), sig.end() - 1);
    EXPECT_FALSE(sp::verify_detached_signature(signature_of(truncated), c["msg"], pk, build));
    EXPECT_FALSE(sp::verify_detached_signature(signature_of({}), c["msg"], pk, build));
}

TEST(Sphincs, TamperedInputsAreRejected) {
    for (Build build : builds()) {
        SCOPED_TRACE(name(build));
        tampered_inputs_are_rejected(build);
    }
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
