// One WOTS chain of each of the eight key pairs of a subtree, walked in
// registers: the secret element (a PRF call) and its w - 1 hash steps, with
// the eight states of each step permuted together. This is nearly all the
// work of key generation and signing. AVX2 build only: call these only when
// tesvi::cpu::has_avx2().
#pragma once

#include <cstdint>

#include "crypto/pqc/sphincs/hash.hpp"
#include "crypto/pqc/sphincs/params.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

static_assert(1u << kTreeHeight == kWays, "a subtree's key pairs fill the lanes");

// The hash inputs of the walk as little-endian 64-bit words: everything but
// the running chain value is fixed for the whole walk.
struct ChainWalk {
    uint64_t pub_seed[2];
    uint64_t sk_seed[2];
    uint64_t subtree[2];                      // address bytes 0-15: layer and tree
    alignas(64) uint64_t prf_keypair[kWays];  // bytes 16-23 of lane j's PRF address: type, key pair
    alignas(64) uint64_t chain_keypair[kWays];  // the same for its hash steps
    uint64_t chain_hash[kWotsW - 1];            // bytes 24-31 of step k (and of the PRF for k = 0)
    uint32_t steps;                             // secret: the value after this many steps is kept
};

// ends[r][j] is word r of lane j's chain end; kept[r][j] of its value after
// walk.steps steps, selected without a branch or index on steps. Both are
// 64-byte aligned, a row per register.
using ChainWalker = void (*)(uint64_t ends[2][kWays], uint64_t kept[2][kWays],
                             const ChainWalk& walk);
void walk_chains(uint64_t ends[2][kWays], uint64_t kept[2][kWays], const ChainWalk& walk);

// The two forms walk_chains picks between, by name for tests: two halves of
// four lanes in AVX2 registers, and eight lanes in zmm registers.
void walk_chains_avx2(uint64_t ends[2][kWays], uint64_t kept[2][kWays], const ChainWalk& walk);
void walk_chains_avx512(uint64_t ends[2][kWays], uint64_t kept[2][kWays],
                        const ChainWalk& walk);  // only when tesvi::cpu::has_avx512()

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
