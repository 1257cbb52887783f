#include <algorithm>
#include <array>
#include <cstring>

#include "common/target_avx2.hpp"
#include "crypto/pqc/sphincs/wots.hpp"
#include "crypto/pqc/sphincs/wots_chains.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

TESVI_AVX2_BEGIN

namespace {

uint64_t word(const Address& addr, size_t at) {
    uint64_t v;
    std::memcpy(&v, addr.bytes.data() + at, 8);
    return v;
}

// The parts of every chain walk that do not depend on the chain.
ChainWalk chain_walk(const Context& ctx, const Address& subtree) {
    ChainWalk walk;
    std::memcpy(walk.pub_seed, ctx.pub_seed.data(), kN);
    std::memcpy(walk.sk_seed, ctx.sk_seed.data(), kN);
    walk.subtree[0] = word(subtree, 0);
    walk.subtree[1] = word(subtree, 8);
    for (uint32_t j = 0; j < kWays; ++j) {
        Address addr;
        addr.copy_subtree(subtree);
        addr.set_keypair(j);
        addr.set_type(AddrType::WotsPrf);
        walk.prf_keypair[j] = word(addr, 16);
        addr.set_type(AddrType::Wots);
        walk.chain_keypair[j] = word(addr, 16);
    }
    return walk;
}

}  // namespace

void wots_gen_leaves_x8(uint8_t* leaves, const Context& ctx, const Address& subtree, uint8_t* sig,
                        uint32_t sig_leaf, const ChainLengths& steps) {
    ChainWalk walk = chain_walk(ctx, subtree);
    uint8_t ends[kWays][kWotsBytes];
    for (uint32_t i = 0; i < kWotsLen; ++i) {
        Address addr;
        addr.set_chain(i);
        for (uint32_t k = 0; k < kWotsW - 1; ++k) {
            addr.set_hash(k);
            walk.chain_hash[k] = word(addr, 24);
        }
        walk.steps = steps[i];
        alignas(64) uint64_t end[2][kWays];
        alignas(64) uint64_t kept[2][kWays];
        walk_chains(end, kept, walk);
        for (uint32_t j = 0; j < kWays; ++j) {
            std::memcpy(ends[j] + i * kN, &end[0][j], 8);
            std::memcpy(ends[j] + i * kN + 8, &end[1][j], 8);
        }
        // Which lane signs is the public leaf index; the steps stay secret.
        if (sig != nullptr) {
            std::memcpy(sig + i * kN, &kept[0][sig_leaf], 8);
            std::memcpy(sig + i * kN + 8, &kept[1][sig_leaf], 8);
        }
    }
    Address pk_addr[kWays];
    uint8_t* out[kWays];
    const uint8_t* in[kWays];
    for (uint32_t j = 0; j < kWays; ++j) {
        pk_addr[j].copy_subtree(subtree);
        pk_addr[j].set_type(AddrType::WotsPk);
        pk_addr[j].set_keypair(j);
        out[j] = leaves + j * kN;
        in[j] = ends[j];
    }
    thash_x8(out, in, kWotsLen, ctx, pk_addr);
}

void wots_pk_from_sig_avx2(uint8_t* pk, const uint8_t* sig, const uint8_t* msg, const Context& ctx,
                           Address& addr) {
    // The steps left on each chain follow from the signed message, which is
    // public. Each lane walks one chain; a lane that finishes takes the next
    // chain, longest first, so the last rounds leave few lanes idle.
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
    uint32_t lane_chain[kWays], lane_step[kWays];
    size_t next = 0;
    auto take_next = [&](uint32_t j) {
        while (next < kWotsLen && lengths[order[next]] == kWotsW - 1) ++next;
        lane_chain[j] = next < kWotsLen ? order[next++] : kIdle;
        lane_step[j] = lane_chain[j] == kIdle ? 0 : lengths[lane_chain[j]];
    };
    for (uint32_t j = 0; j < kWays; ++j) take_next(j);

    Address lane_addr[kWays];
    std::fill_n(lane_addr, kWays, addr);
    uint8_t idle[kWays][kN] = {};
    auto busy = [&] {
        return std::any_of(lane_chain, lane_chain + kWays, [](uint32_t c) { return c != kIdle; });
    };
    while (busy()) {
        uint8_t* chain[kWays];
        for (uint32_t j = 0; j < kWays; ++j) {
            const bool walking = lane_chain[j] != kIdle;
            chain[j] = walking ? pk + lane_chain[j] * kN : idle[j];
            lane_addr[j].set_chain(walking ? lane_chain[j] : 0);
            lane_addr[j].set_hash(lane_step[j]);
        }
        thash_x8(chain, chain, 1, ctx, lane_addr);
        for (uint32_t j = 0; j < kWays; ++j) {
            if (lane_chain[j] != kIdle && ++lane_step[j] == kWotsW - 1) take_next(j);
        }
    }
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
