#include "crypto/error.hpp"

#include <gtest/gtest.h>

namespace {

using tesvi_crypto::error::CryptoError;

TEST(CryptoError, DisplayTexts) {
    EXPECT_EQ(CryptoError(CryptoError::IntegrityCheckFailed{}).message(),
              "ciphertext integrity check failed");
    EXPECT_EQ(
        CryptoError(CryptoError::InvalidKeyMaterial{"serialized ciphertext is empty"}).message(),
        "invalid key material: serialized ciphertext is empty");
    EXPECT_EQ(CryptoError(CryptoError::InvalidKeyMaterial{""}).message(), "invalid key material: ");
}

}  // namespace
