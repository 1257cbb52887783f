#include "crypto/sign.hpp"

#include <algorithm>
#include <optional>

#include "crypto/pqc/mldsa/api.hpp"
#include "crypto/pqc/sphincs/sign.hpp"
#include "quantum/error.hpp"

namespace tesvi_crypto::sign {

namespace {

// Each scheme's types and calls under one set of names, so that everything
// below is written once for both.
struct MlDsa {
    using PublicKey = pqc::mldsa65::PublicKey;
    using SecretKey = pqc::mldsa65::SecretKey;
    using DetachedSignature = pqc::mldsa65::DetachedSignature;
    static auto keypair() { return pqc::mldsa65::keypair(); }
    static auto detached_sign(std::span<const uint8_t> msg, const SecretKey& sk) {
        return pqc::mldsa65::detached_sign(msg, sk);
    }
    static bool verify(const DetachedSignature& sig, std::span<const uint8_t> msg,
                       const PublicKey& pk) {
        return pqc::mldsa65::verify_detached_signature(sig, msg, pk);
    }
};

struct SlhDsa {
    using PublicKey = pqc::sphincs_shake_128f_simple::PublicKey;
    using SecretKey = pqc::sphincs_shake_128f_simple::SecretKey;
    using DetachedSignature = pqc::sphincs_shake_128f_simple::DetachedSignature;
    static auto keypair() { return pqc::sphincs_shake_128f_simple::keypair(); }
    static auto detached_sign(std::span<const uint8_t> msg, const SecretKey& sk) {
        return pqc::sphincs_shake_128f_simple::detached_sign(msg, sk);
    }
    static bool verify(const DetachedSignature& sig, std::span<const uint8_t> msg,
                       const PublicKey& pk) {
        return pqc::sphincs_shake_128f_simple::verify_detached_signature(sig, msg, pk);
    }
};

static_assert(MlDsa::PublicKey::size() == MAX_PUBLIC_KEY_BYTES &&
              SlhDsa::PublicKey::size() <= MAX_PUBLIC_KEY_BYTES);
static_assert(MlDsa::SecretKey::size() == MAX_SECRET_KEY_BYTES &&
              SlhDsa::SecretKey::size() <= MAX_SECRET_KEY_BYTES);

// Calls f with the traits of `scheme`. The readers only make the two named
// schemes, so any other value is a forged enum.
template <class F>
decltype(auto) with_scheme(SignatureScheme scheme, F&& f) {
    switch (scheme) {
        case SignatureScheme::MlDsa:
            return f(MlDsa{});
        case SignatureScheme::SlhDsa:
            return f(SlhDsa{});
    }
    throw tesvi_quantum::error::InternalFault("signature scheme value out of range");
}

// The scheme's own key type from the leading bytes of a wrapper key.
template <class Key, size_t M>
Key scheme_key(const std::array<uint8_t, M>& bytes) {
    Key key;
    std::copy_n(bytes.begin(), Key::size(), key.bytes.begin());
    return key;
}

// The scheme's conversion decides which lengths read and words the refusal.
template <class Parsed>
error::Result<void> accepted(const tesvi::Expected<Parsed, std::string>& parsed) {
    if (!parsed) return error::invalid_key_material(parsed.error());
    return {};
}

std::optional<SignatureScheme> scheme_of_marker(uint8_t m) {
    for (SignatureScheme s : {SignatureScheme::MlDsa, SignatureScheme::SlhDsa}) {
        if (marker(s) == m) return s;
    }
    return std::nullopt;
}

// Empty input, then the marker, then the body: the first failure decides.
template <class Item>
error::Result<Item> read_serialized(std::span<const uint8_t> data, const char* empty_message) {
    if (data.empty()) return error::invalid_key_material(empty_message);
    std::optional<SignatureScheme> scheme = scheme_of_marker(data[0]);
    if (!scheme) return error::invalid_key_material("unknown signature scheme marker");
    return Item::from_bytes(*scheme, data.subspan(1));
}

std::vector<uint8_t> serialize(SignatureScheme scheme, std::span<const uint8_t> body) {
    std::vector<uint8_t> out;
    out.reserve(body.size() + 1);
    out.push_back(marker(scheme));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// A key of `scheme` from bytes already checked to be its length.
template <class Key>
Key make_key(SignatureScheme scheme, std::span<const uint8_t> body) {
    Key key;
    key.scheme = scheme;
    std::copy(body.begin(), body.end(), key.bytes.begin());
    return key;
}

}  // namespace

SchemeSizes sizes(SignatureScheme scheme) {
    return with_scheme(scheme, [](auto s) {
        using S = decltype(s);
        return SchemeSizes{S::PublicKey::size(), S::SecretKey::size(),
                           S::DetachedSignature::max_size()};
    });
}

std::span<const uint8_t> SignPublicKey::body() const {
    return {bytes.data(), sizes(scheme).public_key};
}

std::span<const uint8_t> SignSecretKey::body() const {
    return {bytes.data(), sizes(scheme).secret_key};
}

error::Result<SignPublicKey> SignPublicKey::from_bytes(SignatureScheme scheme,
                                                       std::span<const uint8_t> key) {
    auto ok = with_scheme(
        scheme, [&](auto s) { return accepted(decltype(s)::PublicKey::from_bytes(key)); });
    if (!ok) return error::fail(ok.error());
    return make_key<SignPublicKey>(scheme, key);
}

error::Result<SignSecretKey> SignSecretKey::from_bytes(SignatureScheme scheme,
                                                       std::span<const uint8_t> key) {
    auto ok = with_scheme(
        scheme, [&](auto s) { return accepted(decltype(s)::SecretKey::from_bytes(key)); });
    if (!ok) return error::fail(ok.error());
    return make_key<SignSecretKey>(scheme, key);
}

error::Result<Signature> Signature::from_bytes(SignatureScheme scheme,
                                               std::span<const uint8_t> sig) {
    auto ok = with_scheme(
        scheme, [&](auto s) { return accepted(decltype(s)::DetachedSignature::from_bytes(sig)); });
    if (!ok) return error::fail(ok.error());
    return Signature{std::vector<uint8_t>(sig.begin(), sig.end()), scheme};
}

error::Result<SignPublicKey> SignPublicKey::from_serialized(std::span<const uint8_t> data) {
    return read_serialized<SignPublicKey>(data, "serialized public key is empty");
}

error::Result<SignSecretKey> SignSecretKey::from_serialized(std::span<const uint8_t> data) {
    return read_serialized<SignSecretKey>(data, "serialized secret key is empty");
}

error::Result<Signature> Signature::from_serialized(std::span<const uint8_t> data) {
    return read_serialized<Signature>(data, "serialized signature is empty");
}

std::vector<uint8_t> SignPublicKey::to_bytes() const {
    return serialize(scheme, body());
}
std::vector<uint8_t> SignSecretKey::to_bytes() const {
    return serialize(scheme, body());
}
std::vector<uint8_t> Signature::to_bytes() const {
    return serialize(scheme, bytes);
}

SignKeyPair keygen_with_scheme(SignatureScheme scheme) {
    return with_scheme(scheme, [&](auto s) {
        auto kp = decltype(s)::keypair();
        return SignKeyPair{make_key<SignPublicKey>(scheme, kp.public_key.as_bytes()),
                           make_key<SignSecretKey>(scheme, kp.secret_key.as_bytes())};
    });
}

Signature sign(const SignSecretKey& secret_key, std::span<const uint8_t> message) {
    return with_scheme(secret_key.scheme, [&](auto s) {
        using S = decltype(s);
        auto sig = S::detached_sign(message, scheme_key<typename S::SecretKey>(secret_key.bytes));
        auto bytes = sig.as_bytes();
        return Signature{std::vector<uint8_t>(bytes.begin(), bytes.end()), secret_key.scheme};
    });
}

bool verify(const SignPublicKey& public_key, std::span<const uint8_t> message,
            const Signature& signature) {
    if (public_key.scheme != signature.scheme) return false;
    return with_scheme(public_key.scheme, [&](auto s) {
        using S = decltype(s);
        // Refuses only a signature longer than the scheme's maximum.
        auto detached = S::DetachedSignature::from_bytes(signature.bytes);
        if (!detached) return false;
        return S::verify(*detached, message, scheme_key<typename S::PublicKey>(public_key.bytes));
    });
}

}  // namespace tesvi_crypto::sign
