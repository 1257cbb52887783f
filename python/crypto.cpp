// The crypto functions. Keys, ciphertexts and signatures cross into Python
// only in their serialized byte form.
#include "python/crypto.hpp"

#include <optional>
#include <string>
#include <utility>

#include "common/text.hpp"
#include "crypto/hash/sha3.hpp"
#include "crypto/kem.hpp"
#include "crypto/qrng/qrng.hpp"
#include "crypto/sign.hpp"
#include "python/binding/call.hpp"
#include "python/binding/module.hpp"

namespace tesvi_python::crypto {
namespace {

namespace kem = tesvi_crypto::kem;
namespace sig = tesvi_crypto::sign;
namespace hash = tesvi_crypto::hash;
namespace qrng = tesvi_crypto::qrng;
using Bytes = std::vector<uint8_t>;
using BytePair = std::pair<Bytes, Bytes>;
using tesvi_crypto::kem::KemLevel;
using tesvi_crypto::sign::SignatureScheme;

template <class T>
using Checked = tesvi::Expected<T, Error>;

// Trimmed of white space and with ASCII letters lower-cased, for alias lookup.
std::string normalise(std::string_view name) {
    return tesvi::text::ascii_lower(tesvi::text::trim(name));
}

template <class T, size_t N>
std::optional<T> lookup(const std::string& name, const std::pair<const char*, T> (&aliases)[N]) {
    for (const auto& [alias, value] : aliases)
        if (name == alias) return value;
    return std::nullopt;
}

Checked<KemLevel> kem_level(const std::optional<std::string>& level) {
    static constexpr std::pair<const char*, KemLevel> ALIASES[] = {
        {"1", KemLevel::Level1},           {"level1", KemLevel::Level1},
        {"level_1", KemLevel::Level1},     {"mlkem512", KemLevel::Level1},
        {"ml-kem-512", KemLevel::Level1},  {"3", KemLevel::Level3},
        {"level3", KemLevel::Level3},      {"level_3", KemLevel::Level3},
        {"mlkem768", KemLevel::Level3},    {"ml-kem-768", KemLevel::Level3},
        {"5", KemLevel::Level5},           {"level5", KemLevel::Level5},
        {"level_5", KemLevel::Level5},     {"mlkem1024", KemLevel::Level5},
        {"ml-kem-1024", KemLevel::Level5},
    };
    if (!level) return KemLevel::Level3;
    const std::string name = normalise(*level);
    if (auto found = lookup(name, ALIASES)) return *found;
    return tesvi::unexpected(
        value_error("unknown ML-KEM level '" + name + "'; expected level1, level3, or level5"));
}

Checked<SignatureScheme> signature_scheme(const std::optional<std::string>& scheme) {
    static constexpr std::pair<const char*, SignatureScheme> ALIASES[] = {
        {"mldsa", SignatureScheme::MlDsa},     {"ml_dsa", SignatureScheme::MlDsa},
        {"ml-dsa", SignatureScheme::MlDsa},    {"dilithium", SignatureScheme::MlDsa},
        {"slhdsa", SignatureScheme::SlhDsa},   {"slh_dsa", SignatureScheme::SlhDsa},
        {"slh-dsa", SignatureScheme::SlhDsa},  {"sphincs", SignatureScheme::SlhDsa},
        {"sphincs+", SignatureScheme::SlhDsa},
    };
    if (!scheme) return SignatureScheme::MlDsa;
    const std::string name = normalise(*scheme);
    if (auto found = lookup(name, ALIASES)) return *found;
    return tesvi::unexpected(
        value_error("unknown signature scheme '" + name + "'; expected ml_dsa or slh_dsa"));
}

Checked<BytePair> kem_keygen(std::optional<std::string> level) {
    auto l = kem_level(level);
    if (!l) return tesvi::unexpected(std::move(l).error());
    const auto pair = kem::keygen_with_level(*l);
    return BytePair{pair.public_key.to_bytes(), pair.secret_key.to_bytes()};
}

Checked<BytePair> kem_encapsulate(std::span<const uint8_t> public_key) {
    auto pk = kem::PublicKey::from_serialized(public_key);
    if (!pk) return tesvi::unexpected(value_error(pk.error()));
    const auto enc = kem::encapsulate(*pk);
    return BytePair{enc.ciphertext.to_bytes(),
                    Bytes(enc.shared_secret.begin(), enc.shared_secret.end())};
}

// A key or ciphertext that does not parse is a ValueError; a failed
// decapsulation of parsed inputs is a RuntimeError.
Checked<Bytes> kem_decapsulate(std::span<const uint8_t> secret_key,
                               std::span<const uint8_t> ciphertext) {
    auto sk = kem::SecretKey::from_serialized(secret_key);
    if (!sk) return tesvi::unexpected(value_error(sk.error()));
    auto ct = kem::Ciphertext::from_serialized(ciphertext);
    if (!ct) return tesvi::unexpected(value_error(ct.error()));
    auto ss = kem::decapsulate(*sk, *ct);
    if (!ss) return tesvi::unexpected(runtime_error(ss.error()));
    return Bytes(ss->begin(), ss->end());
}

Checked<BytePair> sign_keygen(std::optional<std::string> scheme) {
    auto s = signature_scheme(scheme);
    if (!s) return tesvi::unexpected(std::move(s).error());
    const auto pair = sig::keygen_with_scheme(*s);
    return BytePair{pair.public_key.to_bytes(), pair.secret_key.to_bytes()};
}

Checked<Bytes> sign(std::span<const uint8_t> secret_key, std::span<const uint8_t> message) {
    auto sk = sig::SignSecretKey::from_serialized(secret_key);
    if (!sk) return tesvi::unexpected(value_error(sk.error()));
    return sig::sign(*sk, message).to_bytes();
}

Checked<bool> verify(std::span<const uint8_t> public_key, std::span<const uint8_t> message,
                     std::span<const uint8_t> signature) {
    auto pk = sig::SignPublicKey::from_serialized(public_key);
    if (!pk) return tesvi::unexpected(value_error(pk.error()));
    auto s = sig::Signature::from_serialized(signature);
    if (!s) return tesvi::unexpected(value_error(s.error()));
    return sig::verify(*pk, message, *s);
}

auto sha3_256(std::span<const uint8_t> data) {
    return hash::sha3_256(data);
}
auto sha3_512(std::span<const uint8_t> data) {
    return hash::sha3_512(data);
}
auto shake128(std::span<const uint8_t> data, uint64_t n) {
    return hash::shake128(data, n);
}
auto shake256(std::span<const uint8_t> data, uint64_t n) {
    return hash::shake256(data, n);
}
auto random_bytes(uint64_t n) {
    return qrng::random_bytes(n);
}
auto random_bits(uint64_t n) {
    return qrng::random_bits(n);
}

constexpr Param kLevel[] = {defaulted("level")};
constexpr Param kPublicKey[] = {required("public_key")};
constexpr Param kDecapsulate[] = {required("secret_key"), required("ciphertext")};
constexpr Param kScheme[] = {defaulted("scheme")};
constexpr Param kSign[] = {required("secret_key"), required("message")};
constexpr Param kVerify[] = {required("public_key"), required("message"), required("signature")};
constexpr Param kData[] = {required("data")};
constexpr Param kShake[] = {required("data"), required("output_len")};
constexpr Param kCount[] = {required("n")};

// No doc texts: the docstrings are text signatures alone, and __doc__ is None.
constexpr Signature kKemKeygen{nullptr, "kem_keygen", kLevel};
constexpr Signature kKemEncapsulate{nullptr, "kem_encapsulate", kPublicKey};
constexpr Signature kKemDecapsulate{nullptr, "kem_decapsulate", kDecapsulate};
constexpr Signature kSignKeygen{nullptr, "sign_keygen", kScheme};
constexpr Signature kSignSig{nullptr, "sign", kSign};
constexpr Signature kVerifySig{nullptr, "verify", kVerify};
constexpr Signature kSha3_256{nullptr, "sha3_256", kData};
constexpr Signature kSha3_512{nullptr, "sha3_512", kData};
constexpr Signature kShake128{nullptr, "shake128", kShake};
constexpr Signature kShake256{nullptr, "shake256", kShake};
constexpr Signature kRandomBytes{nullptr, "random_bytes", kCount};
constexpr Signature kRandomBits{nullptr, "random_bits", kCount};
constexpr Signature kRandomSeedSig{nullptr, "random_seed"};
constexpr Signature kRandomU64Sig{nullptr, "random_u64"};

PyMethodDef functions[] = {
    function<kKemKeygen, &kem_keygen>(),
    function<kKemEncapsulate, &kem_encapsulate>(),
    function<kKemDecapsulate, &kem_decapsulate>(),
    function<kSignKeygen, &sign_keygen>(),
    function<kSignSig, &sign>(),
    function<kVerifySig, &verify>(),
    function<kSha3_256, &sha3_256>(),
    function<kSha3_512, &sha3_512>(),
    function<kShake128, &shake128>(),
    function<kShake256, &shake256>(),
    function<kRandomBytes, &random_bytes>(),
    function<kRandomBits, &random_bits>(),
    function_noargs<kRandomSeedSig, &qrng::random_seed>(),
    function_noargs<kRandomU64Sig, &qrng::random_u64>(),
};

}  // namespace

int register_functions(PyObject* module) {
    return add_functions(module, functions);
}

}  // namespace tesvi_python::crypto
