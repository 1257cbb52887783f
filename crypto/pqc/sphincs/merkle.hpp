// Binary hash trees: building a root with the authentication path of one
// leaf, climbing from a leaf back to the root, and the signing and key
// generation of one hypertree subtree.
#pragma once

#include <cstdint>

#include "crypto/pqc/sphincs/address.hpp"
#include "crypto/pqc/sphincs/hash.hpp"
#include "crypto/pqc/sphincs/params.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

// Hashes nodes 2j and 2j + 1 of a row into node j for j < count; node j's
// index is first + j, and tree_addr has subtree, type and height set.
using RowHash = void (*)(uint8_t* nodes, uint32_t count, uint32_t first, const Context& ctx,
                         Address& tree_addr);
void hash_row(uint8_t* nodes, uint32_t count, uint32_t first, const Context& ctx,
              Address& tree_addr);
// Eight nodes at a time (AVX2 build).
void hash_row_x8(uint8_t* nodes, uint32_t count, uint32_t first, const Context& ctx,
                 Address& tree_addr);

// Hashes the 2^height leaves in `nodes` (overwritten) up to `root`, a row at
// a time with `row`. With auth_path non-null, writes the sibling of
// leaf_idx's path at each height. Node addresses count across a row of
// trees, so idx_offset is the global index of this tree's first leaf;
// tree_addr has subtree, type and key pair set.
void tree_root(uint8_t* root, uint8_t* auth_path, uint8_t* nodes, uint32_t leaf_idx,
               uint32_t idx_offset, uint32_t height, const Context& ctx, Address& tree_addr,
               RowHash row = hash_row);

// The root implied by `leaf` at leaf_idx and its authentication path.
void compute_root(uint8_t* root, const uint8_t* leaf, uint32_t leaf_idx, uint32_t idx_offset,
                  const uint8_t* auth_path, uint32_t height, const Context& ctx,
                  Address& tree_addr);

// compute_root for eight trees of one row at once (AVX2 build): lane j
// climbs from leaves[j] at leaf_idx[j] of the tree starting at idx_offset[j].
void compute_roots_x8(uint8_t* const roots[kWays], const uint8_t* const leaves[kWays],
                      const uint32_t leaf_idx[kWays], const uint32_t idx_offset[kWays],
                      const uint8_t* const auth_paths[kWays], uint32_t height, const Context& ctx,
                      const Address& tree_addr);

// Signs the n-byte `root` with WOTS key pair leaf_idx of the subtree at
// (layer, tree), writes the signature and its authentication path to sig,
// and replaces root by that subtree's root.
void merkle_sign(uint8_t* sig, uint8_t* root, const Context& ctx, uint32_t layer, uint64_t tree,
                 uint32_t leaf_idx);

// The root of the top subtree: the public key's root.
void merkle_gen_root(uint8_t* root, const Context& ctx);

// The same with the subtree's WOTS key pairs all at once (AVX2 build).
void merkle_sign_avx2(uint8_t* sig, uint8_t* root, const Context& ctx, uint32_t layer,
                      uint64_t tree, uint32_t leaf_idx);
void merkle_gen_root_avx2(uint8_t* root, const Context& ctx);

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
