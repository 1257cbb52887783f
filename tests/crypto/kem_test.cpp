#include "crypto/kem.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/hash/sha3.hpp"

namespace {

using namespace tesvi_crypto::kem;
using tesvi_crypto::error::CryptoError;
using Bytes = std::vector<uint8_t>;

struct LevelCase {
    KemLevel level;
    uint8_t marker;
    size_t public_key, secret_key, ciphertext;  // serialized lengths
};

const LevelCase LEVELS[] = {
    {KemLevel::Level1, 1, 801, 1633, 801},
    {KemLevel::Level3, 3, 1185, 2401, 1121},
    {KemLevel::Level5, 5, 1569, 3169, 1601},
};

class KemLevels : public ::testing::TestWithParam<LevelCase> {};
INSTANTIATE_TEST_SUITE_P(AllLevels, KemLevels, ::testing::ValuesIn(LEVELS));

TEST_P(KemLevels, SerializedFormsRoundTrip) {
    const LevelCase& c = GetParam();
    const auto [pk, sk] = keygen_with_level(c.level);
    const auto [ct, ss] = encapsulate(pk);
    EXPECT_EQ(pk.level, c.level);
    EXPECT_EQ(sk.level, c.level);
    EXPECT_EQ(ct.level, c.level);

    const Bytes pk_bytes = pk.to_bytes(), sk_bytes = sk.to_bytes(), ct_bytes = ct.to_bytes();
    ASSERT_EQ(pk_bytes.size(), c.public_key);
    ASSERT_EQ(sk_bytes.size(), c.secret_key);
    ASSERT_EQ(ct_bytes.size(), c.ciphertext);
    for (const Bytes* b : {&pk_bytes, &sk_bytes, &ct_bytes}) EXPECT_EQ((*b)[0], c.marker);

    EXPECT_EQ(PublicKey::from_serialized(pk_bytes).value(), pk);
    EXPECT_EQ(SecretKey::from_serialized(sk_bytes).value(), sk);
    EXPECT_EQ(Ciphertext::from_serialized(ct_bytes).value(), ct);

    // The tag sits between the marker and the ciphertext bytes, and is
    // SHA3-256 over marker || shared secret || ciphertext bytes.
    const Bytes tag(ct_bytes.begin() + 1, ct_bytes.begin() + 33);
    const Bytes body(ct_bytes.begin() + 33, ct_bytes.end());
    EXPECT_EQ(tag, Bytes(ct.tag.begin(), ct.tag.end()));
    EXPECT_EQ(body, Bytes(ct.body().begin(), ct.body().end()));
    Bytes tagged{c.marker};
    tagged.insert(tagged.end(), ss.begin(), ss.end());
    tagged.insert(tagged.end(), body.begin(), body.end());
    const auto expected_tag = tesvi_crypto::hash::sha3_256(tagged);
    EXPECT_EQ(tag, Bytes(expected_tag.begin(), expected_tag.end()));
}

TEST_P(KemLevels, DecapsulationRecoversTheSecret) {
    const auto [pk, sk] = keygen_with_level(GetParam().level);
    const auto first = encapsulate(pk);
    const auto second = encapsulate(pk);
    EXPECT_NE(first.ciphertext, second.ciphertext);
    EXPECT_NE(first.shared_secret, second.shared_secret);
    for (const auto* e : {&first, &second}) {
        const auto ss = decapsulate(sk, e->ciphertext);
        ASSERT_TRUE(ss.has_value()) << ss.error().message();
        EXPECT_EQ(*ss, e->shared_secret);
    }
}

TEST_P(KemLevels, EveryChangedCiphertextByteFailsTheIntegrityCheck) {
    const auto [pk, sk] = keygen_with_level(GetParam().level);
    const Bytes ct_bytes = encapsulate(pk).ciphertext.to_bytes();
    for (size_t pos = 1; pos < ct_bytes.size(); ++pos) {
        Bytes damaged = ct_bytes;
        damaged[pos] ^= 0x01;
        const auto ss = decapsulate(sk, Ciphertext::from_serialized(damaged).value());
        ASSERT_FALSE(ss.has_value()) << "byte " << pos;
        EXPECT_TRUE(ss.error().is<CryptoError::IntegrityCheckFailed>()) << "byte " << pos;
    }

    // A well-formed ciphertext made for another key of the same level.
    const auto other = keygen_with_level(GetParam().level);
    const auto ss = decapsulate(sk, encapsulate(other.public_key).ciphertext);
    ASSERT_FALSE(ss.has_value());
    EXPECT_EQ(ss.error().message(), "ciphertext integrity check failed");
}

TEST(Kem, MismatchedLevelsAreRefusedBeforeDecapsulating) {
    const auto level1 = keygen_with_level(KemLevel::Level1);
    const auto level3 = keygen_with_level(KemLevel::Level3);
    const auto ss = decapsulate(level3.secret_key, encapsulate(level1.public_key).ciphertext);
    ASSERT_FALSE(ss.has_value());
    EXPECT_EQ(ss.error().message(),
              "invalid key material: key and ciphertext security levels do not match");
}

// A level-1 public key and a level-1 ciphertext have the same serialized
// length; only the reader tells them apart, and the tag catches the mix-up.
TEST(Kem, PublicKeyReadAsCiphertextFailsTheIntegrityCheck) {
    const auto [pk, sk] = keygen_with_level(KemLevel::Level1);
    const auto ct = Ciphertext::from_serialized(pk.to_bytes());
    ASSERT_TRUE(ct.has_value()) << ct.error().message();
    const auto ss = decapsulate(sk, *ct);
    ASSERT_FALSE(ss.has_value());
    EXPECT_TRUE(ss.error().is<CryptoError::IntegrityCheckFailed>());
}

enum class Reader { PublicKey, SecretKey, Ciphertext };

// The display text of the reader's error, or "" when it accepts the bytes.
std::string read(Reader reader, const Bytes& data) {
    auto text = [](const auto& r) { return r ? std::string() : r.error().message(); };
    switch (reader) {
        case Reader::PublicKey:
            return text(PublicKey::from_serialized(data));
        case Reader::SecretKey:
            return text(SecretKey::from_serialized(data));
        case Reader::Ciphertext:
            return text(Ciphertext::from_serialized(data));
    }
    return "unknown reader";
}

Bytes with_marker(uint8_t marker, size_t total) {
    Bytes b(total, 0x5A);
    if (total > 0) b[0] = marker;
    return b;
}

TEST(Kem, ReadersCheckEmptinessTagMarkerThenLength) {
    struct Case {
        Reader reader;
        Bytes data;
        const char* message;  // after "invalid key material: "; "" for accepted
    };
    const Case cases[] = {
        {Reader::PublicKey, {}, "serialized public key is empty"},
        {Reader::SecretKey, {}, "serialized secret key is empty"},
        {Reader::Ciphertext, {}, "serialized ciphertext is empty"},
        {Reader::Ciphertext, with_marker(1, 1),
         "serialized ciphertext is missing integrity tag bytes"},
        {Reader::Ciphertext, with_marker(0, 32),
         "serialized ciphertext is missing integrity tag bytes"},
        {Reader::Ciphertext, with_marker(1, 33), "error: Ciphertext expected 768 bytes, got 0"},
        {Reader::Ciphertext, with_marker(2, 33), "unknown ML-KEM security level marker"},
        {Reader::PublicKey, with_marker(3, 101), "error: PublicKey expected 1184 bytes, got 100"},
        {Reader::PublicKey, with_marker(1, 1), "error: PublicKey expected 800 bytes, got 0"},
        {Reader::SecretKey, with_marker(5, 3170), "error: SecretKey expected 3168 bytes, got 3169"},
        {Reader::SecretKey, with_marker(1, 1632), "error: SecretKey expected 1632 bytes, got 1631"},
        {Reader::Ciphertext, with_marker(3, 801), "error: Ciphertext expected 1088 bytes, got 768"},
        {Reader::Ciphertext, with_marker(5, 1601), ""},
        {Reader::SecretKey, with_marker(3, 2401), ""},
    };
    for (const Case& c : cases) {
        const std::string want =
            *c.message ? std::string("invalid key material: ") + c.message : std::string();
        EXPECT_EQ(read(c.reader, c.data), want)
            << "reader " << int(c.reader) << ", " << c.data.size() << " bytes";
    }

    // A marker other than 1, 3, 5 is refused whatever the length.
    for (uint8_t marker : {0, 2, 4, 6, 255}) {
        for (Reader reader : {Reader::PublicKey, Reader::SecretKey, Reader::Ciphertext}) {
            for (size_t total : {size_t{33}, size_t{801}, size_t{1601}}) {
                EXPECT_EQ(read(reader, with_marker(marker, total)),
                          "invalid key material: unknown ML-KEM security level marker")
                    << "marker " << int(marker);
            }
        }
    }
}

// Flipping the marker of a level-1 ciphertext to 3 reads the body against
// level 3's length.
TEST(Kem, ChangedMarkerGivesTheOtherLevelsLengthError) {
    const auto [pk, sk] = keygen_with_level(KemLevel::Level1);
    Bytes ct = encapsulate(pk).ciphertext.to_bytes();
    ct[0] = 3;
    EXPECT_EQ(read(Reader::Ciphertext, ct),
              "invalid key material: error: Ciphertext expected 1088 bytes, got 768");
}

TEST(Kem, RawBytesReadersTakeExactlyTheLevelsLength) {
    const Tag tag{};
    for (const LevelCase& c : LEVELS) {
        const LevelSizes n = sizes(c.level);
        EXPECT_EQ(n.public_key + 1, c.public_key);
        EXPECT_EQ(n.secret_key + 1, c.secret_key);
        EXPECT_EQ(n.ciphertext + 33, c.ciphertext);
        EXPECT_TRUE(PublicKey::from_bytes(c.level, Bytes(n.public_key)).has_value());
        EXPECT_EQ(SecretKey::from_bytes(c.level, Bytes(n.secret_key + 1)).error().message(),
                  "invalid key material: error: SecretKey expected " +
                      std::to_string(n.secret_key) + " bytes, got " +
                      std::to_string(n.secret_key + 1));
        EXPECT_EQ(Ciphertext::from_bytes(c.level, Bytes(n.ciphertext - 1), tag).error().message(),
                  "invalid key material: error: Ciphertext expected " +
                      std::to_string(n.ciphertext) + " bytes, got " +
                      std::to_string(n.ciphertext - 1));
    }
}

}  // namespace
