// FORS few-time signatures: k trees of 2^a secret leaves; the message picks
// one leaf per tree, and the k roots compress into the FORS public key that
// the bottom hypertree layer signs.
#pragma once

#include <array>
#include <cstdint>

#include "crypto/pqc/sphincs/address.hpp"
#include "crypto/pqc/sphincs/hash.hpp"
#include "crypto/pqc/sphincs/merkle.hpp"
#include "crypto/pqc/sphincs/params.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

inline constexpr uint32_t kForsLeaves = 1u << kForsHeight;
// One tree's part of the signature: the chosen secret, then its authentication path.
inline constexpr size_t kForsTreeSigBytes = (kForsHeight + 1) * kN;

// The kForsLeaves leaves of the tree whose first leaf has global index
// offset; the secret of leaf `chosen` (picked by the public digest) goes to
// secret. leaf_addr has the key pair set.
using LeafRow = void (*)(uint8_t* leaves, uint8_t* secret, uint32_t chosen, uint32_t offset,
                         const Context& ctx, Address& leaf_addr);
void fors_leaves(uint8_t* leaves, uint8_t* secret, uint32_t chosen, uint32_t offset,
                 const Context& ctx, Address& leaf_addr);
// Eight leaves at a time (AVX2 build).
void fors_leaves_x8(uint8_t* leaves, uint8_t* secret, uint32_t chosen, uint32_t offset,
                    const Context& ctx, Address& leaf_addr);

// Writes the kForsBytes signature of the kForsMsgBytes message `msg` to sig
// and the FORS public key to pk, making leaves with make_leaves and hashing
// tree rows with row. fors_addr names the key pair (layer 0, tree and leaf of
// the hypertree path).
void fors_sign(uint8_t* sig, uint8_t* pk, const uint8_t* msg, const Context& ctx,
               const Address& fors_addr, LeafRow make_leaves = fors_leaves, RowHash row = hash_row);

// The FORS public key that sig implies for msg.
void fors_pk_from_sig(uint8_t* pk, const uint8_t* sig, const uint8_t* msg, const Context& ctx,
                      const Address& fors_addr);

// The root of FORS tree `tree` (0 .. k - 1) that its part of the signature
// implies for leaf `index`.
void fors_tree_root(uint8_t* root, const uint8_t* tree_sig, uint32_t tree, uint32_t index,
                    const Context& ctx, const Address& fors_addr);

// fors_pk_from_sig with leaves and tree nodes hashed eight at a time (AVX2 build).
void fors_pk_from_sig_avx2(uint8_t* pk, const uint8_t* sig, const uint8_t* msg, const Context& ctx,
                           const Address& fors_addr);

// The FORS public key: the k roots compressed under fors_addr's key pair.
void fors_pk_from_roots(uint8_t* pk, const uint8_t* roots, const Context& ctx,
                        const Address& fors_addr);

// Consecutive a-bit groups of msg, each read least significant bit first: the
// leaf the message picks in each tree.
using ForsIndices = std::array<uint32_t, kForsTrees>;
ForsIndices message_to_indices(const uint8_t* msg);

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
