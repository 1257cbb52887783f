#include "crypto/pqc/sphincs/wots.hpp"

#include <algorithm>

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

namespace {

// Digits of `in` in base w, most significant nibble of each byte first.
template <size_t Count>
void base_w(uint32_t* out, const uint8_t* in) {
    for (size_t i = 0; i < Count; ++i) {
        out[i] = (in[i / 2] >> (i % 2 == 0 ? 4 : 0)) & (kWotsW - 1);
    }
}

// All ones when a == b, else zero, without a comparison the compiler could
// turn into a branch.
uint8_t eq_mask(uint32_t a, uint32_t b) {
    uint32_t d = a ^ b;
    return static_cast<uint8_t>(((d | (0u - d)) >> 31) - 1);
}

}  // namespace

void capture_chain(uint8_t* sig, const uint8_t* chain, uint32_t k, uint32_t steps) {
    const uint8_t keep = eq_mask(k, steps);
    for (size_t b = 0; b < kN; ++b) sig[b] |= chain[b] & keep;
}

ChainLengths chain_lengths(const uint8_t* msg) {
    ChainLengths lengths;
    base_w<kWotsLen1>(lengths.data(), msg);
    uint32_t csum = 0;
    for (uint32_t i = 0; i < kWotsLen1; ++i) csum += kWotsW - 1 - lengths[i];
    // Left-align the len2 checksum digits in whole bytes.
    constexpr uint32_t kCsumBits = kWotsLen2 * kWotsLogW;
    csum <<= (8 - kCsumBits % 8) % 8;
    uint8_t csum_bytes[(kCsumBits + 7) / 8];
    for (size_t i = 0; i < sizeof csum_bytes; ++i) {
        csum_bytes[i] = static_cast<uint8_t>(csum >> (8 * (sizeof csum_bytes - 1 - i)));
    }
    base_w<kWotsLen2>(lengths.data() + kWotsLen1, csum_bytes);
    return lengths;
}

void wots_gen_leaf(uint8_t* leaf, const Context& ctx, uint32_t leaf_idx, const Address& subtree,
                   uint8_t* sig, const ChainLengths& steps) {
    Address addr;
    addr.copy_subtree(subtree);
    addr.set_keypair(leaf_idx);
    uint8_t ends[kWotsBytes];
    // Every element is or-ed in from zero: the signature never depends on
    // what the caller's buffer held.
    if (sig != nullptr) std::fill(sig, sig + kWotsBytes, 0);
    for (uint32_t i = 0; i < kWotsLen; ++i) {
        uint8_t* chain = ends + i * kN;
        addr.set_chain(i);
        addr.set_hash(0);
        addr.set_type(AddrType::WotsPrf);
        prf_addr(chain, ctx, addr);
        addr.set_type(AddrType::Wots);
        for (uint32_t k = 0;; ++k) {
            if (sig != nullptr) capture_chain(sig + i * kN, chain, k, steps[i]);
            if (k == kWotsW - 1) break;
            addr.set_hash(k);
            thash(chain, chain, 1, ctx, addr);
        }
    }
    Address pk_addr;
    pk_addr.copy_subtree(subtree);
    pk_addr.set_type(AddrType::WotsPk);
    pk_addr.set_keypair(leaf_idx);
    thash(leaf, ends, kWotsLen, ctx, pk_addr);
}

void wots_pk_from_sig(uint8_t* pk, const uint8_t* sig, const uint8_t* msg, const Context& ctx,
                      Address& addr) {
    ChainLengths lengths = chain_lengths(msg);
    for (uint32_t i = 0; i < kWotsLen; ++i) {
        uint8_t* chain = pk + i * kN;
        std::copy(sig + i * kN, sig + (i + 1) * kN, chain);
        addr.set_chain(i);
        for (uint32_t k = lengths[i]; k < kWotsW - 1; ++k) {
            addr.set_hash(k);
            thash(chain, chain, 1, ctx, addr);
        }
    }
}

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
