#include "crypto/sign.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/hex.hpp"
#include "tests/support/mini_json.hpp"

namespace {

using namespace tesvi_crypto::sign;
using Bytes = std::vector<uint8_t>;
using tesvi_test::unhex;

struct SchemeCase {
    SignatureScheme scheme;
    uint8_t marker;
    size_t public_key, secret_key, signature;
    bool deterministic;
    const char* vectors;
};

const SchemeCase kSchemes[] = {
    {SignatureScheme::MlDsa, 1, 1952, 4032, 3309, true, "mldsa65.json"},
    {SignatureScheme::SlhDsa, 2, 32, 64, 17088, false, "sphincs_shake_128f_simple.json"},
};

const Bytes kMessage = {'s', 'i', 'g', 'n', ' ', 'm', 'e'};

TEST(Sign, KeygenSignVerifyAndSerializedSizes) {
    for (const SchemeCase& c : kSchemes) {
        SCOPED_TRACE(int(c.marker));
        auto kp = keygen_with_scheme(c.scheme);
        EXPECT_EQ(kp.public_key.scheme, c.scheme);
        EXPECT_EQ(kp.secret_key.scheme, c.scheme);
        Bytes pk = kp.public_key.to_bytes(), sk = kp.secret_key.to_bytes();
        ASSERT_EQ(pk.size(), c.public_key + 1);
        ASSERT_EQ(sk.size(), c.secret_key + 1);
        EXPECT_EQ(pk[0], c.marker);
        EXPECT_EQ(sk[0], c.marker);

        Signature a = sign(kp.secret_key, kMessage);
        Signature b = sign(kp.secret_key, kMessage);
        EXPECT_EQ(a.scheme, c.scheme);
        EXPECT_EQ(a.bytes.size(), c.signature);
        EXPECT_EQ(a == b, c.deterministic);
        EXPECT_TRUE(verify(kp.public_key, kMessage, a));
        EXPECT_TRUE(verify(kp.public_key, kMessage, b));

        Bytes sig = a.to_bytes();
        ASSERT_EQ(sig.size(), c.signature + 1);
        EXPECT_EQ(sig[0], c.marker);

        // Everything goes through the serialized forms and back unchanged.
        auto pk2 = SignPublicKey::from_serialized(pk);
        auto sk2 = SignSecretKey::from_serialized(sk);
        auto sig2 = Signature::from_serialized(sig);
        ASSERT_TRUE(pk2 && sk2 && sig2);
        EXPECT_EQ(*pk2, kp.public_key);
        EXPECT_EQ(*sk2, kp.secret_key);
        EXPECT_EQ(*sig2, a);
        EXPECT_TRUE(verify(*pk2, kMessage, *sig2));

        Bytes changed = kMessage;
        changed[3] ^= 0x01;
        EXPECT_FALSE(verify(kp.public_key, changed, a));
        EXPECT_FALSE(verify(keygen_with_scheme(c.scheme).public_key, kMessage, a));
    }
}

// The wrapper hands the published key and signature bytes through unchanged:
// the vectors' signatures verify, and the deterministic scheme reproduces its.
TEST(Sign, KnownAnswerVectorsThroughTheWrapper) {
    for (const SchemeCase& c : kSchemes) {
        SCOPED_TRACE(c.vectors);
        auto doc = tesvi_test::Json::load(std::string(TESVI_VECTORS_DIR "/pqc/") + c.vectors);
        for (const auto& v : doc["cases"].items) {
            Bytes msg = unhex(v["msg"].text);
            auto pk = SignPublicKey::from_bytes(c.scheme, unhex(v["pk"].text));
            auto sk = SignSecretKey::from_bytes(c.scheme, unhex(v["sk"].text));
            auto sig = Signature::from_bytes(c.scheme, unhex(v["sig"].text));
            ASSERT_TRUE(pk && sk && sig);
            EXPECT_TRUE(verify(*pk, msg, *sig));
            if (c.deterministic) {
                EXPECT_EQ(sign(*sk, msg).bytes, sig->bytes);
            }
        }
    }
}

TEST(Sign, MismatchedAndMalformedSignaturesVerifyFalse) {
    auto ml = keygen_with_scheme(SignatureScheme::MlDsa);
    auto slh = keygen_with_scheme(SignatureScheme::SlhDsa);
    Signature ml_sig = sign(ml.secret_key, kMessage);
    Signature slh_sig = sign(slh.secret_key, kMessage);

    EXPECT_FALSE(verify(slh.public_key, kMessage, ml_sig));
    EXPECT_FALSE(verify(ml.public_key, kMessage, slh_sig));

    // Only the marker: an empty signature.
    auto empty = Signature::from_serialized(Bytes{2});
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->bytes.empty());
    EXPECT_FALSE(verify(slh.public_key, kMessage, *empty));

    for (Signature* s : {&ml_sig, &slh_sig}) {
        const SignPublicKey& pk = s == &ml_sig ? ml.public_key : slh.public_key;
        Signature truncated = *s;
        truncated.bytes.pop_back();
        EXPECT_FALSE(verify(pk, kMessage, truncated));
        // Longer than any reader accepts; only a hand-built value gets here.
        Signature overlong = *s;
        overlong.bytes.push_back(0);
        EXPECT_FALSE(verify(pk, kMessage, overlong));
        Signature flipped = *s;
        flipped.bytes[flipped.bytes.size() / 2] ^= 0x40;
        EXPECT_FALSE(verify(pk, kMessage, flipped));
    }
}

Bytes serialized(uint8_t marker, size_t body) {
    Bytes out(body + 1, 0x5a);
    out[0] = marker;
    return out;
}

// Reader check order: empty, marker, body length; the first failure decides.
TEST(Sign, SerializedReadersReportTheFirstFailure) {
    enum Kind { Pk, Sk, Sig };
    struct Case {
        Kind kind;
        Bytes data;
        const char* message;  // empty: reads
    };
    const Case cases[] = {
        {Pk, {}, "serialized public key is empty"},
        {Sk, {}, "serialized secret key is empty"},
        {Sig, {}, "serialized signature is empty"},
        {Pk, {0}, "unknown signature scheme marker"},
        {Sk, serialized(3, 64), "unknown signature scheme marker"},
        {Sig, serialized(0, 3309), "unknown signature scheme marker"},
        {Sig, serialized(0xff, 0), "unknown signature scheme marker"},
        {Pk, serialized(1, 32), "error: PublicKey expected 1952 bytes, got 32"},
        {Pk, serialized(2, 1952), "error: PublicKey expected 32 bytes, got 1952"},
        {Pk, {1}, "error: PublicKey expected 1952 bytes, got 0"},
        {Sk, serialized(1, 4033), "error: SecretKey expected 4032 bytes, got 4033"},
        {Sk, serialized(2, 63), "error: SecretKey expected 64 bytes, got 63"},
        {Sig, serialized(1, 3310), "error: DetachedSignature expected 3309 bytes, got 3310"},
        {Sig, serialized(2, 17089), "error: DetachedSignature expected 17088 bytes, got 17089"},
        {Pk, serialized(1, 1952), ""},
        {Pk, serialized(2, 32), ""},
        {Sk, serialized(1, 4032), ""},
        {Sk, serialized(2, 64), ""},
        {Sig, serialized(1, 3309), ""},
        {Sig, serialized(1, 100), ""},
        {Sig, serialized(2, 17088), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.kind) + " " + std::to_string(c.data.size()) + " " +
                     c.message);
        auto check = [&](auto result) {
            if (*c.message == '\0') {
                ASSERT_TRUE(result);
                EXPECT_EQ(result->to_bytes(), c.data);
            } else {
                ASSERT_FALSE(result);
                ASSERT_TRUE(
                    result.error()
                        .template is<tesvi_crypto::error::CryptoError::InvalidKeyMaterial>());
                EXPECT_EQ(result.error().message(),
                          std::string("invalid key material: ") + c.message);
            }
        };
        if (c.kind == Pk) check(SignPublicKey::from_serialized(c.data));
        if (c.kind == Sk) check(SignSecretKey::from_serialized(c.data));
        if (c.kind == Sig) check(Signature::from_serialized(c.data));
    }
}

}  // namespace
