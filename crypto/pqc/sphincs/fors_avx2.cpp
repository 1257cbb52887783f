#include <algorithm>

#include "common/target_avx2.hpp"
#include "crypto/pqc/sphincs/fors.hpp"
#include "crypto/pqc/sphincs/merkle.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

TESVI_AVX2_BEGIN

void fors_leaves_x4(uint8_t* leaves, uint8_t* secret, uint32_t chosen, uint32_t offset,
                    const Context& ctx, Address& leaf_addr) {
    static_assert(kForsLeaves % 4 == 0);
    Address addr[4] = {leaf_addr, leaf_addr, leaf_addr, leaf_addr};
    for (uint32_t j = 0; j < kForsLeaves; j += 4) {
        uint8_t* const out[4] = {leaves + j * kN, leaves + (j + 1) * kN, leaves + (j + 2) * kN,
                                 leaves + (j + 3) * kN};
        for (uint32_t l = 0; l < 4; ++l) {
            addr[l].set_tree_index(offset + j + l);
            addr[l].set_type(AddrType::ForsPrf);
        }
        prf_addr_x4(out, ctx, addr);
        // The message digest is public, so revealing by index is too.
        if (chosen / 4 == j / 4) std::copy(out[chosen % 4], out[chosen % 4] + kN, secret);
        for (Address& a : addr) a.set_type(AddrType::ForsTree);
        thash_x4(out, out, 1, ctx, addr);
    }
}

void fors_pk_from_sig_avx2(uint8_t* pk, const uint8_t* sig, const uint8_t* msg, const Context& ctx,
                           const Address& fors_addr) {
    const ForsIndices indices = message_to_indices(msg);
    Address tree_addr;
    tree_addr.copy_keypair(fors_addr);
    tree_addr.set_type(AddrType::ForsTree);
    tree_addr.set_tree_height(0);
    constexpr size_t kTreeSigBytes = (kForsHeight + 1) * kN;
    uint8_t roots[kForsTrees * kN];
    // Four trees per pass; in the last pass the lanes past tree k - 1 repeat
    // it and their roots are dropped.
    uint8_t spare[4][kN];
    for (uint32_t first = 0; first < kForsTrees; first += 4) {
        Address leaf_addr[4];
        uint8_t leaf[4][kN];
        uint8_t* leaf_out[4];
        const uint8_t *secret[4], *leaf_in[4], *auth[4];
        uint8_t* root_out[4];
        uint32_t idx[4], offset[4];
        for (uint32_t l = 0; l < 4; ++l) {
            const uint32_t i = std::min(first + l, kForsTrees - 1);
            const bool real = first + l < kForsTrees;
            idx[l] = indices[i];
            offset[l] = i * kForsLeaves;
            secret[l] = sig + i * kTreeSigBytes;
            auth[l] = secret[l] + kN;
            leaf_out[l] = leaf[l];
            leaf_in[l] = leaf[l];
            root_out[l] = real ? roots + i * kN : spare[l];
            leaf_addr[l] = tree_addr;
            leaf_addr[l].set_tree_index(idx[l] + offset[l]);
        }
        thash_x4(leaf_out, secret, 1, ctx, leaf_addr);
        compute_roots_x4(root_out, leaf_in, idx, offset, auth, kForsHeight, ctx, tree_addr);
    }
    fors_pk_from_roots(pk, roots, ctx, fors_addr);
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
