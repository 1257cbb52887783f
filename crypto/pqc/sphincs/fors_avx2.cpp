#include <algorithm>

#include "common/target_avx2.hpp"
#include "crypto/pqc/sphincs/fors.hpp"
#include "crypto/pqc/sphincs/merkle.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

TESVI_AVX2_BEGIN

void fors_leaves_x8(uint8_t* leaves, uint8_t* secret, uint32_t chosen, uint32_t offset,
                    const Context& ctx, Address& leaf_addr) {
    static_assert(kForsLeaves % kWays == 0);
    Address addr[kWays];
    std::fill_n(addr, kWays, leaf_addr);
    for (uint32_t j = 0; j < kForsLeaves; j += kWays) {
        uint8_t* out[kWays];
        for (uint32_t l = 0; l < kWays; ++l) {
            out[l] = leaves + (j + l) * kN;
            addr[l].set_tree_index(offset + j + l);
            addr[l].set_type(AddrType::ForsPrf);
        }
        prf_addr_x8(out, ctx, addr);
        // The message digest is public, so revealing by index is too.
        if (chosen / kWays == j / kWays) {
            const uint8_t* picked = out[chosen % kWays];
            std::copy(picked, picked + kN, secret);
        }
        for (Address& a : addr) a.set_type(AddrType::ForsTree);
        thash_x8(out, out, 1, ctx, addr);
    }
}

void fors_pk_from_sig_avx2(uint8_t* pk, const uint8_t* sig, const uint8_t* msg, const Context& ctx,
                           const Address& fors_addr) {
    const ForsIndices indices = message_to_indices(msg);
    Address tree_addr;
    tree_addr.copy_keypair(fors_addr);
    tree_addr.set_type(AddrType::ForsTree);
    tree_addr.set_tree_height(0);
    uint8_t roots[kForsTrees * kN];
    // Eight trees per pass. In a short last pass the lanes past tree k - 1
    // repeat it and their roots are dropped; a lone last tree climbs alone.
    uint8_t spare[kWays][kN];
    uint32_t first = 0;
    for (; first + 1 < kForsTrees; first += kWays) {
        Address leaf_addr[kWays];
        uint8_t leaf[kWays][kN];
        uint8_t* leaf_out[kWays];
        const uint8_t *secret[kWays], *leaf_in[kWays], *auth[kWays];
        uint8_t* root_out[kWays];
        uint32_t idx[kWays], offset[kWays];
        for (uint32_t l = 0; l < kWays; ++l) {
            const uint32_t i = std::min(first + l, kForsTrees - 1);
            idx[l] = indices[i];
            offset[l] = i * kForsLeaves;
            secret[l] = sig + i * kForsTreeSigBytes;
            auth[l] = secret[l] + kN;
            leaf_out[l] = leaf[l];
            leaf_in[l] = leaf[l];
            root_out[l] = first + l < kForsTrees ? roots + i * kN : spare[l];
            leaf_addr[l] = tree_addr;
            leaf_addr[l].set_tree_index(idx[l] + offset[l]);
        }
        thash_x8(leaf_out, secret, 1, ctx, leaf_addr);
        compute_roots_x8(root_out, leaf_in, idx, offset, auth, kForsHeight, ctx, tree_addr);
    }
    for (uint32_t i = first; i < kForsTrees; ++i) {
        fors_tree_root(roots + i * kN, sig + i * kForsTreeSigBytes, i, indices[i], ctx, fors_addr);
    }
    fors_pk_from_roots(pk, roots, ctx, fors_addr);
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
