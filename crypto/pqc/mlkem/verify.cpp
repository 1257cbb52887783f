#include "crypto/pqc/mlkem/verify.hpp"

namespace tesvi_crypto::pqc::mlkem {

uint8_t verify(const uint8_t* a, const uint8_t* b, size_t len) {
    uint8_t r = 0;
    for (size_t i = 0; i < len; ++i) r |= a[i] ^ b[i];
    return static_cast<uint8_t>((-uint64_t{r}) >> 63);
}

}  // namespace tesvi_crypto::pqc::mlkem
