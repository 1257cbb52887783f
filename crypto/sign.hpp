// Detached signatures over two schemes, with a scheme tag on every key and
// signature, a self-describing byte format, and a verification that answers
// only true or false.
//
// Serialized forms, no length field (the marker fixes the key lengths):
//   public key   marker || key bytes
//   secret key   marker || key bytes
//   signature    marker || signature bytes
// with marker 1 for MlDsa (ML-DSA-65) and 2 for SlhDsa (SPHINCS+-SHAKE-128f-simple).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "crypto/error.hpp"
#include "crypto/pqc/mldsa/params.hpp"

namespace tesvi_crypto::sign {

enum class SignatureScheme : uint8_t { MlDsa = 0, SlhDsa = 1 };

constexpr uint8_t marker(SignatureScheme scheme) {
    return static_cast<uint8_t>(static_cast<unsigned>(scheme) + 1);
}

// Key lengths of a scheme and the longest signature it reads.
struct SchemeSizes {
    size_t public_key, secret_key, max_signature;
};
SchemeSizes sizes(SignatureScheme scheme);

inline constexpr size_t MAX_PUBLIC_KEY_BYTES = pqc::mldsa65::PUBLIC_KEY_BYTES;
inline constexpr size_t MAX_SECRET_KEY_BYTES = pqc::mldsa65::SECRET_KEY_BYTES;

// Each key holds its scheme and an array sized for the larger scheme; the
// first sizes(scheme) bytes are the key, the rest stay zero.
struct SignPublicKey {
    SignatureScheme scheme = SignatureScheme::MlDsa;
    std::array<uint8_t, MAX_PUBLIC_KEY_BYTES> bytes{};

    std::span<const uint8_t> body() const;
    // Exactly sizes(scheme).public_key bytes.
    static error::Result<SignPublicKey> from_bytes(SignatureScheme scheme,
                                                   std::span<const uint8_t> key);
    static error::Result<SignPublicKey> from_serialized(std::span<const uint8_t> data);
    std::vector<uint8_t> to_bytes() const;
    bool operator==(const SignPublicKey&) const = default;
};

struct SignSecretKey {
    SignatureScheme scheme = SignatureScheme::MlDsa;
    std::array<uint8_t, MAX_SECRET_KEY_BYTES> bytes{};

    std::span<const uint8_t> body() const;
    // Exactly sizes(scheme).secret_key bytes.
    static error::Result<SignSecretKey> from_bytes(SignatureScheme scheme,
                                                   std::span<const uint8_t> key);
    static error::Result<SignSecretKey> from_serialized(std::span<const uint8_t> data);
    std::vector<uint8_t> to_bytes() const;
    bool operator==(const SignSecretKey&) const = default;
};

struct Signature {
    std::vector<uint8_t> bytes;
    SignatureScheme scheme = SignatureScheme::MlDsa;

    // Any length up to sizes(scheme).max_signature; only full-length
    // signatures can verify.
    static error::Result<Signature> from_bytes(SignatureScheme scheme,
                                               std::span<const uint8_t> sig);
    static error::Result<Signature> from_serialized(std::span<const uint8_t> data);
    std::vector<uint8_t> to_bytes() const;
    bool operator==(const Signature&) const = default;
};

struct SignKeyPair {
    SignPublicKey public_key;
    SignSecretKey secret_key;
};

// Draws its randomness from the operating system.
SignKeyPair keygen_with_scheme(SignatureScheme scheme);

// ML-DSA signing is deterministic; SPHINCS+ signing draws a fresh randomiser.
Signature sign(const SignSecretKey& secret_key, std::span<const uint8_t> message);

// False for a scheme mismatch, an over-long or truncated signature, a wrong
// key or a changed message.
bool verify(const SignPublicKey& public_key, std::span<const uint8_t> message,
            const Signature& signature);

}  // namespace tesvi_crypto::sign
