// ML-DSA-65: key generation, deterministic signing in pure mode with an empty
// context, and verification, behind the narrow interface every scheme here has.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "common/expected.hpp"
#include "crypto/pqc/common/build.hpp"
#include "crypto/pqc/common/bytes.hpp"
#include "crypto/pqc/mldsa/params.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

struct PublicKey : FixedBytes<PUBLIC_KEY_BYTES> {
    static tesvi::Expected<PublicKey, std::string> from_bytes(std::span<const uint8_t> in) {
        return from_bytes_as<PublicKey>("PublicKey", in);
    }
};

struct SecretKey : FixedBytes<SECRET_KEY_BYTES> {
    static tesvi::Expected<SecretKey, std::string> from_bytes(std::span<const uint8_t> in) {
        return from_bytes_as<SecretKey>("SecretKey", in);
    }
};

// Holds up to SIGNATURE_BYTES; a shorter signature can be held but never verifies.
class DetachedSignature {
  public:
    DetachedSignature() = default;
    explicit DetachedSignature(const std::array<uint8_t, SIGNATURE_BYTES>& full)
        : bytes_(full), len_(SIGNATURE_BYTES) {}

    static tesvi::Expected<DetachedSignature, std::string> from_bytes(std::span<const uint8_t> in);
    static constexpr size_t max_size() { return SIGNATURE_BYTES; }

    std::span<const uint8_t> as_bytes() const { return {bytes_.data(), len_}; }
    size_t size() const { return len_; }

  private:
    std::array<uint8_t, SIGNATURE_BYTES> bytes_{};
    size_t len_ = 0;
};

struct Keypair {
    PublicKey public_key;
    SecretKey secret_key;
};

// Both builds give the same bytes; Build::Avx2 on a processor without AVX2
// runs the portable build.

// Draws the 32-byte seed xi from the operating system.
Keypair keypair();
Keypair keypair_from_seed(std::span<const uint8_t, SEEDBYTES> xi, Build build = selected_build());

// Deterministic: equal key and message give equal signatures.
DetachedSignature detached_sign(std::span<const uint8_t> msg, const SecretKey& sk,
                                Build build = selected_build());

bool verify_detached_signature(const DetachedSignature& sig, std::span<const uint8_t> msg,
                               const PublicKey& pk, Build build = selected_build());

}  // namespace tesvi_crypto::pqc::mldsa65
