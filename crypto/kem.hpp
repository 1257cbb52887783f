// Key encapsulation at three ML-KEM levels, with a level tag on every key and
// ciphertext, a self-describing byte format, and an integrity tag that turns
// a damaged or foreign ciphertext into an error instead of an unrelated secret.
//
// Serialized forms, no length field (the marker fixes every length):
//   public key   marker || key bytes
//   secret key   marker || key bytes
//   ciphertext   marker || tag (32 bytes) || ciphertext bytes
// with marker 1, 3, 5 for Level1, Level3, Level5.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "crypto/error.hpp"
#include "crypto/pqc/mlkem/params.hpp"

namespace tesvi_crypto::kem {

// ML-KEM-512, ML-KEM-768, ML-KEM-1024.
enum class KemLevel : uint8_t { Level1 = 0, Level3 = 1, Level5 = 2 };

constexpr uint8_t marker(KemLevel level) {
    return static_cast<uint8_t>(2 * static_cast<unsigned>(level) + 1);
}

// The byte lengths of a level's raw keys and ciphertexts.
struct LevelSizes {
    size_t public_key, secret_key, ciphertext;
};
LevelSizes sizes(KemLevel level);

inline constexpr size_t SHARED_SECRET_BYTES = pqc::mlkem::SSBYTES;
inline constexpr size_t TAG_BYTES = 32;
inline constexpr size_t MAX_PUBLIC_KEY_BYTES = pqc::mlkem::Params<4>::PUBLICKEYBYTES;
inline constexpr size_t MAX_SECRET_KEY_BYTES = pqc::mlkem::Params<4>::SECRETKEYBYTES;
inline constexpr size_t MAX_CIPHERTEXT_BYTES = pqc::mlkem::Params<4>::CIPHERTEXTBYTES;

using SharedSecret = std::array<uint8_t, SHARED_SECRET_BYTES>;
using Tag = std::array<uint8_t, TAG_BYTES>;

// Each value holds its level and an array sized for the largest level; the
// first sizes(level) bytes are the item, the rest stay zero.
struct PublicKey {
    KemLevel level = KemLevel::Level1;
    std::array<uint8_t, MAX_PUBLIC_KEY_BYTES> bytes{};

    std::span<const uint8_t> body() const;
    // Exactly sizes(level).public_key bytes.
    static error::Result<PublicKey> from_bytes(KemLevel level, std::span<const uint8_t> key);
    static error::Result<PublicKey> from_serialized(std::span<const uint8_t> data);
    std::vector<uint8_t> to_bytes() const;
    bool operator==(const PublicKey&) const = default;
};

struct SecretKey {
    KemLevel level = KemLevel::Level1;
    std::array<uint8_t, MAX_SECRET_KEY_BYTES> bytes{};

    std::span<const uint8_t> body() const;
    // Exactly sizes(level).secret_key bytes.
    static error::Result<SecretKey> from_bytes(KemLevel level, std::span<const uint8_t> key);
    static error::Result<SecretKey> from_serialized(std::span<const uint8_t> data);
    std::vector<uint8_t> to_bytes() const;
    bool operator==(const SecretKey&) const = default;
};

struct Ciphertext {
    KemLevel level = KemLevel::Level1;
    std::array<uint8_t, MAX_CIPHERTEXT_BYTES> bytes{};
    Tag tag{};

    std::span<const uint8_t> body() const;
    // Exactly sizes(level).ciphertext bytes.
    static error::Result<Ciphertext> from_bytes(KemLevel level, std::span<const uint8_t> ct,
                                                const Tag& tag);
    static error::Result<Ciphertext> from_serialized(std::span<const uint8_t> data);
    std::vector<uint8_t> to_bytes() const;
    bool operator==(const Ciphertext&) const = default;
};

struct KeyPair {
    PublicKey public_key;
    SecretKey secret_key;
};

struct Encapsulation {
    Ciphertext ciphertext;
    SharedSecret shared_secret;
};

// Both draw their randomness from the operating system.
KeyPair keygen_with_level(KemLevel level);
Encapsulation encapsulate(const PublicKey& public_key);

// Fails with InvalidKeyMaterial when the levels differ, and with
// IntegrityCheckFailed when the ciphertext's tag does not match the secret
// it decapsulates to.
error::Result<SharedSecret> decapsulate(const SecretKey& secret_key, const Ciphertext& ciphertext);

// SHA3-256(marker || shared secret || ciphertext bytes).
Tag integrity_tag(KemLevel level, const SharedSecret& shared_secret,
                  std::span<const uint8_t> ciphertext);

}  // namespace tesvi_crypto::kem
