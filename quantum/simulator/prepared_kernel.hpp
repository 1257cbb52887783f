// Gate updates for a lane type L of L::WIDTH doubles per register, over either
// storage: the arithmetic runs on registers of real parts and registers of
// imaginary parts, which split storage holds as they are and interleaved
// storage sorts into lanes as it loads and back as it stores (the storage
// policies below). Include it inside a target region after L's definition,
// for the reason common/target_avx2.hpp gives.
//
// A gate's qubits below L::BITS lie inside one register, the others across
// registers. A group is the registers holding whole updates: a register of
// real parts and one of imaginary parts for each value of the cross-register
// bits (L::WIDTH amplitudes each), at one base. For output slot s and term c
// the input is slot c of the same update, so each lane takes it from the
// register of c's cross-register bits, at the lane whose in-register bits are
// c's; the coefficient m[s][c] is a per-lane vector. Every lane sums its terms
// in column order with the scalar product's operations, so the bits are the
// scalar loops' bits.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <new>

#include "quantum/complex.hpp"
#include "quantum/simulator/statevector_kernels.hpp"

namespace tesvi_quantum::simulator::statevector {
namespace {

using complex::Complex;

// Split storage: amplitude k's parts at re[k] and im[k]; a part's register
// is loaded and stored alone.
template <class L>
struct SplitParts {
    using V = typename L::V;
    static constexpr uint64_t SCALE = 1;  // doubles of `re` per amplitude
    static constexpr bool SEPARATE = true;
    static double* im_at(double* im, uint64_t offset) { return im + offset; }
    static void load(const double* re, const double* im, V& r, V& i) {
        r = L::load(re), i = L::load(im);
    }
    static void store(double* re, double* im, V r, V i) { L::store(re, r), L::store(im, i); }
    static double& part(double* re, double* im, uint64_t k, int which) {
        return which ? im[k] : re[k];
    }
};

// Interleaved storage: amplitude k's parts at re[2k] and re[2k + 1] (im is
// unused); L::WIDTH amplitudes are two registers, whose parts are sorted into
// a register of each as they are loaded, and back as they are stored.
template <class L>
struct InterleavedParts {
    using V = typename L::V;
    static constexpr uint64_t SCALE = 2;
    static constexpr bool SEPARATE = false;
    static double* im_at(double*, uint64_t) { return nullptr; }
    static void load(const double* x, const double*, V& r, V& i) {
        L::unzip(L::load(x), L::load(x + L::WIDTH), r, i);
    }
    static void store(double* x, double*, V r, V i) {
        V a, b;
        L::zip(r, i, a, b);
        L::store(x, a), L::store(x + L::WIDTH, b);
    }
    static double& part(double* x, double*, uint64_t k, int which) { return x[2 * k + which]; }
};

// One update: the slots at p + slot[s], 2^W of them.
template <class S, int W>
inline void update_scalar(double* re, double* im, uint64_t p, const uint64_t* slot,
                          const Complex* m) {
    constexpr int D = 1 << W;
    Complex y[D];
    for (int s = 0; s < D; ++s)
        y[s] = {S::part(re, im, p + slot[s], 0), S::part(re, im, p + slot[s], 1)};
    for (int s = 0; s < D; ++s) {
        Complex v = m[s * D] * y[0];
        for (int c = 1; c < D; ++c) v = v + m[s * D + c] * y[c];
        S::part(re, im, p + slot[s], 0) = v.re, S::part(re, im, p + slot[s], 1) = v.im;
    }
}

// The gate's geometry: slot bit j of an update is the bit at position[j]
// (for two qubits a, b: slot bit 1 is a, slot bit 0 is b); S is the storage.
template <class L, class S, int W, int IN>
struct SplitUpdate {
    static constexpr int D = 1 << W;
    using V = typename L::V;

    const Permutation* perm;
    uint64_t slot[D];           // offset of each slot from the update's base
    V cre[D][D], cim[D][D];     // m[s][c] for the lanes of slot s's register
    typename L::Index take[D];  // lane moves for each term (IN != 0)
    // For real_update: whether every m.im is a zero, m.im * +0 for each
    // entry and whether every one is +0 (subtracting +0 changes no value, -0
    // and NaN included), and whether slot s's imaginary part is always +0.
    bool real = true;
    V im_term[D][D];
    bool im_terms_vanish = true;
    bool stays_zero[D] = {};
    // Whether real_update leaves every imaginary part +0: then
    // group_on_real runs the gate on real states.
    bool keeps_real = false;
    // For one qubit across registers: whether the second row is the first
    // with its second entry negated (H), so that each product is formed once.
    bool plus_minus = false;
    // For permute with qubits in a register (IN != 0): where register r's
    // lanes find their rows' sources (the lane, and the source register's
    // mask), and the lane moves across each in-register bit.
    typename L::Index pick[D];
    typename L::Mask source_in[D][D];
    typename L::Index flip[W];
    // For permute: register r's rows are their own sources, each times 1
    // (then it keeps its parts wherever no zero decides a sign); and for
    // IN == 0, the offset of row r's source.
    bool stays_put[D] = {};
    uint64_t source_slot[D] = {};
    // For permute with turns: the lanes of register r whose parts trade
    // places (an odd turn), and -0 in the lanes whose new real or imaginary
    // part is negated.
    bool turns = false;
    typename L::Mask trade[D];
    V negate_re[D], negate_im[D];

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
                const int lane_slot = slot_bits(lane, position);
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
                for (int lane = 0; lane < L::WIDTH; ++lane) from[lane] = lane_of(lane, c, position);
                take[c] = L::index(from);
            }
        if constexpr (IN != 0) {
            if (perm) prepare_moves(position);
        } else if (perm) {
            for (int r = 0; r < D; ++r) {
                source_slot[r] = slot[perm->source[r]];
                stays_put[r] = perm->source[r] == r && perm->turn[r] == 0;
            }
        }
        if (perm && !perm->ones) prepare_turns(position);
        for (int e = 0; e < D * D; ++e) real = real && (m[e].im == 0.0);
        if (!real) return;
        for (int s = 0; s < D; ++s) {
            stays_zero[s] = false;
            for (int c = 0; c < D; ++c) {
                im_term[s][c] = L::mul(cim[s][c], L::set1(0.0));
                im_terms_vanish = im_terms_vanish && L::all_bits_clear(im_term[s][c]);
                stays_zero[s] = stays_zero[s] || !L::any_sign(cre[s][c]);
            }
        }
        keeps_real = true;
        for (int s = 0; s < D; ++s) keeps_real = keeps_real && ((s & IN) != 0 || stays_zero[s]);
        if constexpr (W == 1 && IN == 0) {
            auto bits = [](double v) { return std::bit_cast<uint64_t>(v); };
            plus_minus = im_terms_vanish && bits(m[2].re) == bits(m[0].re) &&
                         bits(m[3].re) == (bits(m[1].re) ^ bits(-0.0));
        }
    }

    // The in-register slot bits of a lane.
    static int slot_bits(int lane, const uint64_t* position) {
        int bits = 0;
        for (int j = 0; j < W; ++j)
            if (((IN >> j) & 1) && ((lane >> position[j]) & 1)) bits |= 1 << j;
        return bits;
    }

    // The lane of the same update whose in-register slot bits are slot s's.
    static int lane_of(int lane, int s, const uint64_t* position) {
        for (int j = 0; j < W; ++j)
            if ((IN >> j) & 1)
                lane = (lane & ~(1 << position[j])) | (((s >> j) & 1) << position[j]);
        return lane;
    }

    void prepare_moves(const uint64_t* position) {
        for (int r = 0; r < D; ++r) {
            if ((r & IN) != 0) continue;
            int from[L::WIDTH];
            bool in_source[D][L::WIDTH] = {};
            stays_put[r] = true;
            for (int lane = 0; lane < L::WIDTH; ++lane) {
                const int row = r | slot_bits(lane, position), source = perm->source[row];
                from[lane] = lane_of(lane, source, position);
                in_source[source & ~IN][lane] = true;
                stays_put[r] = stays_put[r] && from[lane] == lane && (source & ~IN) == r &&
                               perm->turn[row] == 0;
            }
            pick[r] = L::index(from);
            for (int s = 0; s < D; ++s) source_in[r][s] = L::lanes(in_source[s]);
        }
        for (int j = 0; j < W; ++j) {
            if (((IN >> j) & 1) == 0) continue;
            int from[L::WIDTH];
            for (int lane = 0; lane < L::WIDTH; ++lane) from[lane] = lane ^ (1 << position[j]);
            flip[j] = L::index(from);
        }
    }

    void prepare_turns(const uint64_t* position) {
        for (int r = 0; r < D; ++r) {
            if ((r & IN) != 0) continue;
            bool odd[L::WIDTH];
            alignas(64) double re[L::WIDTH], im[L::WIDTH];
            for (int lane = 0; lane < L::WIDTH; ++lane) {
                const int t = perm->turn[r | slot_bits(lane, position)];
                turns = turns || t != 0;
                odd[lane] = t % 2 == 1;
                re[lane] = t == 1 || t == 2 ? -0.0 : 0.0;
                im[lane] = t == 2 || t == 3 ? -0.0 : 0.0;
            }
            trade[r] = L::lanes(odd);
            negate_re[r] = L::load(re), negate_im[r] = L::load(im);
        }
    }

    // The group whose base is at re, im: slot s's amplitudes start slot[s]
    // amplitudes on, for each s with no in-register bit. try_real: whether
    // to try real_update; it goes false at the first group that is not real,
    // since a state that is not real is seldom real further on.
    //
    // The per-group code is inlined into each loop that runs it: called, it
    // would load the update's constants again for every group, since its
    // stores could alias them.
    [[gnu::always_inline]] void group(double* re, double* im, bool& try_real) const {
        V yr[D] = {}, yi[D] = {};
        for (int s = 0; s < D; ++s)
            if ((s & IN) == 0) S::load(at(re, s), S::im_at(im, slot[s]), yr[s], yi[s]);
        if (perm && permute(re, im, yr, yi)) return;
        V xr[D], xi[D];
        for (int c = 0; c < D; ++c) {
            if constexpr (IN == 0) {
                xr[c] = yr[c], xi[c] = yi[c];
            } else {
                xr[c] = L::move(yr[c & ~IN], take[c]), xi[c] = L::move(yi[c & ~IN], take[c]);
            }
        }
        if (try_real) {
            if (im_terms_vanish ? real_update<true, false>(re, im, yi, xr)
                                : real_update<false, false>(re, im, yi, xr))
                return;
            try_real = false;
        }
        for (int s = 0; s < D; ++s) {
            if ((s & IN) != 0) continue;
            V vr = product_re(s, 0, xr[0], xi[0]), vi = product_im(s, 0, xr[0], xi[0]);
            for (int c = 1; c < D; ++c) {
                vr = L::add(vr, product_re(s, c, xr[c], xi[c]));
                vi = L::add(vi, product_im(s, c, xr[c], xi[c]));
            }
            S::store(at(re, s), S::im_at(im, slot[s]), vr, vi);
        }
    }

    // The group of a real state: every imaginary part +0, which it leaves
    // unread. True when they all still are, with none stored; false when a
    // part that is not finite took the group to the full product.
    [[gnu::always_inline]] bool group_on_real(double* re, double* im) const {
        static_assert(S::SEPARATE, "real parts alone are loaded from split storage only");
        V yr[D] = {}, yi[D] = {};  // yi: the +0 parts
        for (int s = 0; s < D; ++s)
            if ((s & IN) == 0) yr[s] = L::load(at(re, s));
        if (perm && perm->ones && move_real(re, yr)) return true;
        V xr[D];
        for (int c = 0; c < D; ++c) {
            if constexpr (IN == 0)
                xr[c] = yr[c];
            else
                xr[c] = L::move(yr[c & ~IN], take[c]);
        }
        if (im_terms_vanish ? real_update<true, true>(re, im, yi, xr)
                            : real_update<false, true>(re, im, yi, xr))
            return true;
        bool try_real = false;
        group(re, im, try_real);
        return false;
    }

    // permute on a real state, for a matrix of ones: the imaginary parts
    // stay +0, and a zero row is -0 only where every real part of the
    // update is negative or -0 (zero_signs with +0 imaginary parts). False,
    // with nothing stored, when a part may not be finite.
    [[gnu::always_inline]] bool move_real(double* re, const V* yr) const {
        V product = yr[0];
        for (int s = 1; s < D; ++s)
            if ((s & IN) == 0) product = L::mul(product, yr[s]);
        const bool plain = L::none(L::special_lanes(product));
        V z = L::set1(0.0);
        if (!plain) {
            V sum = yr[0];
            z = yr[0];
            for (int s = 1; s < D; ++s)
                if ((s & IN) == 0) sum = L::add(sum, yr[s]), z = L::and_(z, yr[s]);
            if (!L::none(L::nonfinite_lanes(sum))) return false;
            for (int j = 0; j < W; ++j)
                if ((IN >> j) & 1) z = L::and_(z, L::move(z, flip[j]));
            z = L::and_(z, L::set1(-0.0));
        }
        V vr[D] = {};
        for (int r = 0; r < D; ++r)
            if (!leaves(r, plain)) vr[r] = moved(re, yr, r, plain, z);
        for (int r = 0; r < D; ++r)
            if (!leaves(r, plain) && L::differs(vr[r], yr[r])) L::store(re + slot[r], vr[r]);
        return true;
    }

    // Whether a permutation leaves register r as it is: it holds other
    // registers' slots, or stays put and no zero decides a sign.
    bool leaves(int r, bool plain) const { return (r & IN) != 0 || (plain && stays_put[r]); }

    // Asks for the lines of amplitudes [from, from + count) of every slot
    // across registers of the group at re, im, slot after slot.
    void ask(const double* re, const double* im, uint64_t from, uint64_t count) const {
        for (int s = 0; s < D; ++s) {
            if ((s & IN) != 0) continue;
            ask_second_level(re + S::SCALE * (slot[s] + from), S::SCALE * count * sizeof(double));
            if constexpr (S::SEPARATE)
                ask_second_level(im + slot[s] + from, count * sizeof(double));
        }
    }

    // Where slot s's real parts start from a group's base.
    double* at(double* re, int s) const { return re + S::SCALE * slot[s]; }

    // A matrix of real entries (every m.im a zero) on real amplitudes (every
    // imaginary part +0). Then m.im*x.im is the constant im_term, so
    // m.re*x.re - m.im*x.im takes one product; and m.re*x.im + m.im*x.re is,
    // for finite x.re, a sum of two zeros, -0 exactly when m.re is negative
    // and m.im, x.re differ in sign (a sum of zeros is -0 only when every
    // term is). Where some m.re of the row is positive in every lane, that is
    // +0 throughout and the +0 already stored stays. False, with nothing
    // stored, when an imaginary part is not +0 or a real result is not finite
    // (then some x.re may not be, and the full product decides). ON_REAL:
    // the imaginary parts are known +0 and the gate keeps_real, so none is
    // stored.
    template <bool VANISH, bool ON_REAL>
    [[gnu::always_inline]] bool real_update(double* re, double* im, const V* yi,
                                            const V* xr) const {
        if constexpr (!ON_REAL) {
            V any_im = yi[0];
            for (int s = 1; s < D; ++s)
                if ((s & IN) == 0) any_im = L::or_bits(any_im, yi[s]);
            if (!L::all_bits_clear(any_im)) return false;
        }
        V vr[D];
        if (!real_rows<VANISH>(xr, vr)) return false;
        for (int s = 0; s < D; ++s) {
            if ((s & IN) != 0) continue;
            if constexpr (S::SEPARATE) {
                L::store(re + slot[s], vr[s]);
                if (!ON_REAL && !stays_zero[s]) L::store(im + slot[s], imaginary_zeros(s, xr));
            } else {
                S::store(at(re, s), nullptr, vr[s], stays_zero[s] ? yi[s] : imaginary_zeros(s, xr));
            }
        }
        return true;
    }

    // real_update's real parts of the rows, vr; false when one may not be
    // finite. The sum of the rows is not finite when one of them is not
    // (and rarely, by overflow, when none is: then the full product
    // decides). With plus_minus the second row's products are the first's,
    // the second negated: (-a)*x is -(a*x), and p + -q is p - q, bit for bit.
    template <bool VANISH>
    [[gnu::always_inline]] bool real_rows(const V* xr, V* vr) const {
        if constexpr (W == 1 && IN == 0 && VANISH) {
            if (plus_minus) {
                const V p = L::mul(cre[0][0], xr[0]), q = L::mul(cre[0][1], xr[1]);
                vr[0] = L::add(p, q), vr[1] = L::sub(p, q);
                return L::none(L::nonfinite_lanes(L::add(vr[0], vr[1])));
            }
        }
        V sum{};
        bool first = true;
        for (int s = 0; s < D; ++s) {
            if ((s & IN) != 0) continue;
            vr[s] = real_product<VANISH>(s, 0, xr[0]);
            for (int c = 1; c < D; ++c) vr[s] = L::add(vr[s], real_product<VANISH>(s, c, xr[c]));
            sum = first ? vr[s] : L::add(sum, vr[s]);
            first = false;
        }
        return L::none(L::nonfinite_lanes(sum));
    }

    // Row s's imaginary parts on a real state: -0 where every term is.
    V imaginary_zeros(int s, const V* xr) const {
        V vi = L::and_(cre[s][0], L::xor_(cim[s][0], xr[0]));
        for (int c = 1; c < D; ++c) vi = L::and_(vi, L::and_(cre[s][c], L::xor_(cim[s][c], xr[c])));
        return L::and_(vi, L::set1(-0.0));
    }

    // m.re*x.re - m.im*x.im for an imaginary part x.im of +0.
    template <bool VANISH>
    V real_product(int s, int c, V xr) const {
        const V p = L::mul(cre[s][c], xr);
        return VANISH ? p : L::sub(p, im_term[s][c]);
    }

    // The parts of m[s][c] * x: m.re*x.re - m.im*x.im and m.re*x.im + m.im*x.re.
    V product_re(int s, int c, V xr, V xi) const {
        return L::sub(L::mul(cre[s][c], xr), L::mul(cim[s][c], xi));
    }
    V product_im(int s, int c, V xr, V xi) const {
        return L::add(L::mul(cre[s][c], xi), L::mul(cim[s][c], xr));
    }

    // Moves the group's amplitudes for a permutation; false, with nothing
    // stored, when the full product must decide.
    //
    // Mostly no part of the update is zero or not finite. Then each product
    // with a zero entry is a zero, the product with row r's entry is the
    // moved part, negated or not, exactly (x times 1 or -1, plus or minus a
    // zero), and adding zeros to it changes nothing: each row is its source
    // turned by its entry, bit for bit. The product of the parts is zero or
    // not finite when one of them is, and rarely (by underflow or overflow)
    // when none is.
    //
    // Otherwise, for a matrix of ones and finite parts, each sum is its one
    // moved part unless that part is zero. A zero sum is -0 only when every
    // term is -0: for a real part, m.re*y.re - m.im*y.im is -0 exactly when
    // y.re is negative and y.im is not; for an imaginary part,
    // m.re*y.im + m.im*y.re when both are. 1 and 0 have the same sign, so
    // every row of one update shares these two signs. So where every
    // imaginary part is +0 (a real state), they all stay +0.
    [[gnu::always_inline]] bool permute(double* re, double* im, const V* yr, const V* yi) const {
        V any_im = yi[0];
        for (int s = 1; s < D; ++s)
            if ((s & IN) == 0) any_im = L::or_bits(any_im, yi[s]);
        const bool im_stays = perm->ones && L::all_bits_clear(any_im);
        V product = yr[0];
        for (int s = 1; s < D; ++s)
            if ((s & IN) == 0) product = L::mul(product, yr[s]);
        if (!im_stays)
            for (int s = 0; s < D; ++s)
                if ((s & IN) == 0) product = L::mul(product, yi[s]);
        const bool plain = L::none(L::special_lanes(product));
        V zr = L::set1(0.0), zi = zr;
        if (!plain && !(perm->ones && zero_signs(yr, yi, zr, zi))) return false;
        // Every source is read before any row is written.
        V vr[D] = {}, vi[D] = {};
        for (int r = 0; r < D; ++r) {
            if (leaves(r, plain)) continue;
            vr[r] = moved(re, yr, r, plain, zr);
            vi[r] = im_stays ? yi[r] : moved(im, yi, r, plain, zi);
        }
        if (turns)
            for (int r = 0; r < D; ++r)
                if (!leaves(r, plain)) turn(r, vr[r], vi[r]);
        // A row is written only where a part changes: a line left clean
        // costs the memory no write-back.
        for (int r = 0; r < D; ++r) {
            if (leaves(r, plain)) continue;
            if constexpr (S::SEPARATE) {
                if (L::differs(vr[r], yr[r])) L::store(re + slot[r], vr[r]);
                if (!im_stays && L::differs(vi[r], yi[r])) L::store(im + slot[r], vi[r]);
            } else if (L::differs(vr[r], yr[r]) || L::differs(vi[r], yi[r])) {
                S::store(at(re, r), nullptr, vr[r], vi[r]);
            }
        }
        return true;
    }

    // Register r's moved parts times its entries' powers of i.
    void turn(int r, V& a, V& b) const {
        const V re = L::select(trade[r], b, a), im = L::select(trade[r], a, b);
        a = L::xor_(re, negate_re[r]), b = L::xor_(im, negate_im[r]);
    }

    // The signs a zero row takes, in zr and zi; false when a part may not be
    // finite. The sum of all parts is not finite when one of them is not,
    // and rarely (by overflow) when none is: then the product decides too.
    bool zero_signs(const V* yr, const V* yi, V& zr, V& zi) const {
        V sum = L::add(yr[0], yi[0]);
        zr = L::andnot(yi[0], yr[0]), zi = L::and_(yi[0], yr[0]);
        for (int s = 1; s < D; ++s) {
            if ((s & IN) != 0) continue;
            sum = L::add(L::add(sum, yr[s]), yi[s]);
            zr = L::and_(zr, L::andnot(yi[s], yr[s])), zi = L::and_(zi, L::and_(yi[s], yr[s]));
        }
        if (!L::none(L::nonfinite_lanes(sum))) return false;
        for (int j = 0; j < W; ++j)  // the update's slots inside one register
            if ((IN >> j) & 1)
                zr = L::and_(zr, L::move(zr, flip[j])), zi = L::and_(zi, L::move(zi, flip[j]));
        const V sign = L::set1(-0.0);
        zr = L::and_(zr, sign), zi = L::and_(zi, sign);
        return true;
    }

    // Register r of one part as the permutation fills it (the part's group
    // at part, its registers y); unless plain, its zeros signed z.
    V moved(const double* part, const V* y, int r, bool plain, V z) const {
        V v;
        if constexpr (IN == 0 && S::SEPARATE) {
            v = L::load(part + source_slot[r]);
        } else if constexpr (IN == 0) {
            v = y[perm->source[r]];
        } else {
            v = L::move(y[0], pick[r]);
            for (int s = 1; s < D; ++s)
                if ((s & IN) == 0) v = L::select(source_in[r][s], L::move(y[s], pick[r]), v);
        }
        return plain ? v : L::select(L::zero_lanes(v), z, v);
    }
};

// Updates k0 .. k1 - 1 of u; offset(k) is update k's base. Whole groups of
// L::WIDTH >> popcount(IN) updates take the vector path, the rest the scalar
// one. Groups follow each other L::WIDTH amplitudes apart through a span of
// `span` updates. STEP: each span's base is worked out once and its groups
// stepped through, for spans of several groups; otherwise each group's base
// is worked out, which costs short spans less. re and im are restrict: the
// groups' stores then leave u's constants in registers.
//
// ON_REAL: the imaginary parts are all +0 and the groups take group_on_real;
// returns whether they all still are (otherwise the return means nothing).
//
// Over a state in memory, slots near each other or far apart (Distance)
// ask ahead for their lines: near, for each span's; far, for each block's.
enum class Distance : uint8_t { Usual, Near, Far };

template <bool STEP, bool ON_REAL, class L, class S, int W, int IN, class Offset>
bool split_run(const SplitUpdate<L, S, W, IN>& u, double* __restrict re, double* __restrict im,
               uint64_t k0, uint64_t k1, const Complex* m, uint64_t span, const Offset& offset,
               Distance distance) {
    constexpr uint64_t GROUP = uint64_t{L::WIDTH} >> std::popcount(unsigned{IN});
    // Each group takes L::WIDTH amplitudes of every slot across registers.
    constexpr uint64_t NEAR_AHEAD_AMPLITUDES = NEAR_AHEAD / (S::SCALE * sizeof(double));
    constexpr uint64_t FAR_UPDATES = FAR_BLOCK / L::WIDTH * GROUP;
    bool stays_real = true;
    auto one = [&](uint64_t k) {
        update_scalar<S, W>(re, im, offset(k), u.slot, m);
        if constexpr (ON_REAL)
            for (uint64_t s : u.slot)
                stays_real = stays_real && std::bit_cast<uint64_t>(im[offset(k) + s]) == 0;
    };
    bool try_real = u.real;
    auto group = [&](double* r, double* i) {
        if constexpr (ON_REAL)
            stays_real = u.group_on_real(r, i) && stays_real;
        else
            u.group(r, i, try_real);
    };
    uint64_t k = k0;
    for (; k < k1 && k % GROUP != 0; ++k) one(k);
    const uint64_t end = k + (k1 - std::min(k, k1)) / GROUP * GROUP;
    if constexpr (STEP) {
        while (k < end) {
            uint64_t span_end = std::min(end, (k | (span - 1)) + 1);
            if (distance == Distance::Far) span_end = std::min(span_end, k + FAR_UPDATES);
            double *r = re + S::SCALE * offset(k), *i = S::im_at(im, offset(k));
            if (distance == Distance::Near)
                u.ask(r, i, NEAR_AHEAD_AMPLITUDES, (span_end - k) / GROUP * L::WIDTH);
            else if (distance == Distance::Far)
                u.ask(r, i, FAR_AHEAD, FAR_BLOCK);
            for (; k < span_end; k += GROUP) {
                group(r, i);
                r += S::SCALE * L::WIDTH;
                if constexpr (S::SEPARATE) i += L::WIDTH;
            }
        }
    } else {
        for (; k < end; k += GROUP) group(re + S::SCALE * offset(k), S::im_at(im, offset(k)));
    }
    for (; k < k1; ++k) one(k);
    return stays_real;
}

struct PairOffset {
    uint64_t t;
    uint64_t operator()(uint64_t k) const { return pair_offset(k, t); }
};

struct QuadOffset {
    uint64_t lo, hi;
    uint64_t operator()(uint64_t k) const { return quad_offset(k, lo, hi); }
};

// What a PreparedGate holds: the update, its matrix and its loop.
template <bool STEP, class L, class S, int W, int IN, class Offset>
struct Prepared {
    SplitUpdate<L, S, W, IN> u;
    const Complex* m;
    uint64_t span;
    Offset offset;
    Distance distance;  // of the slots across registers

    Distance streamed(const PreparedGate& g) const {
        return g.streaming ? distance : Distance::Usual;
    }
    static void run(const PreparedGate& g, double* re, double* im, uint64_t k0, uint64_t k1) {
        const auto& p = *std::launder(reinterpret_cast<const Prepared*>(g.bytes));
        // A local copy, which the compiler can keep in registers as it
        // could not the gate's own bytes.
        const SplitUpdate<L, S, W, IN> u = p.u;
        split_run<STEP, false>(u, re, im, k0, k1, p.m, p.span, p.offset, p.streamed(g));
    }
    static bool run_real(const PreparedGate& g, double* re, double* im, uint64_t k0, uint64_t k1) {
        const auto& p = *std::launder(reinterpret_cast<const Prepared*>(g.bytes));
        const SplitUpdate<L, S, W, IN> u = p.u;
        return split_run<STEP, true>(u, re, im, k0, k1, p.m, p.span, p.offset, p.streamed(g));
    }
};

// A span is 2^(lowest qubit outside the register - qubits inside) updates.
template <class L, class S, int W, int IN, class Offset>
void prepare_form(PreparedGate& g, const uint64_t* position, const Complex* m,
                  const Permutation* perm, Offset offset) {
    constexpr int INSIDE = std::popcount(unsigned{IN});
    uint64_t span = uint64_t{1} << 62;  // beyond any state: no qubit outside the register
    Distance distance = Distance::Usual;
    for (int j = 0; j < W; ++j) {
        if (((IN >> j) & 1) != 0) continue;
        span = std::min(span, uint64_t{1} << (position[j] - INSIDE));
        const uint64_t bytes = S::SCALE * sizeof(double) << position[j];
        if (bytes >= FAR_BYTES)
            distance = Distance::Far;
        else if (near_slots(bytes) && distance == Distance::Usual)
            distance = Distance::Near;
    }
    auto place = [&]<bool STEP>() {
        using P = Prepared<STEP, L, S, W, IN, Offset>;
        static_assert(sizeof(P) <= sizeof(g.bytes) && alignof(P) <= alignof(PreparedGate));
        const auto& p = *new (g.bytes) P{SplitUpdate<L, S, W, IN>(position, m, perm), m, span,
                                         offset, distance};
        g.run = P::run;
        g.run_real = nullptr;
        if constexpr (S::SEPARATE)
            if (p.u.keeps_real) g.run_real = P::run_real;
    };
    if (span >= 4 * (uint64_t{L::WIDTH} >> INSIDE))
        place.template operator()<true>();
    else
        place.template operator()<false>();
}

// The pairs of target a (width 1) or the quadruples of qubits (a, b), in storage S.
template <class L, class S>
void prepare_gate(PreparedGate& g, uint64_t width, uint64_t a, uint64_t b, const Complex* m,
                  const Permutation* perm) {
    const uint64_t bits = L::BITS;
    if (width == 1) {
        const uint64_t position[1] = {a};
        if (a < bits) return prepare_form<L, S, 1, 1>(g, position, m, perm, PairOffset{a});
        return prepare_form<L, S, 1, 0>(g, position, m, perm, PairOffset{a});
    }
    const uint64_t position[2] = {b, a};
    const QuadOffset offset{std::min(a, b), std::max(a, b)};
    switch ((b < bits ? 1 : 0) | (a < bits ? 2 : 0)) {
        case 0:
            return prepare_form<L, S, 2, 0>(g, position, m, perm, offset);
        case 1:
            return prepare_form<L, S, 2, 1>(g, position, m, perm, offset);
        case 2:
            return prepare_form<L, S, 2, 2>(g, position, m, perm, offset);
        default:
            return prepare_form<L, S, 2, 3>(g, position, m, perm, offset);
    }
}

// count interleaved amplitudes into split storage, and back; a null im
// stands for +0 imaginary parts, neither read nor written.
template <class L>
void split_parts(const Complex* x, double* re, double* im, uint64_t count) {
    uint64_t i = 0;
    for (; i + L::WIDTH <= count; i += L::WIDTH) {
        typename L::V r, m;
        InterleavedParts<L>::load(&x[i].re, nullptr, r, m);
        L::store(re + i, r);
        if (im) L::store(im + i, m);
    }
    for (; i < count; ++i) {
        re[i] = x[i].re;
        if (im) im[i] = x[i].im;
    }
}

template <class L>
void join_parts(Complex* x, const double* re, const double* im, uint64_t count) {
    uint64_t i = 0;
    const typename L::V zero = L::set1(0.0);
    for (; i + L::WIDTH <= count; i += L::WIDTH)
        InterleavedParts<L>::store(&x[i].re, nullptr, L::load(re + i), im ? L::load(im + i) : zero);
    for (; i < count; ++i) x[i] = {re[i], im ? im[i] : 0.0};
}

// The prepared kernels of lane type L.
template <class L>
constexpr PreparedKernels prepared_kernels{prepare_gate<L, SplitParts<L>>,
                                           prepare_gate<L, InterleavedParts<L>>, split_parts<L>,
                                           join_parts<L>};

}  // namespace
}  // namespace tesvi_quantum::simulator::statevector
