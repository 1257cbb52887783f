// SPHINCS+-SHAKE-128f-simple, round 3.1: stateless hash-based signatures.
// Public key PUB_SEED || root (32 bytes), secret key SK_SEED || SK_PRF ||
// PUB_SEED || root (64 bytes), detached signatures of 17088 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "common/expected.hpp"
#include "crypto/pqc/common/build.hpp"
#include "crypto/pqc/common/bytes.hpp"
#include "crypto/pqc/sphincs/params.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

struct PublicKey : FixedBytes<kPublicKeyBytes> {
    static tesvi::Expected<PublicKey, std::string> from_bytes(std::span<const uint8_t> in) {
        return from_bytes_as<PublicKey>("PublicKey", in);
    }
};

struct SecretKey : FixedBytes<kSecretKeyBytes> {
    static tesvi::Expected<SecretKey, std::string> from_bytes(std::span<const uint8_t> in) {
        return from_bytes_as<SecretKey>("SecretKey", in);
    }
};

struct Keypair {
    PublicKey public_key;
    SecretKey secret_key;
};

// A signature as received: any length up to the full one reads, so a
// truncated signature is refused by verification rather than by parsing.
class DetachedSignature {
  public:
    static constexpr size_t max_size() { return kSignatureBytes; }
    DetachedSignature() = default;
    explicit DetachedSignature(const std::array<uint8_t, kSignatureBytes>& full)
        : bytes_(full), size_(kSignatureBytes) {}
    static tesvi::Expected<DetachedSignature, std::string> from_bytes(std::span<const uint8_t> in);

    std::span<const uint8_t> as_bytes() const { return {bytes_.data(), size_}; }
    size_t size() const { return size_; }

  private:
    std::array<uint8_t, kSignatureBytes> bytes_{};
    size_t size_ = 0;
};

// Both builds give the same bytes; `build` names one for tests and
// benchmarks (Build::Avx2 runs the portable build where the processor lacks AVX2).

// Draws SK_SEED || SK_PRF || PUB_SEED from the entropy source in one request.
Keypair keypair();
Keypair keypair_from_seed(std::span<const uint8_t, kSeedBytes> seed,
                          Build build = selected_build());

// Draws the 16-byte optrand from the entropy source.
DetachedSignature detached_sign(std::span<const uint8_t> msg, const SecretKey& sk);
// The signature for a given optrand; equal inputs give equal signatures.
DetachedSignature detached_sign_with_optrand(std::span<const uint8_t> msg, const SecretKey& sk,
                                             std::span<const uint8_t, kOptRandBytes> optrand,
                                             Build build = selected_build());

bool verify_detached_signature(const DetachedSignature& sig, std::span<const uint8_t> msg,
                               const PublicKey& pk, Build build = selected_build());

namespace testing {
// The build the last key generation, signing or verification on this thread
// ran: how tests see what the public entry points chose.
Build last_build_run();
}  // namespace testing

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
