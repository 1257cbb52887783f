#include "quantum/algorithms/shor.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "quantum/algorithms/saturate.hpp"

namespace tesvi_quantum::algorithms::shor {
namespace {

using error::fail;
using error::Result;
using error::TesviError;
using simulator::RandomStream;

constexpr int MAX_FRACTION_TERMS = 24;
constexpr double FRACTION_REMAINDER = 1e-12;

uint64_t gcd(uint64_t a, uint64_t b) {
    while (b != 0) a = std::exchange(b, a % b);
    return a;
}

uint64_t mul_mod(uint64_t a, uint64_t b, uint64_t n) {
    return static_cast<uint64_t>(static_cast<unsigned __int128>(a) * b % n);
}

// Square-and-multiply over the bits of e, lowest first.
uint64_t pow_mod(uint64_t a, uint64_t e, uint64_t n) {
    uint64_t result = 1 % n, base = a % n;
    for (; e != 0; e >>= 1) {
        if (e & 1) result = mul_mod(result, base, n);
        base = mul_mod(base, base, n);
    }
    return result;
}

// The ascending x in [lo, hi) with gcd(x, m) = 1.
std::vector<uint64_t> coprimes(uint64_t m, uint64_t lo, uint64_t hi) {
    std::vector<uint64_t> out;
    for (uint64_t x = lo; x < hi; ++x)
        if (gcd(x, m) == 1) out.push_back(x);
    return out;
}

// Whether some power a^k, k >= 2, equals n; a product past 64 bits exceeds n.
bool is_power_of(uint64_t a, uint64_t n) {
    uint64_t p;
    if (__builtin_mul_overflow(a, a, &p)) return false;
    while (p < n)
        if (__builtin_mul_overflow(p, a, &p)) return false;
    return p == n;
}

uint64_t isqrt(uint64_t n) {
    uint64_t r = static_cast<uint64_t>(std::sqrt(static_cast<double>(n)));
    while (r > 0 && (r > UINT32_MAX || r * r > n)) --r;
    while (r < UINT32_MAX && (r + 1) * (r + 1) <= n) ++r;
    return r;
}

// The smallest base a in [2, 1 + floor(sqrt(n))] with a power equal to n, or 0.
// Above the cube root of n only a square can match, so the scan of the
// remaining bases reduces to one square test with the same outcome.
uint64_t perfect_power_base(uint64_t n) {
    const uint64_t limit = 1 + static_cast<uint64_t>(std::sqrt(static_cast<double>(n)));
    uint64_t a = 2;
    for (uint64_t cube; a <= limit; ++a) {
        if (__builtin_mul_overflow(a * a, a, &cube) || cube > n) break;
        if (is_power_of(a, n)) return a;
    }
    const uint64_t root = isqrt(n);
    return root >= a && root <= limit && root * root == n ? root : 0;
}

// The last continued-fraction denominator of x within the bound n.
uint64_t fraction_denominator(double x, uint64_t n) {
    uint64_t q_prev = 0, q_prev2 = 1;
    double v = x;
    for (int term = 1;; ++term) {
        const uint64_t a = saturating_u64(std::floor(v));
        uint64_t q;
        if (__builtin_mul_overflow(a, q_prev, &q) || __builtin_add_overflow(q, q_prev2, &q))
            q = UINT64_MAX;
        if (q > n) return q_prev;
        const double remainder = v - static_cast<double>(a);
        if (std::fabs(remainder) < FRACTION_REMAINDER || term == MAX_FRACTION_TERMS) return q;
        v = 1.0 / remainder;
        q_prev2 = std::exchange(q_prev, q);
    }
}

// The smallest e in [1, n] with a^e = 1 (mod n); a is coprime to n, so it exists.
uint64_t order(uint64_t a, uint64_t n) {
    uint64_t p = a % n;
    for (uint64_t e = 1; e <= n; ++e, p = mul_mod(p, a, n))
        if (p == 1) return e;
    throw error::InternalFault("a base coprime to n has no order");
}

// What a phase measurement of the order r of a would give, post-processed:
// the random fraction k / r read off a w-bit register and expanded.
uint64_t measured_period(uint64_t a, uint64_t r, uint64_t n, unsigned w, RandomStream& stream) {
    const std::vector<uint64_t> ks = coprimes(r, 1, r);
    if (ks.empty()) return r;
    const uint64_t k = ks[stream.below(ks.size())];
    const double scale = std::ldexp(1.0, static_cast<int>(w));
    const uint64_t m =
        saturating_u64(std::round(static_cast<double>(k) * scale / static_cast<double>(r)));
    const double x = static_cast<double>(m) / scale;
    const uint64_t d = x >= 0.0 && x < 1.0 ? fraction_denominator(x, n) : 0;
    if (d == 0) return r;
    for (uint64_t j = 1; j <= n; ++j) {
        uint64_t multiple;
        if (__builtin_mul_overflow(j, d, &multiple)) break;
        if (pow_mod(a, multiple, n) == 1) return multiple;
    }
    return r;
}

// A factor of n from an even period of a, or 0.
uint64_t factor_from_period(uint64_t a, uint64_t period, uint64_t n) {
    if (period == 0 || period % 2 != 0) return 0;
    const uint64_t y = pow_mod(a, period / 2, n);
    if (y == 0 || y == n - 1) return 0;
    for (uint64_t g : {gcd(y + 1, n), gcd(y - 1, n)})
        if (g > 1 && g < n) return g;
    return 0;
}

ShorResult shortcut(uint64_t n, uint64_t f) {
    return {n, {f, n / f}, f, 0, 1, true};
}

}  // namespace

Result<ShorResult> shor_factor(uint64_t n, const simulator::Simulator& simulator) {
    if (n < MIN_N) return fail(TesviError::SimulationError{"N must be at least 4"});
    if (n % 2 == 0) return shortcut(n, 2);
    if (const uint64_t root = perfect_power_base(n)) return shortcut(n, root);

    const uint64_t t = saturating_u64(std::ceil(2.0 * std::log2(static_cast<double>(n))));
    if (t > MAX_REGISTER_BITS) return fail(TesviError::TooManyQubits{t, MAX_REGISTER_BITS});
    const unsigned w = static_cast<unsigned>(std::max(t, MIN_REGISTER_BITS));

    const std::vector<uint64_t> candidates = coprimes(n, 2, n);
    RandomStream stream = simulator.make_stream();
    const uint64_t start = stream.below(candidates.size());
    const uint64_t attempts = std::min<uint64_t>(candidates.size(), MAX_BASES);
    for (uint64_t u = 0; u < attempts; ++u) {
        const uint64_t a = candidates[(start + u) % candidates.size()];
        const uint64_t period = measured_period(a, order(a, n), n, w, stream);
        if (const uint64_t f = factor_from_period(a, period, n))
            return ShorResult{n, {f, n / f}, a, period, static_cast<uint32_t>(u + 1), true};
    }
    return ShorResult{n, {1, n}, 0, 0, static_cast<uint32_t>(attempts), false};
}

}  // namespace tesvi_quantum::algorithms::shor
