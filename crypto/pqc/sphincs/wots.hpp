// WOTS+ one-time signatures with w = 16: len chains of w - 1 hash steps each,
// whose top ends compress into one leaf of a hypertree subtree.
#pragma once

#include <array>
#include <cstdint>

#include "crypto/pqc/sphincs/address.hpp"
#include "crypto/pqc/sphincs/hash.hpp"
#include "crypto/pqc/sphincs/params.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

using ChainLengths = std::array<uint32_t, kWotsLen>;

// The n-byte message in base w followed by its base-w checksum: how many
// steps up each chain the signature reveals.
ChainLengths chain_lengths(const uint8_t* msg);

// The leaf of key pair leaf_idx in the subtree of `subtree` (layer and tree
// set). With sig non-null, also writes the whole WOTS signature for `steps`
// there; which chain value is kept is selected without branching on steps,
// since they derive from secret-seeded roots until the signature is released.
void wots_gen_leaf(uint8_t* leaf, const Context& ctx, uint32_t leaf_idx, const Address& subtree,
                   uint8_t* sig, const ChainLengths& steps);

// The same for all the subtree's key pairs in one pass (AVX2 build): leaves
// gets their leaves, and with sig non-null key pair sig_leaf signs `steps`
// into sig.
void wots_gen_leaves_x8(uint8_t* leaves, const Context& ctx, const Address& subtree, uint8_t* sig,
                        uint32_t sig_leaf, const ChainLengths& steps);

// Keeps the n-byte chain value reached after k steps as signature element
// sig when k == steps (sig zeroed beforehand), with no branch on steps.
void capture_chain(uint8_t* sig, const uint8_t* chain, uint32_t k, uint32_t steps);

// The chain ends that sig and msg imply; addr has subtree, type and key pair set.
void wots_pk_from_sig(uint8_t* pk, const uint8_t* sig, const uint8_t* msg, const Context& ctx,
                      Address& addr);
// The same walking eight chains at a time (AVX2 build).
void wots_pk_from_sig_avx2(uint8_t* pk, const uint8_t* sig, const uint8_t* msg, const Context& ctx,
                           Address& addr);

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
