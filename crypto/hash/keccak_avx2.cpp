#include <cstdint>
#include <utility>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_f1600.hpp"

namespace tesvi_crypto::hash {

TESVI_AVX2_BEGIN

namespace {

// f(0), ..., f(N-1) with each index a compile-time constant, so every lane
// index and rotation is fixed and the lanes can live in registers.
template <unsigned... I, class F>
inline void each(std::integer_sequence<unsigned, I...>, F&& f) {
    (f(std::integral_constant<unsigned, I>{}), ...);
}

template <int N>
inline uint64_t rol(uint64_t x) {
    if constexpr (N == 0) {
        return x;
    } else {
        return (x << N) | (x >> (64 - N));  // one rorx
    }
}

// One round from a into e, a plane at a time: the five lanes of an output
// row are gathered (theta, rho, pi) and mixed (chi) at once, so few values
// are live. c holds a's column parities on entry and e's on return, summed
// while e's lanes are still in registers.
inline void round(const uint64_t a[25], uint64_t e[25], uint64_t c[5], uint64_t rc) {
    using keccak::RHO;
    uint64_t d[5];
    each(std::make_integer_sequence<unsigned, 5>{},
         [&](auto x) { d[x] = c[(x + 4) % 5] ^ rol<1>(c[(x + 1) % 5]); });
    each(std::make_integer_sequence<unsigned, 5>{}, [&](auto y) {
        uint64_t b[5];
        // Output lane (x, y) comes from lane (x + 3y, x) through pi.
        each(std::make_integer_sequence<unsigned, 5>{}, [&](auto x) {
            constexpr unsigned from = (x + 3 * y) % 5 + 5 * x;
            b[x] = rol<RHO[from]>(a[from] ^ d[from % 5]);
        });
        each(std::make_integer_sequence<unsigned, 5>{}, [&](auto x) {
            uint64_t lane = b[x] ^ (~b[(x + 1) % 5] & b[(x + 2) % 5]);  // one andn
            if constexpr (y == 0 && x == 0) lane ^= rc;
            e[5 * y + x] = lane;
            c[x] = y == 0 ? lane : c[x] ^ lane;
        });
    });
}

}  // namespace

// flatten: every helper above is inlined, whatever the compiler's size limits.
__attribute__((flatten)) void keccak_f1600_avx2(uint64_t state[25]) {
    uint64_t a[25], e[25], c[5];
    for (int i = 0; i < 25; ++i) a[i] = state[i];
    for (int x = 0; x < 5; ++x) c[x] = a[x] ^ a[x + 5] ^ a[x + 10] ^ a[x + 15] ^ a[x + 20];
    // Two rounds per step, so the copies between a and e are only renamings.
    for (int r = 0; r < 24; r += 2) {
        round(a, e, c, keccak::ROUND_CONSTANTS[r]);
        round(e, a, c, keccak::ROUND_CONSTANTS[r + 1]);
    }
    for (int i = 0; i < 25; ++i) state[i] = a[i];
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::hash
