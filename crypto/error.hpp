// The cryptography library's error type: a refused key, ciphertext or
// signature, or a ciphertext whose integrity tag does not match.
#pragma once

#include <string>
#include <utility>
#include <variant>

#include "common/expected.hpp"
#include "common/variant_access.hpp"

namespace tesvi_crypto::error {

struct CryptoError : tesvi::VariantAccess<CryptoError> {
    struct InvalidKeyMaterial {
        std::string message;
    };
    struct IntegrityCheckFailed {};

    using Variant = std::variant<InvalidKeyMaterial, IntegrityCheckFailed>;
    Variant value;

    template <class V>
    CryptoError(V v) : value(std::move(v)) {}

    // The display text.
    std::string message() const;
};

// Shorthand for the failure side of a result.
inline tesvi::Unexpected<CryptoError> fail(CryptoError e) {
    return {std::move(e)};
}
inline tesvi::Unexpected<CryptoError> invalid_key_material(std::string message) {
    return fail(CryptoError::InvalidKeyMaterial{std::move(message)});
}

template <class T>
using Result = tesvi::Expected<T, CryptoError>;

}  // namespace tesvi_crypto::error
