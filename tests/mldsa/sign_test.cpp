#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/cpu.hpp"
#include "crypto/pqc/mldsa/api.hpp"
#include "tests/support/hex.hpp"
#include "tests/support/mini_json.hpp"

namespace {

namespace mldsa = tesvi_crypto::pqc::mldsa65;
using tesvi_crypto::pqc::Build;
using Bytes = std::vector<uint8_t>;

// The builds this processor can run.
std::vector<Build> builds() {
    if (tesvi::cpu::has_avx2()) return {Build::Portable, Build::Avx2};
    return {Build::Portable};
}
using tesvi_test::unhex;

struct Case {
    Bytes xi, pk, sk, msg, sig;
};

std::vector<Case> load_cases() {
    const auto doc = tesvi_test::Json::load(TESVI_VECTORS_DIR "/pqc/mldsa65.json");
    std::vector<Case> cases;
    for (const auto& c : doc["cases"].items)
        cases.push_back({unhex(c["xi"].text), unhex(c["pk"].text), unhex(c["sk"].text),
                         unhex(c["msg"].text), unhex(c["sig"].text)});
    return cases;
}

const std::vector<Case>& cases() {
    static const std::vector<Case> all = load_cases();
    return all;
}

Bytes to_vector(std::span<const uint8_t> s) {
    return {s.begin(), s.end()};
}

// Verified by every build, which must agree.
bool verifies(const Bytes& sig, const Bytes& msg, const Bytes& pk) {
    const auto s = *mldsa::DetachedSignature::from_bytes(sig);
    const auto k = *mldsa::PublicKey::from_bytes(pk);
    const bool portable = mldsa::verify_detached_signature(s, msg, k, Build::Portable);
    for (Build build : builds())
        EXPECT_EQ(mldsa::verify_detached_signature(s, msg, k, build), portable);
    return portable;
}

TEST(MlDsa65, KnownAnswers) {
    ASSERT_EQ(cases().size(), 3u);
    for (Build build : builds())
        for (const Case& c : cases()) {
            SCOPED_TRACE("build " + std::to_string(static_cast<int>(build)) + ", message of " +
                         std::to_string(c.msg.size()) + " bytes");
            mldsa::Keypair kp = mldsa::keypair_from_seed(std::span<const uint8_t, 32>(c.xi), build);
            EXPECT_EQ(to_vector(kp.public_key.as_bytes()), c.pk);
            EXPECT_EQ(to_vector(kp.secret_key.as_bytes()), c.sk);

            mldsa::DetachedSignature sig = mldsa::detached_sign(c.msg, kp.secret_key, build);
            EXPECT_EQ(to_vector(sig.as_bytes()), c.sig);
            EXPECT_TRUE(mldsa::verify_detached_signature(sig, c.msg, kp.public_key, build));
        }
}

TEST(MlDsa65, FreshKeysSignDeterministically) {
    mldsa::Keypair a = mldsa::keypair();
    mldsa::Keypair b = mldsa::keypair();
    EXPECT_NE(to_vector(a.public_key.as_bytes()), to_vector(b.public_key.as_bytes()));

    const Bytes msg = {'t', 'e', 's', 'v', 'i'};
    mldsa::DetachedSignature s1 = mldsa::detached_sign(msg, a.secret_key);
    mldsa::DetachedSignature s2 = mldsa::detached_sign(msg, a.secret_key);
    EXPECT_EQ(to_vector(s1.as_bytes()), to_vector(s2.as_bytes()));
    EXPECT_EQ(s1.size(), mldsa::SIGNATURE_BYTES);
    EXPECT_TRUE(mldsa::verify_detached_signature(s1, msg, a.public_key));
    EXPECT_FALSE(mldsa::verify_detached_signature(s1, msg, b.public_key));
}

// The signature layout: ctilde (48) || z (5 x 640) || hint positions (55) || row ends (6).
constexpr size_t HINT = 48 + 5 * 640;
constexpr size_t OMEGA = 55;

struct Tamper {
    const char* what;
    size_t case_index;
    std::function<void(Bytes& sig, Bytes& msg)> apply;
};

// Case 0 has 35 hint bits in rows ending at 6, 13, 19, 23, 29, 35. The first
// three rows rewrite its hint into encodings that a lax reader decodes to the
// same hint, so only the strict decoding refuses them; the fourth would send
// a lax reader past the end of the signature.
const Tamper tampers[] = {
    {"nonzero unused hint position", 0, [](Bytes& s, Bytes&) { s[HINT + OMEGA - 1] = 1; }},
    {"hint positions out of order", 0, [](Bytes& s, Bytes&) { std::swap(s[HINT], s[HINT + 1]); }},
    {"hint position repeated", 0,
     [](Bytes& s, Bytes&) {
         // Repeat the last position of row 0 and move the later rows up one.
         s.insert(s.begin() + HINT + 6, s[HINT + 5]);
         s.erase(s.begin() + HINT + OMEGA);
         for (size_t row = 0; row < 6; ++row) ++s[HINT + OMEGA + row];
     }},
    {"row end beyond the position bytes", 0, [](Bytes& s, Bytes&) { s[HINT + OMEGA + 5] = 255; }},
    {"row ends decreasing", 0, [](Bytes& s, Bytes&) { s[HINT + OMEGA + 1] = 5; }},
    {"ctilde byte", 2, [](Bytes& s, Bytes&) { s[0] ^= 1; }},
    {"last z byte", 2, [](Bytes& s, Bytes&) { s[HINT - 1] ^= 0x80; }},
    {"first message byte", 1, [](Bytes&, Bytes& m) { m.front() ^= 1; }},
    {"last message byte", 2, [](Bytes&, Bytes& m) { m.back() ^= 0x80; }},
    {"message extended", 0, [](Bytes&, Bytes& m) { m.push_back(0); }},
    {"message shortened", 1, [](Bytes&, Bytes& m) { m.pop_back(); }},
};

TEST(MlDsa65, RejectsAlteredSignaturesAndMessages) {
    for (const Tamper& t : tampers) {
        SCOPED_TRACE(t.what);
        const Case& c = cases()[t.case_index];
        Bytes sig = c.sig, msg = c.msg;
        ASSERT_TRUE(verifies(sig, msg, c.pk));
        t.apply(sig, msg);
        ASSERT_EQ(sig.size(), mldsa::SIGNATURE_BYTES);
        EXPECT_FALSE(verifies(sig, msg, c.pk));
    }
}

TEST(MlDsa65, RejectsOtherKeyAndShortSignature) {
    const Case& c = cases()[1];
    EXPECT_FALSE(verifies(c.sig, c.msg, cases()[2].pk));
    for (size_t len : {size_t{0}, size_t{1}, mldsa::SIGNATURE_BYTES - 1}) {
        SCOPED_TRACE(len);
        Bytes prefix(c.sig.begin(), c.sig.begin() + len);
        auto sig = mldsa::DetachedSignature::from_bytes(prefix);
        ASSERT_TRUE(sig.has_value());
        EXPECT_EQ(sig->size(), len);
        EXPECT_FALSE(verifies(prefix, c.msg, c.pk));
    }
}

TEST(MlDsa65, ByteConversionErrors) {
    struct Row {
        std::function<std::string(const Bytes&)> read;  // "" on success
        size_t len;
        const char* error;
    };
    auto error_of = [](auto result) { return result ? std::string() : result.error(); };
    auto pk = [&](const Bytes& b) { return error_of(mldsa::PublicKey::from_bytes(b)); };
    auto sk = [&](const Bytes& b) { return error_of(mldsa::SecretKey::from_bytes(b)); };
    auto sig = [&](const Bytes& b) { return error_of(mldsa::DetachedSignature::from_bytes(b)); };
    const Row rows[] = {
        {pk, 0, "error: PublicKey expected 1952 bytes, got 0"},
        {pk, 1951, "error: PublicKey expected 1952 bytes, got 1951"},
        {pk, 1953, "error: PublicKey expected 1952 bytes, got 1953"},
        {pk, 1952, ""},
        {sk, 32, "error: SecretKey expected 4032 bytes, got 32"},
        {sk, 4033, "error: SecretKey expected 4032 bytes, got 4033"},
        {sk, 4032, ""},
        {sig, 3310, "error: DetachedSignature expected 3309 bytes, got 3310"},
        {sig, 17088, "error: DetachedSignature expected 3309 bytes, got 17088"},
        {sig, 3309, ""},
        {sig, 0, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.len);
        EXPECT_EQ(r.read(Bytes(r.len, 0xAB)), r.error);
    }
}

}  // namespace
