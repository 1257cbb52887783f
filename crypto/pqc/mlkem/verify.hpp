// Constant-time comparison and selection of byte strings, for the
// re-encryption check of decapsulation.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesvi_crypto::pqc::mlkem {

// 0 when the len bytes of a and b are equal, 1 otherwise; every byte is read.
uint8_t verify(const uint8_t* a, const uint8_t* b, size_t len);
// r = x when b is 1, r unchanged when b is 0, without branching on b.
void cmov(uint8_t* r, const uint8_t* x, size_t len, uint8_t b);

}  // namespace tesvi_crypto::pqc::mlkem
