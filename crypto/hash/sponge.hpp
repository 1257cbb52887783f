// The Keccak sponge of FIPS 202 over Keccak-f[1600], in incremental form:
// absorb any number of times, then squeeze any number of times. Every hash of
// the cryptography library, inside the post-quantum schemes too, runs on it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tesvi_crypto::hash {

class Sponge {
  public:
    // rate in bytes (< 200); domain is the padding's first byte (0x06 SHA-3, 0x1F SHAKE).
    Sponge(size_t rate, uint8_t domain) : rate_(rate), domain_(domain) {}

    void absorb(std::span<const uint8_t> data);
    // Pads on the first call; later calls continue the output stream.
    void squeeze(std::span<uint8_t> out);

    // Squeezes whole blocks straight from the state (rate bytes each), for the
    // rejection samplers that consume output a block at a time.
    void squeeze_blocks(uint8_t* out, size_t blocks) { squeeze({out, blocks * rate_}); }
    size_t rate() const { return rate_; }
    uint8_t domain() const { return domain_; }

  private:
    void pad();
    void xor_byte(size_t i, uint8_t b) { state_[i / 8] ^= uint64_t{b} << (8 * (i % 8)); }
    uint8_t byte(size_t i) const { return static_cast<uint8_t>(state_[i / 8] >> (8 * (i % 8))); }

    uint64_t state_[25] = {};
    size_t rate_;
    size_t pos_ = 0;  // absorb position, then squeeze position, within the block
    uint8_t domain_;
    bool squeezing_ = false;
};

inline Sponge shake128_sponge() {
    return Sponge(168, 0x1F);
}
inline Sponge shake256_sponge() {
    return Sponge(136, 0x1F);
}
inline Sponge sha3_256_sponge() {
    return Sponge(136, 0x06);
}
inline Sponge sha3_512_sponge() {
    return Sponge(72, 0x06);
}

// One sponge computation described as data, so that several can share the
// lanes of a many-way permutation (x4::run): the message parts absorbed in
// order, padded with `domain`, then each squeezed block (rate bytes, a
// multiple of 8 as every SHA-3 rate is) handed to take(sink, block) until it
// returns true.
struct Job {
    std::array<std::span<const uint8_t>, 2> message;
    size_t rate;
    uint8_t domain;
    bool (*take)(void* sink, std::span<const uint8_t> block);
    void* sink;
};

// The job on one sponge.
void run(const Job& job);

// The sink of a job whose output is `bytes`: the leading bytes of the stream.
struct Output {
    std::span<uint8_t> bytes;
    size_t filled = 0;
    static bool take(void* self, std::span<const uint8_t> block);
};

inline Job output_job(const Sponge& kind, std::span<const uint8_t> a, std::span<const uint8_t> b,
                      Output& out) {
    return {{a, b}, kind.rate(), kind.domain(), Output::take, &out};
}

}  // namespace tesvi_crypto::hash
