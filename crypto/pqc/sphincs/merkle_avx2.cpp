#include <algorithm>

#include "common/target_avx2.hpp"
#include "crypto/pqc/sphincs/merkle.hpp"
#include "crypto/pqc/sphincs/wots.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

TESVI_AVX2_BEGIN

void hash_row_x4(uint8_t* nodes, uint32_t count, uint32_t first, const Context& ctx,
                 Address& tree_addr) {
    uint32_t j = 0;
    for (; j + 4 <= count; j += 4) {
        Address addr[4] = {tree_addr, tree_addr, tree_addr, tree_addr};
        uint8_t* out[4];
        const uint8_t* in[4];
        for (uint32_t l = 0; l < 4; ++l) {
            addr[l].set_tree_index(first + j + l);
            out[l] = nodes + (j + l) * kN;
            in[l] = nodes + 2 * (j + l) * kN;
        }
        thash_x4(out, in, 2, ctx, addr);
    }
    hash_row(nodes + j * kN, count - j, first + j, ctx, tree_addr);
}

void compute_roots_x4(uint8_t* const roots[4], const uint8_t* const leaves[4],
                      const uint32_t leaf_idx[4], const uint32_t idx_offset[4],
                      const uint8_t* const auth_paths[4], uint32_t height, const Context& ctx,
                      const Address& tree_addr) {
    uint8_t pair[4][2 * kN];
    uint8_t node[4][kN];
    uint32_t idx[4], offset[4];
    Address addr[4] = {tree_addr, tree_addr, tree_addr, tree_addr};
    for (uint32_t l = 0; l < 4; ++l) {
        std::copy(leaves[l], leaves[l] + kN, node[l]);
        idx[l] = leaf_idx[l];
        offset[l] = idx_offset[l];
    }
    uint8_t* const out[4] = {node[0], node[1], node[2], node[3]};
    const uint8_t* const in[4] = {pair[0], pair[1], pair[2], pair[3]};
    for (uint32_t h = 0; h < height; ++h) {
        for (uint32_t l = 0; l < 4; ++l) {
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
        thash_x4(out, in, 2, ctx, addr);
    }
    for (uint32_t l = 0; l < 4; ++l) std::copy(node[l], node[l] + kN, roots[l]);
}

namespace {

// Leaves of one subtree four key pairs at a time, with the signature of key
// pair leaf_idx when sig is non-null, then its root and authentication path.
void subtree_avx2(uint8_t* sig, uint8_t* root, const Context& ctx, uint32_t layer, uint64_t tree,
                  uint32_t leaf_idx, const ChainLengths& steps) {
    static_assert((1u << kTreeHeight) % 4 == 0);
    Address addr;
    addr.set_layer(layer);
    addr.set_tree(tree);
    uint8_t leaves[(1u << kTreeHeight) * kN];
    for (uint32_t j = 0; j < (1u << kTreeHeight); j += 4) {
        const bool signs = sig != nullptr && leaf_idx / 4 == j / 4;
        wots_gen_leaves_x4(leaves + j * kN, ctx, j, addr, signs ? sig : nullptr, leaf_idx, steps);
    }
    addr.set_type(AddrType::HashTree);
    tree_root(root, sig == nullptr ? nullptr : sig + kWotsBytes, leaves, leaf_idx, 0, kTreeHeight,
              ctx, addr, hash_row_x4);
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
