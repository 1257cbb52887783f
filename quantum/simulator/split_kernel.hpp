// Gate updates over split storage (real parts in one array, imaginary parts in
// another) for a lane type L of L::WIDTH doubles per register. Include it
// inside a target region after L's definition, for the reason
// common/target_avx2.hpp gives.
//
// A gate's qubits below L::BITS lie inside one register, the others across
// registers. A group is the registers holding whole updates: one register per
// value of the cross-register bits, at one base. For output slot s and term c
// the input is slot c of the same update, so each lane takes it from the
// register of c's cross-register bits, at the lane whose in-register bits are
// c's; the coefficient m[s][c] is a per-lane vector. Every lane sums its terms
// in column order with the scalar product's operations, so the bits are the
// scalar loops' bits.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "quantum/complex.hpp"
#include "quantum/simulator/statevector_kernels.hpp"

namespace tesvi_quantum::simulator::statevector {
namespace {

using complex::Complex;

// One update in split storage: the slots at p + slot[s], 2^W of them.
template <int W>
inline void update_scalar(double* re, double* im, uint64_t p, const uint64_t* slot,
                          const Complex* m) {
    constexpr int D = 1 << W;
    Complex y[D];
    for (int s = 0; s < D; ++s) y[s] = {re[p + slot[s]], im[p + slot[s]]};
    for (int s = 0; s < D; ++s) {
        Complex v = m[s * D] * y[0];
        for (int c = 1; c < D; ++c) v = v + m[s * D + c] * y[c];
        re[p + slot[s]] = v.re, im[p + slot[s]] = v.im;
    }
}

// The gate's geometry: slot bit j of an update is the bit at position[j]
// (for two qubits a, b: slot bit 1 is a, slot bit 0 is b).
template <class L, int W, int IN>
struct SplitUpdate {
    static constexpr int D = 1 << W;
    using V = typename L::V;

    const Permutation* perm;
    uint64_t slot[D];           // offset of each slot from the update's base
    V cre[D][D], cim[D][D];     // m[s][c] for the lanes of slot s's register
    typename L::Index take[D];  // lane moves for each term (IN != 0)
    uint64_t to[D];             // where a permutation stores each slot

    SplitUpdate(const uint64_t* position, const Complex* m, const Permutation* perm) : perm(perm) {
        for (int s = 0; s < D; ++s) {
            slot[s] = 0;
            for (int j = 0; j < W; ++j)
                if ((s >> j) & 1) slot[s] |= uint64_t{1} << position[j];
        }
        if constexpr (IN == 0) {
            for (int s = 0; s < D; ++s)
                for (int c = 0; c < D; ++c)
                    cre[s][c] = L::set1(m[s * D + c].re), cim[s][c] = L::set1(m[s * D + c].im);
        } else {
            alignas(64) double lre[D][D][L::WIDTH], lim[D][D][L::WIDTH];
            for (int lane = 0; lane < L::WIDTH; ++lane) {
                int lane_slot = 0;  // the in-register slot bits of this lane
                for (int j = 0; j < W; ++j)
                    if (((IN >> j) & 1) && ((lane >> position[j]) & 1)) lane_slot |= 1 << j;
                for (int s = 0; s < D; ++s)
                    for (int c = 0; c < D; ++c) {
                        const Complex e = m[(s | lane_slot) * D + c];
                        lre[s][c][lane] = e.re, lim[s][c][lane] = e.im;
                    }
            }
            for (int s = 0; s < D; ++s)
                for (int c = 0; c < D; ++c)
                    cre[s][c] = L::load(lre[s][c]), cim[s][c] = L::load(lim[s][c]);
        }
        if constexpr (IN != 0)
            for (int c = 0; c < D; ++c) {
                int from[L::WIDTH];
                for (int lane = 0; lane < L::WIDTH; ++lane) {
                    int f = lane;
                    for (int j = 0; j < W; ++j)
                        if ((IN >> j) & 1)
                            f = (f & ~(1 << position[j])) | (((c >> j) & 1) << position[j]);
                    from[lane] = f;
                }
                take[c] = L::index(from);
            }
        if (perm)
            for (int s = 0; s < D; ++s) to[perm->source[s]] = slot[s];
    }

    // The group at base o: registers at o + slot[s] for the s with no in-register bit.
    void group(double* re, double* im, uint64_t o) const {
        V yr[D] = {}, yi[D] = {};
        for (int s = 0; s < D; ++s)
            if ((s & IN) == 0) yr[s] = L::load(re + o + slot[s]), yi[s] = L::load(im + o + slot[s]);
        if constexpr (IN == 0)
            if (perm && permute(re, im, o, yr, yi)) return;
        V xr[D], xi[D];
        for (int c = 0; c < D; ++c) {
            if constexpr (IN == 0) {
                xr[c] = yr[c], xi[c] = yi[c];
            } else {
                xr[c] = L::move(yr[c & ~IN], take[c]), xi[c] = L::move(yi[c & ~IN], take[c]);
            }
        }
        for (int s = 0; s < D; ++s) {
            if ((s & IN) != 0) continue;
            V vr = product_re(s, 0, xr[0], xi[0]), vi = product_im(s, 0, xr[0], xi[0]);
            for (int c = 1; c < D; ++c) {
                vr = L::add(vr, product_re(s, c, xr[c], xi[c]));
                vi = L::add(vi, product_im(s, c, xr[c], xi[c]));
            }
            L::store(re + o + slot[s], vr), L::store(im + o + slot[s], vi);
        }
    }

    // The parts of m[s][c] * x: m.re*x.re - m.im*x.im and m.re*x.im + m.im*x.re.
    V product_re(int s, int c, V xr, V xi) const {
        return L::sub(L::mul(cre[s][c], xr), L::mul(cim[s][c], xi));
    }
    V product_im(int s, int c, V xr, V xi) const {
        return L::add(L::mul(cre[s][c], xi), L::mul(cim[s][c], xr));
    }

    // Moves the group's amplitudes for a permutation, unless a part is not
    // finite (0 * inf is NaN: the full product decides). Zero parts take the
    // signs the products give them (move); with none, or with every
    // imaginary part +0 and no real part zero, the parts just move.
    bool permute(double* re, double* im, uint64_t o, const V* yr, const V* yi) const {
        auto special_re = L::special(yr[0]), special_im = L::special(yi[0]);
        V any_im = yi[0];
        for (int s = 1; s < D; ++s) {
            special_re = L::or_(special_re, L::special(yr[s]));
            special_im = L::or_(special_im, L::special(yi[s]));
            any_im = L::or_bits(any_im, yi[s]);
        }
        if (L::none(special_re) && (L::none(special_im) || L::all_bits_clear(any_im))) {
            const bool move_im = L::none(special_im);
            for (int s = 0; s < D; ++s) {
                if (to[s] == slot[s]) continue;
                L::store(re + o + to[s], yr[s]);
                if (move_im) L::store(im + o + to[s], yi[s]);
            }
            return true;
        }
        if (!finite(yr, yi)) return false;
        move(re, im, o, yr, yi);
        return true;
    }

    static bool finite(const V* yr, const V* yi) {
        V d = L::sub(yr[0], yr[0]);
        for (int s = 0; s < D; ++s) {
            if (s > 0) d = L::add(d, L::sub(yr[s], yr[s]));
            d = L::add(d, L::sub(yi[s], yi[s]));
        }
        return !L::any_nan(d);
    }

    // With every entry 1 + 0i or 0 + 0i and finite parts, each product is a
    // part times 1 (the part) or times 0 (a zero with the part's sign), so each
    // sum is its one moved part unless that part is zero. A zero sum is -0
    // only when every term is -0: for a real part, m.re*y.re - m.im*y.im is -0
    // exactly when y.re is negative and y.im is not; for an imaginary part,
    // m.re*y.im + m.im*y.re when both are. 1 and 0 have the same sign, so
    // every row of one update shares these two signs. (So with no zero part
    // every part just moves; and +0 imaginary parts stay +0 where no real
    // part is zero, since no imaginary term is then -0.)
    void move(double* re, double* im, uint64_t o, const V* yr, const V* yi) const {
        V zr = L::andnot(yi[0], yr[0]), zi = L::and_(yi[0], yr[0]);
        for (int s = 1; s < D; ++s)
            zr = L::and_(zr, L::andnot(yi[s], yr[s])), zi = L::and_(zi, L::and_(yi[s], yr[s]));
        const V sign = L::set1(-0.0);
        zr = L::and_(zr, sign), zi = L::and_(zi, sign);
        for (int s = 0; s < D; ++s) {
            L::store(re + o + to[s], L::zero_to(yr[s], zr));
            L::store(im + o + to[s], L::zero_to(yi[s], zi));
        }
    }
};

// Updates k0 .. k1 - 1; offset(k) is update k's base. Whole groups of
// L::WIDTH >> popcount(IN) updates take the vector path, the rest the scalar one.
template <class L, int W, int IN, class Offset>
void split_updates(double* re, double* im, const uint64_t* position, uint64_t k0, uint64_t k1,
                   const Complex* m, const Permutation* perm, const Offset& offset) {
    const SplitUpdate<L, W, IN> u(position, m, perm);
    constexpr uint64_t GROUP = uint64_t{L::WIDTH} >> std::popcount(unsigned{IN});
    uint64_t k = k0;
    for (; k < k1 && k % GROUP != 0; ++k) update_scalar<W>(re, im, offset(k), u.slot, m);
    for (; k + GROUP <= k1; k += GROUP) u.group(re, im, offset(k));
    for (; k < k1; ++k) update_scalar<W>(re, im, offset(k), u.slot, m);
}

template <class L>
void split_pairs(double* re, double* im, uint64_t t, uint64_t k0, uint64_t k1, const Complex* m,
                 const Permutation* perm) {
    const uint64_t position[1] = {t};
    auto offset = [t](uint64_t k) { return pair_offset(k, t); };
    if (t < uint64_t{L::BITS})
        return split_updates<L, 1, 1>(re, im, position, k0, k1, m, nullptr, offset);
    split_updates<L, 1, 0>(re, im, position, k0, k1, m, perm, offset);
}

template <class L>
void split_quads(double* re, double* im, uint64_t a, uint64_t b, uint64_t k0, uint64_t k1,
                 const Complex* m, const Permutation* perm) {
    const uint64_t position[2] = {b, a};
    const uint64_t lo = std::min(a, b), hi = std::max(a, b);
    auto offset = [lo, hi](uint64_t k) { return quad_offset(k, lo, hi); };
    const uint64_t bits = L::BITS;
    const int in = (b < bits ? 1 : 0) | (a < bits ? 2 : 0);
    switch (in) {
        case 0:
            return split_updates<L, 2, 0>(re, im, position, k0, k1, m, perm, offset);
        case 1:
            return split_updates<L, 2, 1>(re, im, position, k0, k1, m, nullptr, offset);
        case 2:
            return split_updates<L, 2, 2>(re, im, position, k0, k1, m, nullptr, offset);
        default:
            return split_updates<L, 2, 3>(re, im, position, k0, k1, m, nullptr, offset);
    }
}

}  // namespace
}  // namespace tesvi_quantum::simulator::statevector
