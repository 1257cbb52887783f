#include <algorithm>
#include <cstring>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_x8.hpp"
#include "crypto/pqc/sphincs/hash.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

TESVI_AVX2_BEGIN

namespace {

constexpr size_t kPrefixBytes = kN + kAddrBytes;
constexpr size_t kRate = hash::x8::SHAKE256_RATE;
// The longest tweakable-hash input: a WOTS public key (35 blocks; FORS roots are 33).
constexpr size_t kMaxInputBytes = kPrefixBytes + kWotsBytes;

uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Inputs of one block (every hash but the WOTS and FORS public keys) go
// straight into the rows of the state, padding included; only the address
// and the tail differ between lanes.
void one_block_x8(uint8_t* const out[kWays], const Context& ctx, const Address addr[kWays],
                  const uint8_t* const tail[kWays], size_t tail_bytes) {
    static_assert(kPrefixBytes % 8 == 0 && kN % 8 == 0);
    // Rows of PK.seed, then of the address, then of the tail.
    constexpr size_t kAddrRow = kN / 8, kTailRow = kPrefixBytes / 8;
    hash::x8::State st;
    const size_t used = kTailRow + tail_bytes / 8;
    for (size_t i = 0; i < kN / 8; ++i) std::fill_n(st.s[i], kWays, load64(&ctx.pub_seed[8 * i]));
    for (size_t i = 0; i < kAddrBytes / 8; ++i) {
        for (size_t j = 0; j < kWays; ++j) st.s[kAddrRow + i][j] = load64(&addr[j].bytes[8 * i]);
    }
    for (size_t i = 0; i < tail_bytes / 8; ++i) {
        for (size_t j = 0; j < kWays; ++j) st.s[kTailRow + i][j] = load64(tail[j] + 8 * i);
    }
    for (size_t i = used; i < 25; ++i) std::fill_n(st.s[i], kWays, 0);
    std::fill_n(st.s[used], kWays, 0x1F);
    for (uint64_t& lane : st.s[kRate / 8 - 1]) lane ^= uint64_t{0x80} << 56;
    hash::x8::permute(st);
    for (size_t j = 0; j < kWays; ++j) {
        for (size_t i = 0; i < kN / 8; ++i) std::memcpy(out[j] + 8 * i, &st.s[i][j], 8);
    }
}

// SHAKE256(PK.seed || addr[j] || tail[j]) into out[j] for the eight lanes.
void keyed_x8(uint8_t* const out[kWays], const Context& ctx, const Address addr[kWays],
              const uint8_t* const tail[kWays], size_t tail_bytes) {
    if (kPrefixBytes + tail_bytes < kRate) return one_block_x8(out, ctx, addr, tail, tail_bytes);
    uint8_t in[kWays][kMaxInputBytes];
    const uint8_t* inputs[kWays];
    for (size_t j = 0; j < kWays; ++j) {
        std::copy(ctx.pub_seed.begin(), ctx.pub_seed.end(), in[j]);
        std::copy(addr[j].bytes.begin(), addr[j].bytes.end(), in[j] + kN);
        std::copy(tail[j], tail[j] + tail_bytes, in[j] + kPrefixBytes);
        inputs[j] = in[j];
    }
    hash::x8::shake256(out, kN, inputs, kPrefixBytes + tail_bytes);
}

}  // namespace

void thash_x8(uint8_t* const out[kWays], const uint8_t* const in[kWays], size_t blocks,
              const Context& ctx, const Address addr[kWays]) {
    keyed_x8(out, ctx, addr, in, blocks * kN);
}

void prf_addr_x8(uint8_t* const out[kWays], const Context& ctx, const Address addr[kWays]) {
    const uint8_t* tail[kWays];
    std::fill_n(tail, kWays, ctx.sk_seed.data());
    keyed_x8(out, ctx, addr, tail, kN);
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
