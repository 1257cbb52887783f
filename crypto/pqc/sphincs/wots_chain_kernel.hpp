// The chain walk of wots_chains.hpp over a Keccak lane type L of W slots,
// lanes first .. first + W - 1. Include it inside a target region after the
// lane header of that instruction set (crypto/hash/keccak_lanes_*.hpp), for
// the reason crypto/hash/keccak_round.hpp gives.
#pragma once

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {
namespace {

// SHAKE256(PK.seed || ADRS || tail) in one block: the rows from 8 on are
// padding, the same for every call.
template <class L, class Lane = typename L::Lane>
inline void hash_input(Lane a[25], const ChainWalk& walk, Lane keypair, uint64_t chain_hash,
                       Lane tail0, Lane tail1) {
    a[0] = L::broadcast(walk.pub_seed[0]);
    a[1] = L::broadcast(walk.pub_seed[1]);
    a[2] = L::broadcast(walk.subtree[0]);
    a[3] = L::broadcast(walk.subtree[1]);
    a[4] = keypair;
    a[5] = L::broadcast(chain_hash);
    a[6] = tail0;
    a[7] = tail1;
    a[8] = L::broadcast(0x1F);
    for (int i = 9; i < 25; ++i) a[i] = L::broadcast(0);
    a[16] = L::broadcast(uint64_t{0x80} << 56);
}

template <class L, class Lane = typename L::Lane>
__attribute__((flatten)) inline void walk_lanes(uint64_t ends[2][kWays], uint64_t kept[2][kWays],
                                                const ChainWalk& walk, uint32_t first) {
    Lane a[25];
    hash_input<L>(a, walk, L::load(walk.prf_keypair + first), walk.chain_hash[0],
                  L::broadcast(walk.sk_seed[0]), L::broadcast(walk.sk_seed[1]));
    hash::permute_lanes<L>(a);
    const Lane keypair = L::load(walk.chain_keypair + first);
    Lane keep[2] = {L::broadcast(0), L::broadcast(0)};
    for (uint32_t k = 0;; ++k) {
        // keep ^= (a ^ keep) where k == steps: chi(x, ~m, y) = x ^ (m & y).
        const Lane other = L::broadcast(~(uint64_t{0} - (ct::eq_mask(k, walk.steps) & 1)));
        for (int r = 0; r < 2; ++r) keep[r] = L::chi(keep[r], other, L::xor_(a[r], keep[r]));
        if (k == kWotsW - 1) break;
        hash_input<L>(a, walk, keypair, walk.chain_hash[k], a[0], a[1]);
        hash::permute_lanes<L>(a);
    }
    for (int r = 0; r < 2; ++r) {
        L::store(ends[r] + first, a[r]);
        L::store(kept[r] + first, keep[r]);
    }
}

}  // namespace
}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
