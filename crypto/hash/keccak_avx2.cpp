#include <immintrin.h>

#include <cstdint>
#include <utility>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_f1600.hpp"
#include "crypto/hash/keccak_x4.hpp"

// The two AVX2-machine kernels share one round: on one state in 64-bit
// registers (rorx, andn), and on four states in the 64-bit slots of AVX2
// registers.
namespace tesvi_crypto::hash {

TESVI_AVX2_BEGIN

namespace {

// f(0), ..., f(N-1) with each index a compile-time constant, so every lane
// index and rotation is fixed and the lanes can live in registers.
template <unsigned... I, class F>
inline void each(std::integer_sequence<unsigned, I...>, F&& f) {
    (f(std::integral_constant<unsigned, I>{}), ...);
}

struct OneState {
    using Lane = uint64_t;
    static Lane xor_(Lane a, Lane b) { return a ^ b; }
    static Lane andn(Lane a, Lane b) { return ~a & b; }  // one andn
    static Lane broadcast(uint64_t v) { return v; }
    template <int N>
    static Lane rol(Lane x) {
        if constexpr (N == 0)
            return x;
        else
            return (x << N) | (x >> (64 - N));  // one rorx
    }
};

struct FourStates {
    using Lane = __m256i;
    static Lane xor_(Lane a, Lane b) { return _mm256_xor_si256(a, b); }
    static Lane andn(Lane a, Lane b) { return _mm256_andnot_si256(a, b); }
    static Lane broadcast(uint64_t v) { return _mm256_set1_epi64x(static_cast<long long>(v)); }
    // Byte rotations are one shuffle instead of two shifts and an or.
    template <int N>
    static Lane rol(Lane x) {
        if constexpr (N == 0) {
            return x;
        } else if constexpr (N == 8) {
            return _mm256_shuffle_epi8(
                x, _mm256_set_epi8(14, 13, 12, 11, 10, 9, 8, 15, 6, 5, 4, 3, 2, 1, 0, 7, 14, 13, 12,
                                   11, 10, 9, 8, 15, 6, 5, 4, 3, 2, 1, 0, 7));
        } else if constexpr (N == 56) {
            return _mm256_shuffle_epi8(
                x, _mm256_set_epi8(8, 15, 14, 13, 12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1, 8, 15, 14,
                                   13, 12, 11, 10, 9, 0, 7, 6, 5, 4, 3, 2, 1));
        } else {
            return _mm256_or_si256(_mm256_slli_epi64(x, N), _mm256_srli_epi64(x, 64 - N));
        }
    }
};

// One round from a into e, a plane at a time: the five lanes of an output
// row are gathered (theta, rho, pi) and mixed (chi) at once, so few values
// are live. c holds a's column parities on entry and e's on return, summed
// while e's lanes are still in registers.
template <class L, class Lane = typename L::Lane>
inline void round(const Lane a[25], Lane e[25], Lane c[5], uint64_t rc) {
    using keccak::RHO;
    Lane d[5];
    each(std::make_integer_sequence<unsigned, 5>{},
         [&](auto x) { d[x] = L::xor_(c[(x + 4) % 5], L::template rol<1>(c[(x + 1) % 5])); });
    each(std::make_integer_sequence<unsigned, 5>{}, [&](auto y) {
        Lane b[5];
        // Output lane (x, y) comes from lane (x + 3y, x) through pi.
        each(std::make_integer_sequence<unsigned, 5>{}, [&](auto x) {
            constexpr unsigned from = (x + 3 * y) % 5 + 5 * x;
            b[x] = L::template rol<RHO[from]>(L::xor_(a[from], d[from % 5]));
        });
        each(std::make_integer_sequence<unsigned, 5>{}, [&](auto x) {
            Lane lane = L::xor_(b[x], L::andn(b[(x + 1) % 5], b[(x + 2) % 5]));
            if constexpr (y == 0 && x == 0) lane = L::xor_(lane, L::broadcast(rc));
            e[5 * y + x] = lane;
            c[x] = y == 0 ? lane : L::xor_(c[x], lane);
        });
    });
}

template <class L, class Lane = typename L::Lane>
inline void permute_lanes(Lane a[25]) {
    Lane e[25], c[5];
    for (int x = 0; x < 5; ++x)
        c[x] = L::xor_(L::xor_(L::xor_(a[x], a[x + 5]), L::xor_(a[x + 10], a[x + 15])), a[x + 20]);
    // Two rounds per step, so the copies between a and e are only renamings.
    for (int r = 0; r < 24; r += 2) {
        round<L>(a, e, c, keccak::ROUND_CONSTANTS[r]);
        round<L>(e, a, c, keccak::ROUND_CONSTANTS[r + 1]);
    }
}

}  // namespace

// flatten: every helper above is inlined, whatever the compiler's size limits.
__attribute__((flatten)) void keccak_f1600_avx2(uint64_t state[25]) {
    uint64_t a[25];
    for (int i = 0; i < 25; ++i) a[i] = state[i];
    permute_lanes<OneState>(a);
    for (int i = 0; i < 25; ++i) state[i] = a[i];
}

__attribute__((flatten)) void x4::permute(State& st) {
    __m256i a[25];
    for (int i = 0; i < 25; ++i)
        a[i] = _mm256_load_si256(reinterpret_cast<const __m256i*>(st.s[i]));
    permute_lanes<FourStates>(a);
    for (int i = 0; i < 25; ++i) _mm256_store_si256(reinterpret_cast<__m256i*>(st.s[i]), a[i]);
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::hash
