#include "crypto/hash/sponge.hpp"

#include <botan/sha3.h>

namespace tesvi_crypto::hash {

void Sponge::absorb(std::span<const uint8_t> data) {
    const uint8_t* p = data.data();
    size_t n = data.size();
    while (n > 0) {
        if (pos_ % 8 == 0 && n >= 8 && pos_ + 8 <= rate_) {
            // Whole lanes at once (the state is little-endian lane by lane).
            uint64_t lane = 0;
            for (int i = 7; i >= 0; --i) lane = (lane << 8) | p[i];
            state_[pos_ / 8] ^= lane;
            pos_ += 8, p += 8, n -= 8;
        } else {
            xor_byte(pos_++, *p++);
            --n;
        }
        if (pos_ == rate_) {
            Botan::SHA_3::permute(state_);
            pos_ = 0;
        }
    }
}

void Sponge::pad() {
    xor_byte(pos_, domain_);
    xor_byte(rate_ - 1, 0x80);
    Botan::SHA_3::permute(state_);
    pos_ = 0;
    squeezing_ = true;
}

void Sponge::squeeze(std::span<uint8_t> out) {
    if (out.empty()) return;
    if (!squeezing_) pad();
    uint8_t* p = out.data();
    size_t n = out.size();
    while (n > 0) {
        if (pos_ == rate_) {
            Botan::SHA_3::permute(state_);
            pos_ = 0;
        }
        if (pos_ % 8 == 0 && n >= 8) {
            // Whole lanes at once, little-endian as they were absorbed.
            uint64_t lane = state_[pos_ / 8];
            for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(lane >> (8 * i));
            pos_ += 8, p += 8, n -= 8;
        } else {
            *p++ = byte(pos_++);
            --n;
        }
    }
}

}  // namespace tesvi_crypto::hash
