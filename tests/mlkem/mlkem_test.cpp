#include "crypto/pqc/mlkem/kem.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "common/cpu.hpp"

#include "tests/support/hex.hpp"
#include "tests/support/mini_json.hpp"

namespace {

using namespace tesvi_crypto::pqc::mlkem;
using tesvi_crypto::pqc::Build;
using tesvi_test::Json;
using tesvi_test::unhex;
using Bytes = std::vector<uint8_t>;

template <class T>
Bytes bytes_of(const T& item) {
    return Bytes(item.bytes.begin(), item.bytes.end());
}

// The builds this processor runs: the AVX2 one too where it has AVX2.
std::vector<Build> builds() {
    std::vector<Build> out{Build::Portable};
    if (tesvi::cpu::has_avx2()) out.push_back(Build::Avx2);
    return out;
}

std::string build_name(Build b) {
    return b == Build::Avx2 ? "avx2 build" : "portable build";
}

const Json& vectors() {
    static const Json j = Json::load(TESVI_VECTORS_DIR "/pqc/mlkem.json");
    return j;
}

template <class S>
const char* set_name();
template <>
const char* set_name<MlKem512>() {
    return "ML-KEM-512";
}
template <>
const char* set_name<MlKem768>() {
    return "ML-KEM-768";
}
template <>
const char* set_name<MlKem1024>() {
    return "ML-KEM-1024";
}

template <class S>
class MlKemTest : public ::testing::Test {
  protected:
    using PublicKey = typename S::PublicKey;
    using SecretKey = typename S::SecretKey;
    using Ciphertext = typename S::Ciphertext;

    static const Json& set() { return vectors()[set_name<S>()]; }

    template <class T>
    static T parse(const std::string& hex) {
        auto r = T::from_bytes(unhex(hex));
        EXPECT_TRUE(r.has_value()) << r.error();
        return *r;
    }
};

using Schemes = ::testing::Types<MlKem512, MlKem768, MlKem1024>;
TYPED_TEST_SUITE(MlKemTest, Schemes);

TYPED_TEST(MlKemTest, KnownAnswersOnEveryBuild) {
    using S = TypeParam;
    const auto& cases = this->set()["cases"].items;
    ASSERT_FALSE(cases.empty());
    for (Build build : builds()) {
        for (size_t i = 0; i < cases.size(); ++i) {
            SCOPED_TRACE(build_name(build) + ", case " + std::to_string(i));
            const Json& c = cases[i];
            Bytes d_z = unhex(c["d"].text);
            const Bytes z = unhex(c["z"].text);
            d_z.insert(d_z.end(), z.begin(), z.end());
            ASSERT_EQ(d_z.size(), 64u);
            const Bytes m = unhex(c["m"].text);
            ASSERT_EQ(m.size(), 32u);

            const auto kp = S::keypair_derand(std::span<const uint8_t, 64>(d_z.data(), 64), build);
            EXPECT_EQ(bytes_of(kp.public_key), unhex(c["ek"].text));
            EXPECT_EQ(bytes_of(kp.secret_key), unhex(c["dk"].text));

            const auto enc = S::encapsulate_derand(
                kp.public_key, std::span<const uint8_t, 32>(m.data(), 32), build);
            EXPECT_EQ(bytes_of(enc.ciphertext), unhex(c["ct"].text));
            EXPECT_EQ(Bytes(enc.shared_secret.begin(), enc.shared_secret.end()),
                      unhex(c["ss"].text));

            // Decapsulation from the published bytes, not from our own outputs.
            const auto ct = this->template parse<typename TestFixture::Ciphertext>(c["ct"].text);
            const auto sk = this->template parse<typename TestFixture::SecretKey>(c["dk"].text);
            const SharedSecret ss = S::decapsulate(ct, sk, build);
            EXPECT_EQ(Bytes(ss.begin(), ss.end()), unhex(c["ss"].text));
        }
    }
}

TYPED_TEST(MlKemTest, ImplicitRejectionGivesJOfZAndCiphertextOnEveryBuild) {
    using S = TypeParam;
    const Json& rej = this->set()["implicit_rejection"];
    const Json& c = this->set()["cases"].items.at(rej["case"].u64());
    const auto sk = this->template parse<typename TestFixture::SecretKey>(c["dk"].text);
    const auto ct = this->template parse<typename TestFixture::Ciphertext>(rej["ct"].text);
    for (Build build : builds()) {
        SCOPED_TRACE(build_name(build));
        const SharedSecret ss = S::decapsulate(ct, sk, build);
        EXPECT_EQ(Bytes(ss.begin(), ss.end()), unhex(rej["ss"].text));
        EXPECT_NE(Bytes(ss.begin(), ss.end()), unhex(c["ss"].text));
    }
}

// Both builds over many seeds and messages: the same keys, ciphertexts and
// secrets, and the same answer to damaged and to random ciphertexts.
TYPED_TEST(MlKemTest, BuildsAgreeOnRandomInputsAndDamagedCiphertexts) {
    using S = TypeParam;
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2 on this processor";
    std::mt19937_64 rng(7 + S::P::PUBLICKEYBYTES);
    auto fill = [&](auto& bytes) {
        for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    };
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        uint8_t d_z[64], m[32];
        fill(d_z);
        fill(m);
        const auto kp = S::keypair_derand(d_z, Build::Portable);
        const auto kv = S::keypair_derand(d_z, Build::Avx2);
        ASSERT_EQ(kp.public_key.bytes, kv.public_key.bytes);
        ASSERT_EQ(kp.secret_key.bytes, kv.secret_key.bytes);

        const auto ep = S::encapsulate_derand(kp.public_key, m, Build::Portable);
        const auto ev = S::encapsulate_derand(kp.public_key, m, Build::Avx2);
        ASSERT_EQ(ep.ciphertext.bytes, ev.ciphertext.bytes);
        ASSERT_EQ(ep.shared_secret, ev.shared_secret);
        EXPECT_EQ(S::decapsulate(ep.ciphertext, kp.secret_key, Build::Avx2), ep.shared_secret);

        auto damaged = ep.ciphertext;
        damaged.bytes[rng() % damaged.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
        typename S::Ciphertext noise;
        fill(noise.bytes);
        for (const auto& ct : {damaged, noise}) {
            const SharedSecret sp = S::decapsulate(ct, kp.secret_key, Build::Portable);
            EXPECT_EQ(sp, S::decapsulate(ct, kp.secret_key, Build::Avx2));
            EXPECT_NE(sp, ep.shared_secret);
        }
    }
}

TYPED_TEST(MlKemTest, RandomEntryPointsRoundTrip) {
    using S = TypeParam;
    const auto a = S::keypair();
    const auto b = S::keypair();
    EXPECT_NE(a.public_key.bytes, b.public_key.bytes);
    EXPECT_NE(a.secret_key.bytes, b.secret_key.bytes);

    const auto e1 = S::encapsulate(a.public_key);
    const auto e2 = S::encapsulate(a.public_key);
    EXPECT_NE(e1.ciphertext.bytes, e2.ciphertext.bytes);
    EXPECT_NE(e1.shared_secret, e2.shared_secret);
    EXPECT_EQ(S::decapsulate(e1.ciphertext, a.secret_key), e1.shared_secret);
    EXPECT_EQ(S::decapsulate(e2.ciphertext, a.secret_key), e2.shared_secret);

    // Under another key the ciphertext is rejected implicitly: a different,
    // but repeatable, secret.
    const SharedSecret foreign = S::decapsulate(e1.ciphertext, b.secret_key);
    EXPECT_NE(foreign, e1.shared_secret);
    EXPECT_EQ(S::decapsulate(e1.ciphertext, b.secret_key), foreign);

    // A change in the last byte (the compressed v) is caught as well as one in the first.
    for (size_t pos : {size_t{0}, S::P::CIPHERTEXTBYTES - 1}) {
        auto ct = e1.ciphertext;
        ct.bytes[pos] ^= 0x80;
        EXPECT_NE(S::decapsulate(ct, a.secret_key), e1.shared_secret) << "byte " << pos;
    }
}

TYPED_TEST(MlKemTest, ByteConversionsAcceptOnlyTheExactLength) {
    struct Item {
        const char* name;
        size_t length;
        std::string (*convert)(const Bytes&);  // "" on success, else the error
    };
    using F = TestFixture;
    const Item items[] = {
        {"PublicKey", TypeParam::P::PUBLICKEYBYTES,
         [](const Bytes& b) {
             auto r = F::PublicKey::from_bytes(b);
             return r ? (bytes_of(*r) == b ? std::string() : "bytes changed") : r.error();
         }},
        {"SecretKey", TypeParam::P::SECRETKEYBYTES,
         [](const Bytes& b) {
             auto r = F::SecretKey::from_bytes(b);
             return r ? (bytes_of(*r) == b ? std::string() : "bytes changed") : r.error();
         }},
        {"Ciphertext", TypeParam::P::CIPHERTEXTBYTES,
         [](const Bytes& b) {
             auto r = F::Ciphertext::from_bytes(b);
             return r ? (bytes_of(*r) == b ? std::string() : "bytes changed") : r.error();
         }},
    };
    for (const Item& item : items) {
        Bytes exact(item.length);
        for (size_t i = 0; i < exact.size(); ++i) exact[i] = uint8_t(i * 31 + 7);
        EXPECT_EQ(item.convert(exact), "") << item.name;
        for (size_t n : {size_t{0}, item.length - 1, item.length + 1, size_t{1568} + 32}) {
            const std::string want = std::string("error: ") + item.name + " expected " +
                                     std::to_string(item.length) + " bytes, got " +
                                     std::to_string(n);
            EXPECT_EQ(item.convert(Bytes(n, 0xAB)), want);
        }
    }
}

}  // namespace
