#include "crypto/pqc/sphincs/merkle.hpp"

#include <algorithm>

#include "crypto/pqc/sphincs/wots.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

void hash_row(uint8_t* nodes, uint32_t count, uint32_t first, const Context& ctx,
              Address& tree_addr) {
    for (uint32_t j = 0; j < count; ++j) {
        tree_addr.set_tree_index(first + j);
        thash(nodes + j * kN, nodes + 2 * j * kN, 2, ctx, tree_addr);
    }
}

void tree_root(uint8_t* root, uint8_t* auth_path, uint8_t* nodes, uint32_t leaf_idx,
               uint32_t idx_offset, uint32_t height, const Context& ctx, Address& tree_addr,
               RowHash row) {
    // One row at a time, in place: node j of the next row reads nodes 2j and
    // 2j + 1, which no earlier write of that row has touched (a row hash that
    // writes several nodes at once reads all their inputs first).
    for (uint32_t h = 0; h < height; ++h) {
        if (auth_path != nullptr) {
            const uint8_t* sibling = nodes + ((leaf_idx >> h) ^ 1) * kN;
            std::copy(sibling, sibling + kN, auth_path + h * kN);
        }
        tree_addr.set_tree_height(h + 1);
        row(nodes, 1u << (height - h - 1), idx_offset >> (h + 1), ctx, tree_addr);
    }
    std::copy(nodes, nodes + kN, root);
}

void compute_root(uint8_t* root, const uint8_t* leaf, uint32_t leaf_idx, uint32_t idx_offset,
                  const uint8_t* auth_path, uint32_t height, const Context& ctx,
                  Address& tree_addr) {
    uint8_t node[kN];
    uint8_t pair[2 * kN];
    std::copy(leaf, leaf + kN, node);
    for (uint32_t h = 0; h < height; ++h) {
        // The node sits left or right of its sibling by its index bit.
        uint32_t right = leaf_idx & 1;
        std::copy(node, node + kN, pair + right * kN);
        std::copy(auth_path + h * kN, auth_path + (h + 1) * kN, pair + (right ^ 1) * kN);
        leaf_idx >>= 1;
        idx_offset >>= 1;
        tree_addr.set_tree_height(h + 1);
        tree_addr.set_tree_index(leaf_idx + idx_offset);
        thash(node, pair, 2, ctx, tree_addr);
    }
    std::copy(node, node + kN, root);
}

namespace {

// Leaves of one subtree, with the signature of key pair leaf_idx when sig is
// non-null, then its root and authentication path.
void subtree(uint8_t* sig, uint8_t* root, const Context& ctx, uint32_t layer, uint64_t tree,
             uint32_t leaf_idx, const ChainLengths& steps) {
    Address addr;
    addr.set_layer(layer);
    addr.set_tree(tree);
    uint8_t leaves[(1u << kTreeHeight) * kN];
    for (uint32_t j = 0; j < (1u << kTreeHeight); ++j) {
        wots_gen_leaf(leaves + j * kN, ctx, j, addr, j == leaf_idx ? sig : nullptr, steps);
    }
    addr.set_type(AddrType::HashTree);
    tree_root(root, sig == nullptr ? nullptr : sig + kWotsBytes, leaves, leaf_idx, 0, kTreeHeight,
              ctx, addr);
}

}  // namespace

void merkle_sign(uint8_t* sig, uint8_t* root, const Context& ctx, uint32_t layer, uint64_t tree,
                 uint32_t leaf_idx) {
    subtree(sig, root, ctx, layer, tree, leaf_idx, chain_lengths(root));
}

void merkle_gen_root(uint8_t* root, const Context& ctx) {
    subtree(nullptr, root, ctx, kLayers - 1, 0, 0, ChainLengths{});
}

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
