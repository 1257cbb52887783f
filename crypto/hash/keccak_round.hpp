// The Keccak-f[1600] round shared by the unrolled kernels, over a lane type L
// that supplies xor_, chi (a ^ (~b & c)), broadcast and rol<N>, and xor3
// where one instruction xors three lanes. The lane headers
// (keccak_lanes_*.hpp) include it; include those only inside a target region
// (common/target_avx2.hpp, target_avx512.hpp), after the file's other
// #includes, among them <immintrin.h>, <cstdint>, <utility> and
// crypto/hash/keccak_f1600.hpp: everything here has internal linkage, so each
// file's copy is built for that file's instruction set alone, and no header
// is pulled into the region.
#pragma once

namespace tesvi_crypto::hash {
namespace {

// f(0), ..., f(N-1) with each index a compile-time constant, so every lane
// index and rotation is fixed and the lanes can live in registers.
template <unsigned... I, class F>
inline void each(std::integer_sequence<unsigned, I...>, F&& f) {
    (f(std::integral_constant<unsigned, I>{}), ...);
}

template <unsigned N, class F>
inline void each(F&& f) {
    each(std::make_integer_sequence<unsigned, N>{}, f);
}

template <class L, class Lane = typename L::Lane>
inline Lane xor3(Lane a, Lane b, Lane c) {
    if constexpr (requires { L::xor3(a, b, c); })
        return L::xor3(a, b, c);
    else
        return L::xor_(L::xor_(a, b), c);
}

template <class L, class Lane = typename L::Lane>
inline void column_parities(const Lane a[25], Lane c[5]) {
    each<5>(
        [&](auto x) { c[x] = xor3<L>(xor3<L>(a[x], a[x + 5], a[x + 10]), a[x + 15], a[x + 20]); });
}

// One round from a into e, a plane at a time: the five lanes of an output
// row are gathered (theta, rho, pi) and mixed (chi) at once, so few values
// are live. c holds a's column parities on entry and e's on return, summed
// while e's lanes are still in registers.
template <class L, class Lane = typename L::Lane>
inline void round(const Lane a[25], Lane e[25], Lane c[5], uint64_t rc) {
    using keccak::RHO;
    Lane d[5];
    each<5>([&](auto x) { d[x] = L::xor_(c[(x + 4) % 5], L::template rol<1>(c[(x + 1) % 5])); });
    each<5>([&](auto y) {
        Lane b[5];
        // Output lane (x, y) comes from lane (x + 3y, x) through pi.
        each<5>([&](auto x) {
            constexpr unsigned from = (x + 3 * y) % 5 + 5 * x;
            b[x] = L::template rol<RHO[from]>(L::xor_(a[from], d[from % 5]));
        });
        each<5>([&](auto x) {
            Lane lane = L::chi(b[x], b[(x + 1) % 5], b[(x + 2) % 5]);
            if constexpr (y == 0 && x == 0) lane = L::xor_(lane, L::broadcast(rc));
            e[5 * y + x] = lane;
            // Three planes at a time, so xor3 gets whole triples.
            if constexpr (y == 2)
                c[x] = xor3<L>(e[x], e[5 + x], lane);
            else if constexpr (y == 4)
                c[x] = xor3<L>(c[x], e[15 + x], lane);
        });
    });
}

template <class L, class Lane = typename L::Lane>
inline void permute_lanes(Lane a[25]) {
    Lane e[25], c[5];
    column_parities<L>(a, c);
    // Two rounds per step, so the copies between a and e are only renamings.
    for (int r = 0; r < 24; r += 2) {
        round<L>(a, e, c, keccak::ROUND_CONSTANTS[r]);
        round<L>(e, a, c, keccak::ROUND_CONSTANTS[r + 1]);
    }
}

// Four states in the 64-bit slots of a ymm register; each four-way form adds
// its chi and rotations.
struct FourStateRows {
    using Lane = __m256i;
    static Lane xor_(Lane a, Lane b) { return _mm256_xor_si256(a, b); }
    static Lane broadcast(uint64_t v) { return _mm256_set1_epi64x(static_cast<long long>(v)); }
    // Four aligned slots from row (a row of x4::State, or half of one of x8::State).
    static Lane load(const uint64_t* row) {
        return _mm256_load_si256(reinterpret_cast<const __m256i*>(row));
    }
    static void store(uint64_t* row, Lane x) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(row), x);
    }
};

// L on slots 4h .. 4h + 3 of each row of x8::State.
template <class L, unsigned H>
struct HalfOfEight : L {
    static typename L::Lane load(const uint64_t* row) { return L::load(row + 4 * H); }
    static void store(uint64_t* row, typename L::Lane x) { L::store(row + 4 * H, x); }
};

// The 25 rows of a state (one lane of each of L's states per row) through the
// permutation; L's load and store move a row into and out of a Lane.
template <class L, class Row>
__attribute__((flatten)) inline void permute_rows(Row rows[25]) {
    typename L::Lane a[25];
    // Lane by lane, so the copies are not turned into a block copy through
    // the stack.
    each<25>([&](auto i) { a[i] = L::load(rows[i]); });
    permute_lanes<L>(a);
    each<25>([&](auto i) { L::store(rows[i], a[i]); });
}

}  // namespace
}  // namespace tesvi_crypto::hash
