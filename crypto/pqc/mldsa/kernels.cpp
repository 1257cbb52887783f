#include "crypto/pqc/mldsa/kernels.hpp"

#if defined(__x86_64__)
#include "crypto/pqc/mldsa/avx2.hpp"
#endif

namespace tesvi_crypto::pqc::mldsa65 {
namespace {

void uniform_eta(PolyVecL& s1, PolyVecK& s2, std::span<const uint8_t, CRHBYTES> rhoprime) {
    polyvec_uniform_eta(s1, rhoprime, 0);
    polyvec_uniform_eta(s2, rhoprime, L);
}

constexpr Kernels PORTABLE = {
    poly_ntt,
    poly_invntt_tomont,
    poly_pointwise_montgomery,
    poly_pointwise_acc_montgomery,
    poly_reduce,
    poly_caddq,
    poly_power2round,
    poly_decompose,
    poly_make_hint,
    poly_use_hint,
    poly_chknorm,
    challenge_place,
    polyvec_matrix_expand,
    uniform_eta,
    polyvecl_uniform_gamma1,
};

#if defined(__x86_64__)
constexpr Kernels AVX2 = {
    avx2::ntt,
    avx2::invntt_tomont,
    avx2::pointwise_montgomery,
    avx2::pointwise_acc_montgomery,
    avx2::reduce,
    avx2::caddq,
    avx2::power2round,
    avx2::decompose,
    avx2::make_hint,
    avx2::use_hint,
    avx2::chknorm,
    avx2::challenge_place,
    avx2::matrix_expand,
    avx2::uniform_eta,
    avx2::uniform_gamma1,
};
#endif

}  // namespace

const Kernels& kernels(Build build) {
#if defined(__x86_64__)
    if (runs_avx2(build)) return AVX2;
#endif
    (void)build;
    return PORTABLE;
}

}  // namespace tesvi_crypto::pqc::mldsa65
