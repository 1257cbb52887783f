#include <algorithm>

#include "common/target_avx2.hpp"
#include "crypto/pqc/sphincs/merkle.hpp"
#include "crypto/pqc/sphincs/wots.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

TESVI_AVX2_BEGIN

void hash_row_x8(uint8_t* nodes, uint32_t count, uint32_t first, const Context& ctx,
                 Address& tree_addr) {
    for (uint32_t j = 0; j < count; j += kWays) {
        // A short last group fills the spare lanes with copies of its last
        // node, whose outputs are dropped; a lone node costs less alone.
        const uint32_t lanes = std::min(count - j, kWays);
        if (lanes == 1) return hash_row(nodes + j * kN, 1, first + j, ctx, tree_addr);
        Address addr[kWays];
        uint8_t* out[kWays];
        const uint8_t* in[kWays];
        uint8_t spare[kWays][kN];
        for (uint32_t l = 0; l < kWays; ++l) {
            const uint32_t node = j + std::min(l, lanes - 1);
            addr[l] = tree_addr;
            addr[l].set_tree_index(first + node);
            out[l] = l < lanes ? nodes + node * kN : spare[l];
            in[l] = nodes + 2 * node * kN;
        }
        thash_x8(out, in, 2, ctx, addr);
    }
}

void compute_roots_x8(uint8_t* const roots[kWays], const uint8_t* const leaves[kWays],
                      const uint32_t leaf_idx[kWays], const uint32_t idx_offset[kWays],
                      const uint8_t* const auth_paths[kWays], uint32_t height, const Context& ctx,
                      const Address& tree_addr) {
    uint8_t pair[kWays][2 * kN];
    uint8_t node[kWays][kN];
    uint32_t idx[kWays], offset[kWays];
    Address addr[kWays];
    uint8_t* out[kWays];
    const uint8_t* in[kWays];
    for (uint32_t l = 0; l < kWays; ++l) {
        std::copy(leaves[l], leaves[l] + kN, node[l]);
        idx[l] = leaf_idx[l];
        offset[l] = idx_offset[l];
        addr[l] = tree_addr;
        out[l] = node[l];
        in[l] = pair[l];
    }
    for (uint32_t h = 0; h < height; ++h) {
        for (uint32_t l = 0; l < kWays; ++l) {
            // The node sits left or right of its sibling by its (public) index bit.
            const uint32_t right = idx[l] & 1;
            std::copy(node[l], node[l] + kN, pair[l] + right * kN);
            std::copy(auth_paths[l] + h * kN, auth_paths[l] + (h + 1) * kN,
                      pair[l] + (right ^ 1) * kN);
            idx[l] >>= 1;
            offset[l] >>= 1;
            addr[l].set_tree_height(h + 1);
            addr[l].set_tree_index(idx[l] + offset[l]);
        }
        thash_x8(out, in, 2, ctx, addr);
    }
    for (uint32_t l = 0; l < kWays; ++l) std::copy(node[l], node[l] + kN, roots[l]);
}

namespace {

// The subtree's leaves in one pass, with the signature of key pair leaf_idx
// when sig is non-null, then its root and authentication path.
void subtree_avx2(uint8_t* sig, uint8_t* root, const Context& ctx, uint32_t layer, uint64_t tree,
                  uint32_t leaf_idx, const ChainLengths& steps) {
    Address addr;
    addr.set_layer(layer);
    addr.set_tree(tree);
    uint8_t leaves[kWays * kN];
    wots_gen_leaves_x8(leaves, ctx, addr, sig, leaf_idx, steps);
    addr.set_type(AddrType::HashTree);
    tree_root(root, sig == nullptr ? nullptr : sig + kWotsBytes, leaves, leaf_idx, 0, kTreeHeight,
              ctx, addr, hash_row_x8);
}

}  // namespace

void merkle_sign_avx2(uint8_t* sig, uint8_t* root, const Context& ctx, uint32_t layer,
                      uint64_t tree, uint32_t leaf_idx) {
    subtree_avx2(sig, root, ctx, layer, tree, leaf_idx, chain_lengths(root));
}

void merkle_gen_root_avx2(uint8_t* root, const Context& ctx) {
    subtree_avx2(nullptr, root, ctx, kLayers - 1, 0, 0, ChainLengths{});
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
