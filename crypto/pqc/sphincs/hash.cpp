#include "crypto/pqc/sphincs/hash.hpp"

#include <algorithm>

#include "crypto/hash/sponge.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

void thash(uint8_t* out, const uint8_t* in, size_t blocks, const Context& ctx,
           const Address& addr) {
    auto sponge = hash::shake256_sponge();
    sponge.absorb(ctx.pub_seed);
    sponge.absorb(addr.bytes);
    sponge.absorb({in, blocks * kN});
    sponge.squeeze({out, kN});
}

void prf_addr(uint8_t* out, const Context& ctx, const Address& addr) {
    auto sponge = hash::shake256_sponge();
    sponge.absorb(ctx.pub_seed);
    sponge.absorb(addr.bytes);
    sponge.absorb(ctx.sk_seed);
    sponge.squeeze({out, kN});
}

void prf_msg(uint8_t* out, const uint8_t* sk_prf, const uint8_t* optrand,
             std::span<const uint8_t> msg) {
    auto sponge = hash::shake256_sponge();
    sponge.absorb({sk_prf, kN});
    sponge.absorb({optrand, kOptRandBytes});
    sponge.absorb(msg);
    sponge.squeeze({out, kN});
}

namespace {

uint64_t load_be(const uint8_t* p, size_t len) {
    uint64_t v = 0;
    for (size_t i = 0; i < len; ++i) v = (v << 8) | p[i];
    return v;
}

}  // namespace

MessageDigest hash_message(const uint8_t* r, const uint8_t* pk, std::span<const uint8_t> msg) {
    std::array<uint8_t, kDigestBytes> buf;
    auto sponge = hash::shake256_sponge();
    sponge.absorb({r, kN});
    sponge.absorb({pk, kPublicKeyBytes});
    sponge.absorb(msg);
    sponge.squeeze(buf);

    MessageDigest d;
    const uint8_t* p = buf.data();
    std::copy(p, p + kForsMsgBytes, d.fors_msg.begin());
    p += kForsMsgBytes;
    d.tree = load_be(p, kTreeBytes) & (~uint64_t{0} >> (64 - kTreeBits));
    p += kTreeBytes;
    d.leaf = static_cast<uint32_t>(load_be(p, kLeafBytes)) & ((1u << kLeafBits) - 1);
    return d;
}

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
