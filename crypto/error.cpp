#include "crypto/error.hpp"

namespace tesvi_crypto::error {
namespace {

struct Render {
    std::string operator()(const CryptoError::InvalidKeyMaterial& e) const {
        return "invalid key material: " + e.message;
    }
    std::string operator()(const CryptoError::IntegrityCheckFailed&) const {
        return "ciphertext integrity check failed";
    }
};

}  // namespace

std::string CryptoError::message() const {
    return std::visit(Render{}, value);
}

}  // namespace tesvi_crypto::error
