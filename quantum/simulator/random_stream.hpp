// The random stream of every run: the ChaCha keystream with 12 rounds, read
// as consecutive little-endian 32-bit words. A 64-bit draw is two words, low
// first, even across a block boundary.
#pragma once

#include <botan/chacha.h>

#include <array>
#include <cstdint>

namespace tesvi_quantum::simulator {

class RandomStream {
  public:
    static RandomStream from_seed(uint64_t seed);
    // Key from the operating system's entropy; a failing source is an internal fault.
    static RandomStream from_entropy();
    static RandomStream from_key(const std::array<uint8_t, 32>& key);

    // The 32-byte key that seeding from a 64-bit integer gives (the PCG32 expansion).
    static std::array<uint8_t, 32> expand_seed(uint64_t seed);

    uint32_t next_u32() {
        if (pos_ == WORDS) refill();
        return words_[pos_++];
    }
    uint64_t next_u64() {
        const uint64_t lo = next_u32();
        return lo | (uint64_t{next_u32()} << 32);
    }
    // (64-bit draw >> 11) * 2^-53: a multiple of 2^-53 in [0, 1).
    double uniform() { return static_cast<double>(next_u64() >> 11) * 0x1.0p-53; }
    // Uniform in {0, 1, 2} by widening multiplication with rejection.
    uint32_t below3();
    // Uniform in [0, m) for m > 0, by widening multiplication with rejection.
    uint64_t below(uint64_t m);

  private:
    static constexpr size_t WORDS = 64;  // four ChaCha blocks per refill

    explicit RandomStream(const std::array<uint8_t, 32>& key);
    void refill();

    Botan::ChaCha cipher_{12};
    std::array<uint32_t, WORDS> words_{};
    size_t pos_ = WORDS;
};

}  // namespace tesvi_quantum::simulator
