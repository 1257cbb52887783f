#include "crypto/hash/sponge.hpp"

#include "crypto/hash/keccak_f1600.hpp"

namespace tesvi_crypto::hash {
namespace {

uint64_t load_le(const uint8_t* p) {
    uint64_t lane = 0;
    for (int i = 7; i >= 0; --i) lane = (lane << 8) | p[i];
    return lane;
}

}  // namespace

void Sponge::absorb(std::span<const uint8_t> data) {
    const uint8_t* p = data.data();
    size_t n = data.size();
    // Whole blocks straight into the state while the input is block aligned.
    for (; pos_ == 0 && n >= rate_; p += rate_, n -= rate_) {
        for (size_t i = 0; i < rate_ / 8; ++i) state_[i] ^= load_le(p + 8 * i);
        keccak_f1600(state_);
    }
    while (n > 0) {
        if (pos_ % 8 == 0 && n >= 8 && pos_ + 8 <= rate_) {
            // Whole lanes at once (the state is little-endian lane by lane).
            state_[pos_ / 8] ^= load_le(p);
            pos_ += 8, p += 8, n -= 8;
        } else {
            xor_byte(pos_++, *p++);
            --n;
        }
        if (pos_ == rate_) {
            keccak_f1600(state_);
            pos_ = 0;
        }
    }
}

void Sponge::pad() {
    xor_byte(pos_, domain_);
    xor_byte(rate_ - 1, 0x80);
    keccak_f1600(state_);
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
            keccak_f1600(state_);
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
