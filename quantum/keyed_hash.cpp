#include "quantum/keyed_hash.hpp"

#include <botan/system_rng.h>

#include <atomic>
#include <cstring>

namespace tesvi_quantum {
namespace {

uint64_t rotl(uint64_t x, int b) {
    return (x << b) | (x >> (64 - b));
}

struct SipState {
    uint64_t v0, v1, v2, v3;
    void round() {
        v0 += v1, v1 = rotl(v1, 13), v1 ^= v0, v0 = rotl(v0, 32);
        v2 += v3, v3 = rotl(v3, 16), v3 ^= v2;
        v0 += v3, v3 = rotl(v3, 21), v3 ^= v0;
        v2 += v1, v1 = rotl(v1, 17), v1 ^= v2, v2 = rotl(v2, 32);
    }
    void absorb(uint64_t m) {
        v3 ^= m;
        round();
        v0 ^= m;
    }
};

// SipHash-1-3: one compression round per word, three finalisation rounds.
uint64_t siphash13(uint64_t k0, uint64_t k1, std::string_view s) {
    SipState st{k0 ^ 0x736f6d6570736575ULL, k1 ^ 0x646f72616e646f6dULL, k0 ^ 0x6c7967656e657261ULL,
                k1 ^ 0x7465646279746573ULL};
    const size_t n = s.size();
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t m;
        std::memcpy(&m, s.data() + i, 8);
        st.absorb(m);
    }
    uint64_t last = uint64_t{n & 0xff} << 56;
    for (size_t j = 0; i + j < n; ++j) last |= uint64_t{static_cast<uint8_t>(s[i + j])} << (8 * j);
    st.absorb(last);
    st.v2 ^= 0xff;
    for (int r = 0; r < 3; ++r) st.round();
    return st.v0 ^ st.v1 ^ st.v2 ^ st.v3;
}

// The per-process base key, drawn once; each map then takes the next counter value.
struct ProcessKeys {
    uint64_t k0 = 0, k1 = 0;
    std::atomic<uint64_t> counter{0};
    ProcessKeys() {
        uint8_t b[16] = {};
        try {
            Botan::system_rng().randomize(b, sizeof b);
        } catch (...) {
            // Hash keys need no secrecy: fall back to address-space randomness.
            const auto addr = reinterpret_cast<uintptr_t>(&b);
            std::memcpy(b, &addr, sizeof addr);
        }
        std::memcpy(&k0, b, 8);
        std::memcpy(&k1, b + 8, 8);
    }
};

ProcessKeys& process_keys() {
    static ProcessKeys keys;
    return keys;
}

}  // namespace

KeyedHash::KeyedHash() {
    ProcessKeys& p = process_keys();
    k0_ = p.k0;
    k1_ = p.k1 + p.counter.fetch_add(1, std::memory_order_relaxed);
}

size_t KeyedHash::operator()(std::string_view s) const {
    return siphash13(k0_, k1_, s);
}

}  // namespace tesvi_quantum
