#include "crypto/hash/sponge.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "crypto/hash/keccak_f1600.hpp"

namespace tesvi_crypto::hash {
namespace {

// The state is little-endian lane by lane.
uint64_t load_le(const uint8_t* p) {
    uint64_t lane;
    std::memcpy(&lane, p, 8);
    if constexpr (std::endian::native == std::endian::big) lane = __builtin_bswap64(lane);
    return lane;
}

void store_le(uint8_t* p, uint64_t lane) {
    if constexpr (std::endian::native == std::endian::big) lane = __builtin_bswap64(lane);
    std::memcpy(p, &lane, 8);
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
            // Whole lanes at once.
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
            store_le(p, state_[pos_ / 8]);
            pos_ += 8, p += 8, n -= 8;
        } else {
            *p++ = byte(pos_++);
            --n;
        }
    }
}

void run(const Job& job) {
    Sponge sponge(job.rate, job.domain);
    for (auto part : job.message) sponge.absorb(part);
    uint8_t block[200];
    do {
        sponge.squeeze_blocks(block, 1);
    } while (!job.take(job.sink, {block, job.rate}));
}

bool Output::take(void* self, std::span<const uint8_t> block) {
    auto& out = *static_cast<Output*>(self);
    const size_t n = std::min(block.size(), out.bytes.size() - out.filled);
    std::copy_n(block.begin(), n, out.bytes.begin() + static_cast<ptrdiff_t>(out.filled));
    out.filled += n;
    return out.filled == out.bytes.size();
}

}  // namespace tesvi_crypto::hash
