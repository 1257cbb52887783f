#include <algorithm>
#include <cstring>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/pqc/sphincs/hash.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

TESVI_AVX2_BEGIN

namespace {

constexpr size_t kPrefixBytes = kN + kAddrBytes;
// The longest tweakable-hash input: a WOTS public key (35 blocks; FORS roots are 33).
constexpr size_t kMaxInputBytes = kPrefixBytes + kWotsBytes;

uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Inputs of one block (every hash but the WOTS and FORS public keys) go
// straight into the lanes of the state, padding included.
void one_block_x4(uint8_t* const out[4], const Context& ctx, const Address addr[4],
                  const uint8_t* const tail[4], size_t tail_bytes) {
    static_assert(kPrefixBytes % 8 == 0 && kN % 8 == 0);
    hash::x4::State st;
    const size_t used = (kPrefixBytes + tail_bytes) / 8;
    for (size_t j = 0; j < 4; ++j) {
        for (size_t i = 0; i < kN / 8; ++i) st.s[i][j] = load64(ctx.pub_seed.data() + 8 * i);
        for (size_t i = 0; i < kAddrBytes / 8; ++i)
            st.s[kN / 8 + i][j] = load64(addr[j].bytes.data() + 8 * i);
        for (size_t i = 0; i < tail_bytes / 8; ++i)
            st.s[kPrefixBytes / 8 + i][j] = load64(tail[j] + 8 * i);
        for (size_t i = used; i < 25; ++i) st.s[i][j] = 0;
        st.s[used][j] = 0x1F;
        st.s[hash::x4::SHAKE256_RATE / 8 - 1][j] ^= uint64_t{0x80} << 56;
    }
    hash::x4::permute(st);
    for (size_t j = 0; j < 4; ++j) {
        for (size_t i = 0; i < kN / 8; ++i) std::memcpy(out[j] + 8 * i, &st.s[i][j], 8);
    }
}

// SHAKE256(PK.seed || addr[j] || tail[j]) into out[j] for the four lanes.
void keyed_x4(uint8_t* const out[4], const Context& ctx, const Address addr[4],
              const uint8_t* const tail[4], size_t tail_bytes) {
    if (kPrefixBytes + tail_bytes < hash::x4::SHAKE256_RATE)
        return one_block_x4(out, ctx, addr, tail, tail_bytes);
    uint8_t in[4][kMaxInputBytes];
    for (size_t j = 0; j < 4; ++j) {
        std::copy(ctx.pub_seed.begin(), ctx.pub_seed.end(), in[j]);
        std::copy(addr[j].bytes.begin(), addr[j].bytes.end(), in[j] + kN);
        std::copy(tail[j], tail[j] + tail_bytes, in[j] + kPrefixBytes);
    }
    hash::x4::shake256(out[0], out[1], out[2], out[3], kN, in[0], in[1], in[2], in[3],
                       kPrefixBytes + tail_bytes);
}

}  // namespace

void thash_x4(uint8_t* const out[4], const uint8_t* const in[4], size_t blocks, const Context& ctx,
              const Address addr[4]) {
    keyed_x4(out, ctx, addr, in, blocks * kN);
}

void prf_addr_x4(uint8_t* const out[4], const Context& ctx, const Address addr[4]) {
    const uint8_t* seed = ctx.sk_seed.data();
    const uint8_t* const tail[4] = {seed, seed, seed, seed};
    keyed_x4(out, ctx, addr, tail, kN);
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
