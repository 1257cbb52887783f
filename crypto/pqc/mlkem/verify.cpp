#include "crypto/pqc/mlkem/verify.hpp"

namespace tesvi_crypto::pqc::mlkem {

uint8_t verify(const uint8_t* a, const uint8_t* b, size_t len) {
    uint8_t r = 0;
    for (size_t i = 0; i < len; ++i) r |= a[i] ^ b[i];
    return static_cast<uint8_t>((-uint64_t{r}) >> 63);
}

void cmov(uint8_t* r, const uint8_t* x, size_t len, uint8_t b) {
#if defined(__GNUC__) || defined(__clang__)
    // Hides b's two possible values from the optimiser, which could otherwise
    // turn the masked copy back into a branch on b.
    __asm__("" : "+r"(b));
#endif
    const auto mask = static_cast<uint8_t>(-b);
    for (size_t i = 0; i < len; ++i) r[i] ^= mask & (r[i] ^ x[i]);
}

}  // namespace tesvi_crypto::pqc::mlkem
