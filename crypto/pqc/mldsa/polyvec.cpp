#include "crypto/pqc/mldsa/polyvec.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

void polyvecl_uniform_gamma1(PolyVecL& y, std::span<const uint8_t, CRHBYTES> rhoprime,
                             uint16_t nonce) {
    for (size_t i = 0; i < L; ++i)
        poly_uniform_gamma1(y.vec[i], rhoprime, static_cast<uint16_t>(L * nonce + i));
}

void polyvec_matrix_expand(PolyMatrix& mat, std::span<const uint8_t, SEEDBYTES> rho) {
    for (size_t i = 0; i < K; ++i)
        for (size_t j = 0; j < L; ++j)
            poly_uniform(mat[i].vec[j], rho, static_cast<uint16_t>((i << 8) + j));
}

void polyveck_pack_w1(uint8_t r[K * POLYW1_PACKEDBYTES], const PolyVecK& w1) {
    for (size_t i = 0; i < K; ++i) polyw1_pack(r + i * POLYW1_PACKEDBYTES, w1.vec[i]);
}

}  // namespace tesvi_crypto::pqc::mldsa65
