#include <algorithm>
#include <array>

#include "common/target_avx2.hpp"
#include "crypto/pqc/sphincs/wots.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

TESVI_AVX2_BEGIN

void wots_gen_leaves_x4(uint8_t* leaves, const Context& ctx, uint32_t first, const Address& subtree,
                        uint8_t* sig, uint32_t sig_leaf, const ChainLengths& steps) {
    // Lane j walks chain i of key pair first + j: every chain has w - 1
    // steps, so the four lanes stay full.
    Address addr[4];
    for (uint32_t j = 0; j < 4; ++j) {
        addr[j].copy_subtree(subtree);
        addr[j].set_keypair(first + j);
    }
    uint8_t ends[4][kWotsBytes];
    // Which lane signs is the public leaf index; the steps stay secret.
    const uint8_t* signing_ends = ends[(sig_leaf - first) % 4];
    if (sig != nullptr) std::fill(sig, sig + kWotsBytes, 0);
    for (uint32_t i = 0; i < kWotsLen; ++i) {
        uint8_t* const chain[4] = {ends[0] + i * kN, ends[1] + i * kN, ends[2] + i * kN,
                                   ends[3] + i * kN};
        for (Address& a : addr) {
            a.set_chain(i);
            a.set_hash(0);
            a.set_type(AddrType::WotsPrf);
        }
        prf_addr_x4(chain, ctx, addr);
        for (Address& a : addr) a.set_type(AddrType::Wots);
        for (uint32_t k = 0;; ++k) {
            if (sig != nullptr) capture_chain(sig + i * kN, signing_ends + i * kN, k, steps[i]);
            if (k == kWotsW - 1) break;
            for (Address& a : addr) a.set_hash(k);
            thash_x4(chain, chain, 1, ctx, addr);
        }
    }
    Address pk_addr[4];
    for (uint32_t j = 0; j < 4; ++j) {
        pk_addr[j].copy_subtree(subtree);
        pk_addr[j].set_type(AddrType::WotsPk);
        pk_addr[j].set_keypair(first + j);
    }
    uint8_t* const out[4] = {leaves, leaves + kN, leaves + 2 * kN, leaves + 3 * kN};
    const uint8_t* const in[4] = {ends[0], ends[1], ends[2], ends[3]};
    thash_x4(out, in, kWotsLen, ctx, pk_addr);
}

void wots_pk_from_sig_avx2(uint8_t* pk, const uint8_t* sig, const uint8_t* msg, const Context& ctx,
                           Address& addr) {
    // The steps left on each chain follow from the signed message, which is
    // public. Four lanes each walk one chain; a lane that finishes takes the
    // next chain, longest first, so the last round leaves few lanes idle.
    const ChainLengths lengths = chain_lengths(msg);
    std::array<uint32_t, kWotsLen> order;
    size_t placed = 0;
    for (uint32_t start = 0; start < kWotsW; ++start) {
        for (uint32_t i = 0; i < kWotsLen; ++i) {
            if (lengths[i] == start) order[placed++] = i;
        }
    }
    std::copy(sig, sig + kWotsBytes, pk);

    constexpr uint32_t kIdle = kWotsLen;
    uint32_t lane_chain[4], lane_step[4];
    size_t next = 0;
    auto take_next = [&](uint32_t j) {
        while (next < kWotsLen && lengths[order[next]] == kWotsW - 1) ++next;
        lane_chain[j] = next < kWotsLen ? order[next++] : kIdle;
        lane_step[j] = lane_chain[j] == kIdle ? 0 : lengths[lane_chain[j]];
    };
    for (uint32_t j = 0; j < 4; ++j) take_next(j);

    Address lane_addr[4] = {addr, addr, addr, addr};
    uint8_t idle[4][kN] = {};
    while (lane_chain[0] != kIdle || lane_chain[1] != kIdle || lane_chain[2] != kIdle ||
           lane_chain[3] != kIdle) {
        uint8_t* chain[4];
        for (uint32_t j = 0; j < 4; ++j) {
            const bool busy = lane_chain[j] != kIdle;
            chain[j] = busy ? pk + lane_chain[j] * kN : idle[j];
            lane_addr[j].set_chain(busy ? lane_chain[j] : 0);
            lane_addr[j].set_hash(lane_step[j]);
        }
        thash_x4(chain, chain, 1, ctx, lane_addr);
        for (uint32_t j = 0; j < 4; ++j) {
            if (lane_chain[j] != kIdle && ++lane_step[j] == kWotsW - 1) take_next(j);
        }
    }
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
