#include "quantum/simulator/random_stream.hpp"

#include <botan/system_rng.h>

#include <exception>

#include "quantum/error.hpp"

namespace tesvi_quantum::simulator {

std::array<uint8_t, 32> RandomStream::expand_seed(uint64_t s) {
    constexpr uint64_t MUL = 6364136223846793005ULL;
    constexpr uint64_t INC = 11634580027462260723ULL;
    std::array<uint8_t, 32> key{};
    for (size_t i = 0; i < 32; i += 4) {
        s = s * MUL + INC;
        const uint32_t x = static_cast<uint32_t>((s >> 45) ^ (s >> 27));
        const unsigned rot = static_cast<unsigned>(s >> 59);
        const uint32_t w = (x >> rot) | (x << ((32 - rot) & 31));
        for (size_t b = 0; b < 4; ++b) key[i + b] = static_cast<uint8_t>(w >> (8 * b));
    }
    return key;
}

RandomStream::RandomStream(const std::array<uint8_t, 32>& key) {
    static constexpr uint8_t NONCE[8] = {};
    cipher_.set_key(key.data(), key.size());
    cipher_.set_iv(NONCE, sizeof NONCE);
}

RandomStream RandomStream::from_key(const std::array<uint8_t, 32>& key) {
    return RandomStream(key);
}

RandomStream RandomStream::from_seed(uint64_t seed) {
    return RandomStream(expand_seed(seed));
}

RandomStream RandomStream::from_entropy() {
    std::array<uint8_t, 32> key{};
    try {
        Botan::system_rng().randomize(key.data(), key.size());
    } catch (const std::exception& e) {
        throw error::InternalFault(std::string("from_entropy failed: ") + e.what());
    }
    return RandomStream(key);
}

void RandomStream::refill() {
    uint8_t bytes[WORDS * 4];
    cipher_.write_keystream(bytes, sizeof bytes);
    for (size_t i = 0; i < WORDS; ++i)
        words_[i] = uint32_t{bytes[4 * i]} | uint32_t{bytes[4 * i + 1]} << 8 |
                    uint32_t{bytes[4 * i + 2]} << 16 | uint32_t{bytes[4 * i + 3]} << 24;
    pos_ = 0;
}

uint32_t RandomStream::below3() {
    for (;;) {
        const uint64_t p = uint64_t{3} * next_u32();
        if (static_cast<uint32_t>(p) <= 0xBFFFFFFFu) return static_cast<uint32_t>(p >> 32);
    }
}

uint64_t RandomStream::below(uint64_t m) {
    const uint64_t zone = (m << __builtin_clzll(m)) - 1;
    for (;;) {
        const unsigned __int128 p = static_cast<unsigned __int128>(next_u64()) * m;
        if (static_cast<uint64_t>(p) <= zone) return static_cast<uint64_t>(p >> 64);
    }
}

}  // namespace tesvi_quantum::simulator
