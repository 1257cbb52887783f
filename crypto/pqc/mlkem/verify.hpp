// Constant-time comparison of byte strings, for the re-encryption check of
// decapsulation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesvi_crypto::pqc::mlkem {

// 0 when the len bytes of a and b are equal, 1 otherwise; every byte is read.
uint8_t verify(const uint8_t* a, const uint8_t* b, size_t len);

}  // namespace tesvi_crypto::pqc::mlkem
