#include "crypto/pqc/sphincs/fors.hpp"

#include <algorithm>
#include <array>

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

ForsIndices message_to_indices(const uint8_t* msg) {
    ForsIndices indices{};
    uint32_t offset = 0;
    for (uint32_t& index : indices) {
        for (uint32_t j = 0; j < kForsHeight; ++j, ++offset) {
            index |= ((msg[offset / 8] >> (offset % 8)) & 1u) << j;
        }
    }
    return indices;
}

void fors_pk_from_roots(uint8_t* pk, const uint8_t* roots, const Context& ctx,
                        const Address& fors_addr) {
    Address pk_addr;
    pk_addr.copy_keypair(fors_addr);
    pk_addr.set_type(AddrType::ForsPk);
    thash(pk, roots, kForsTrees, ctx, pk_addr);
}

void fors_leaves(uint8_t* leaves, uint8_t* secret, uint32_t chosen, uint32_t offset,
                 const Context& ctx, Address& leaf_addr) {
    for (uint32_t j = 0; j < kForsLeaves; ++j) {
        uint8_t* leaf = leaves + j * kN;
        leaf_addr.set_tree_index(offset + j);
        leaf_addr.set_type(AddrType::ForsPrf);
        prf_addr(leaf, ctx, leaf_addr);
        // The message digest is public, so revealing by index is too.
        if (j == chosen) std::copy(leaf, leaf + kN, secret);
        leaf_addr.set_type(AddrType::ForsTree);
        thash(leaf, leaf, 1, ctx, leaf_addr);
    }
}

void fors_sign(uint8_t* sig, uint8_t* pk, const uint8_t* msg, const Context& ctx,
               const Address& fors_addr, LeafRow make_leaves, RowHash row) {
    ForsIndices indices = message_to_indices(msg);
    Address leaf_addr;
    leaf_addr.copy_keypair(fors_addr);
    Address tree_addr;
    tree_addr.copy_keypair(fors_addr);
    tree_addr.set_type(AddrType::ForsTree);
    uint8_t roots[kForsTrees * kN];
    uint8_t leaves[kForsLeaves * kN];
    for (uint32_t i = 0; i < kForsTrees; ++i, sig += kForsTreeSigBytes) {
        const uint32_t offset = i * kForsLeaves;
        make_leaves(leaves, sig, indices[i], offset, ctx, leaf_addr);
        tree_root(roots + i * kN, sig + kN, leaves, indices[i], offset, kForsHeight, ctx, tree_addr,
                  row);
    }
    fors_pk_from_roots(pk, roots, ctx, fors_addr);
}

void fors_tree_root(uint8_t* root, const uint8_t* tree_sig, uint32_t tree, uint32_t index,
                    const Context& ctx, const Address& fors_addr) {
    Address tree_addr;
    tree_addr.copy_keypair(fors_addr);
    tree_addr.set_type(AddrType::ForsTree);
    const uint32_t offset = tree * kForsLeaves;
    tree_addr.set_tree_height(0);
    tree_addr.set_tree_index(index + offset);
    uint8_t leaf[kN];
    thash(leaf, tree_sig, 1, ctx, tree_addr);
    compute_root(root, leaf, index, offset, tree_sig + kN, kForsHeight, ctx, tree_addr);
}

void fors_pk_from_sig(uint8_t* pk, const uint8_t* sig, const uint8_t* msg, const Context& ctx,
                      const Address& fors_addr) {
    const ForsIndices indices = message_to_indices(msg);
    uint8_t roots[kForsTrees * kN];
    for (uint32_t i = 0; i < kForsTrees; ++i) {
        fors_tree_root(roots + i * kN, sig + i * kForsTreeSigBytes, i, indices[i], ctx, fors_addr);
    }
    fors_pk_from_roots(pk, roots, ctx, fors_addr);
}

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
