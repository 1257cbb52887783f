#include "crypto/kem.hpp"

#include <algorithm>

#include "crypto/hash/sponge.hpp"
#include "crypto/pqc/mlkem/kem.hpp"
#include "quantum/error.hpp"

namespace tesvi_crypto::kem {
namespace {

using error::CryptoError;
using error::invalid_key_material;
using error::Result;
namespace mlkem = pqc::mlkem;

// Calls f with the parameter set of the level (an empty tag object).
template <class F>
decltype(auto) with_scheme(KemLevel level, F&& f) {
    switch (level) {
        case KemLevel::Level1:
            return f(mlkem::MlKem512{});
        case KemLevel::Level3:
            return f(mlkem::MlKem768{});
        case KemLevel::Level5:
            return f(mlkem::MlKem1024{});
    }
    throw tesvi_quantum::error::InternalFault("KemLevel out of range");
}

// The parameter set's own type for each of ours.
template <class Item>
struct Raw;
template <>
struct Raw<PublicKey> {
    template <class S>
    using type = typename S::PublicKey;
};
template <>
struct Raw<SecretKey> {
    template <class S>
    using type = typename S::SecretKey;
};
template <>
struct Raw<Ciphertext> {
    template <class S>
    using type = typename S::Ciphertext;
};

template <class Item, class RawItem>
Item wrap(KemLevel level, const RawItem& raw) {
    Item out;
    out.level = level;
    std::copy(raw.bytes.begin(), raw.bytes.end(), out.bytes.begin());
    return out;
}

template <class RawItem, class Item>
RawItem unwrap(const Item& item) {
    RawItem raw;
    std::copy_n(item.bytes.begin(), RawItem::size(), raw.bytes.begin());
    return raw;
}

// The parameter set's conversion decides on the length and words the error.
template <class Item>
Result<Item> read_body(KemLevel level, std::span<const uint8_t> body) {
    return with_scheme(level, [&](auto scheme) -> Result<Item> {
        auto raw = Raw<Item>::template type<decltype(scheme)>::from_bytes(body);
        if (!raw) return invalid_key_material(raw.error());
        return wrap<Item>(level, *raw);
    });
}

Result<KemLevel> level_from_marker(uint8_t m) {
    switch (m) {
        case marker(KemLevel::Level1):
            return KemLevel::Level1;
        case marker(KemLevel::Level3):
            return KemLevel::Level3;
        case marker(KemLevel::Level5):
            return KemLevel::Level5;
        default:
            return invalid_key_material("unknown ML-KEM security level marker");
    }
}

// A key's serialized form: the marker decides the level, the level the length.
template <class Key>
Result<Key> read_serialized_key(std::span<const uint8_t> data, const char* empty_message) {
    if (data.empty()) return invalid_key_material(empty_message);
    auto level = level_from_marker(data[0]);
    if (!level) return tesvi::unexpected(level.error());
    return Key::from_bytes(*level, data.subspan(1));
}

std::vector<uint8_t> serialize(KemLevel level, std::span<const uint8_t> tag,
                               std::span<const uint8_t> body) {
    std::vector<uint8_t> out(1 + tag.size() + body.size());
    out[0] = marker(level);
    std::copy(tag.begin(), tag.end(), out.begin() + 1);
    std::copy(body.begin(), body.end(), out.begin() + 1 + static_cast<ptrdiff_t>(tag.size()));
    return out;
}

// Reads every byte and decides once, so the time does not tell where the
// first difference lies.
bool tags_equal(const Tag& a, const Tag& b) {
    uint8_t diff = 0;
    for (size_t i = 0; i < TAG_BYTES; ++i) diff |= a[i] ^ b[i];
    return diff == 0;
}

}  // namespace

LevelSizes sizes(KemLevel level) {
    return with_scheme(level, [](auto scheme) {
        using P = typename decltype(scheme)::P;
        return LevelSizes{P::PUBLICKEYBYTES, P::SECRETKEYBYTES, P::CIPHERTEXTBYTES};
    });
}

std::span<const uint8_t> PublicKey::body() const {
    return {bytes.data(), sizes(level).public_key};
}
std::span<const uint8_t> SecretKey::body() const {
    return {bytes.data(), sizes(level).secret_key};
}
std::span<const uint8_t> Ciphertext::body() const {
    return {bytes.data(), sizes(level).ciphertext};
}

Result<PublicKey> PublicKey::from_bytes(KemLevel level, std::span<const uint8_t> key) {
    return read_body<PublicKey>(level, key);
}

Result<SecretKey> SecretKey::from_bytes(KemLevel level, std::span<const uint8_t> key) {
    return read_body<SecretKey>(level, key);
}

Result<Ciphertext> Ciphertext::from_bytes(KemLevel level, std::span<const uint8_t> ct,
                                          const Tag& tag) {
    auto out = read_body<Ciphertext>(level, ct);
    if (out) out->tag = tag;
    return out;
}

Result<PublicKey> PublicKey::from_serialized(std::span<const uint8_t> data) {
    return read_serialized_key<PublicKey>(data, "serialized public key is empty");
}

Result<SecretKey> SecretKey::from_serialized(std::span<const uint8_t> data) {
    return read_serialized_key<SecretKey>(data, "serialized secret key is empty");
}

// The tag's presence is checked before the marker.
Result<Ciphertext> Ciphertext::from_serialized(std::span<const uint8_t> data) {
    if (data.empty()) return invalid_key_material("serialized ciphertext is empty");
    if (data.size() <= TAG_BYTES) {
        return invalid_key_material("serialized ciphertext is missing integrity tag bytes");
    }
    auto level = level_from_marker(data[0]);
    if (!level) return tesvi::unexpected(level.error());
    Tag tag;
    std::copy_n(data.begin() + 1, TAG_BYTES, tag.begin());
    return from_bytes(*level, data.subspan(1 + TAG_BYTES), tag);
}

std::vector<uint8_t> PublicKey::to_bytes() const {
    return serialize(level, {}, body());
}
std::vector<uint8_t> SecretKey::to_bytes() const {
    return serialize(level, {}, body());
}
std::vector<uint8_t> Ciphertext::to_bytes() const {
    return serialize(level, tag, body());
}

KeyPair keygen_with_level(KemLevel level) {
    return with_scheme(level, [&](auto scheme) {
        const auto kp = decltype(scheme)::keypair();
        return KeyPair{wrap<PublicKey>(level, kp.public_key),
                       wrap<SecretKey>(level, kp.secret_key)};
    });
}

Encapsulation encapsulate(const PublicKey& public_key) {
    const KemLevel level = public_key.level;
    return with_scheme(level, [&](auto scheme) {
        using S = decltype(scheme);
        const auto enc = S::encapsulate(unwrap<typename S::PublicKey>(public_key));
        Ciphertext ct = wrap<Ciphertext>(level, enc.ciphertext);
        ct.tag = integrity_tag(level, enc.shared_secret, enc.ciphertext.bytes);
        return Encapsulation{ct, enc.shared_secret};
    });
}

Result<SharedSecret> decapsulate(const SecretKey& secret_key, const Ciphertext& ciphertext) {
    if (secret_key.level != ciphertext.level) {
        return invalid_key_material("key and ciphertext security levels do not match");
    }
    const KemLevel level = ciphertext.level;
    const SharedSecret ss = with_scheme(level, [&](auto scheme) {
        using S = decltype(scheme);
        return S::decapsulate(unwrap<typename S::Ciphertext>(ciphertext),
                              unwrap<typename S::SecretKey>(secret_key));
    });
    if (!tags_equal(integrity_tag(level, ss, ciphertext.body()), ciphertext.tag)) {
        return error::fail(CryptoError::IntegrityCheckFailed{});
    }
    return ss;
}

// Hashed incrementally rather than from one concatenated buffer, so the shared
// secret is not copied to the heap.
Tag integrity_tag(KemLevel level, const SharedSecret& shared_secret,
                  std::span<const uint8_t> ciphertext) {
    const uint8_t m = marker(level);
    hash::Sponge sponge = hash::sha3_256_sponge();
    sponge.absorb({&m, 1});
    sponge.absorb(shared_secret);
    sponge.absorb(ciphertext);
    Tag tag;
    sponge.squeeze(tag);
    return tag;
}

}  // namespace tesvi_crypto::kem
