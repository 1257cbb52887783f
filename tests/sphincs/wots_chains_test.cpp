#include "crypto/pqc/sphincs/wots_chains.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "common/cpu.hpp"
#include "crypto/pqc/sphincs/address.hpp"

// The chain walks are built on x86-64 only.
#if defined(__x86_64__)
namespace {

namespace sp = tesvi_crypto::pqc::sphincs_shake_128f_simple;

uint64_t word(const sp::Address& addr, size_t at) {
    uint64_t v;
    std::memcpy(&v, addr.bytes.data() + at, 8);
    return v;
}

// Each lane against the single-state PRF and hash steps, for every number of
// kept steps, under random seeds, subtrees and chains.
TEST(WotsChains, EveryFormWalksLikeTheSingleHashes) {
    const struct {
        const char* name;
        sp::ChainWalker walk;
        bool (*available)();
    } forms[] = {
        {"dispatch", sp::walk_chains, tesvi::cpu::has_avx2},
        {"avx2", sp::walk_chains_avx2, tesvi::cpu::has_avx2},
        {"avx512", sp::walk_chains_avx512, tesvi::cpu::has_avx512},
    };
    std::mt19937_64 rng(20261211);
    for (uint32_t steps = 0; steps < sp::kWotsW; ++steps) {
        sp::Context ctx;
        for (auto& b : ctx.pub_seed) b = static_cast<uint8_t>(rng());
        for (auto& b : ctx.sk_seed) b = static_cast<uint8_t>(rng());
        sp::Address subtree;
        subtree.set_layer(static_cast<uint32_t>(rng() % sp::kLayers));
        subtree.set_tree(rng() >> 8);
        const uint32_t chain = static_cast<uint32_t>(rng() % sp::kWotsLen);

        sp::ChainWalk walk;
        std::memcpy(walk.pub_seed, ctx.pub_seed.data(), sp::kN);
        std::memcpy(walk.sk_seed, ctx.sk_seed.data(), sp::kN);
        walk.subtree[0] = word(subtree, 0);
        walk.subtree[1] = word(subtree, 8);
        walk.steps = steps;
        uint8_t want_end[sp::kWays][sp::kN], want_kept[sp::kWays][sp::kN];
        for (uint32_t j = 0; j < sp::kWays; ++j) {
            sp::Address addr;
            addr.copy_subtree(subtree);
            addr.set_keypair(j);
            addr.set_chain(chain);
            addr.set_type(sp::AddrType::WotsPrf);
            walk.prf_keypair[j] = word(addr, 16);
            sp::prf_addr(want_end[j], ctx, addr);
            addr.set_type(sp::AddrType::Wots);
            walk.chain_keypair[j] = word(addr, 16);
            for (uint32_t k = 0; k < sp::kWotsW - 1; ++k) {
                if (k == steps) std::memcpy(want_kept[j], want_end[j], sp::kN);
                addr.set_hash(k);
                walk.chain_hash[k] = word(addr, 24);
                sp::thash(want_end[j], want_end[j], 1, ctx, addr);
            }
            if (steps == sp::kWotsW - 1) std::memcpy(want_kept[j], want_end[j], sp::kN);
        }
        for (const auto& form : forms) {
            if (!form.available()) continue;
            alignas(64) uint64_t end[2][sp::kWays];
            alignas(64) uint64_t kept[2][sp::kWays];
            form.walk(end, kept, walk);
            for (uint32_t j = 0; j < sp::kWays; ++j) {
                uint8_t got_end[sp::kN], got_kept[sp::kN];
                for (int r = 0; r < 2; ++r) {
                    std::memcpy(got_end + 8 * r, &end[r][j], 8);
                    std::memcpy(got_kept + 8 * r, &kept[r][j], 8);
                }
                EXPECT_EQ(0, std::memcmp(got_end, want_end[j], sp::kN))
                    << form.name << " end, lane " << j << " steps " << steps;
                EXPECT_EQ(0, std::memcmp(got_kept, want_kept[j], sp::kN))
                    << form.name << " kept, lane " << j << " steps " << steps;
            }
        }
    }
}

}  // namespace
#endif
