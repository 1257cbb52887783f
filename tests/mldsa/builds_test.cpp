// The AVX2 build against the portable one: every kernel on random and extreme
// inputs from the range it is used on, and whole key generation, signing and
// verification over random seeds and messages, damaged ones included. Both
// builds must give the same integers and the same bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "common/cpu.hpp"
#include "crypto/pqc/mldsa/api.hpp"
#include "crypto/pqc/mldsa/avx2.hpp"
#include "crypto/pqc/mldsa/kernels.hpp"

namespace {

using namespace tesvi_crypto::pqc::mldsa65;
using tesvi_crypto::pqc::Build;
using Ints = std::vector<int32_t>;

const Kernels& portable() {
    return kernels(Build::Portable);
}
const Kernels& vector() {
    return kernels(Build::Avx2);
}

// Coefficients in [lo, hi]: all random, or the extremes repeated across the
// polynomial between random ones.
struct Domain {
    int32_t lo, hi;
    Ints extremes;

    Poly draw(std::mt19937& rng, bool with_extremes) const {
        std::uniform_int_distribution<int32_t> dist(lo, hi);
        Poly p;
        for (size_t i = 0; i < N; ++i)
            p.coeffs[i] = with_extremes && i % 3 != 2 ? extremes[i % extremes.size()] : dist(rng);
        return p;
    }
};

Domain symmetric(int32_t bound) {
    return {-bound, bound, {-bound, bound, 0, -1, 1, bound - 1, -(bound - 1)}};
}

constexpr int32_t INT_MIN32 = std::numeric_limits<int32_t>::min();
constexpr int32_t REDUCE32_MAX = (1 << 30) + ((1 << 30) - (1 << 22) - 1);
const Domain RESIDUE = {0, Q - 1, {0, 1, Q - 1, Q - 2, GAMMA2, 2 * GAMMA2, Q - GAMMA2 - 1}};
const Domain HIGH = {0, 15, {0, 15, 1}};
const Domain BIT = {0, 1, {0, 1}};

Ints coeffs(const Poly& p) {
    return {p.coeffs, p.coeffs + N};
}

struct KernelCase {
    const char* name;
    Domain first, second;
    // The kernel's outputs and return value, as integers.
    std::function<Ints(const Kernels&, Poly a, const Poly& b)> run;
};

const KernelCase kernel_cases[] = {
    {"ntt", symmetric(Q - 1), BIT,
     [](const Kernels& k, Poly a, const Poly&) { return k.ntt(a), coeffs(a); }},
    {"invntt_tomont", symmetric(6283009), BIT,
     [](const Kernels& k, Poly a, const Poly&) { return k.invntt_tomont(a), coeffs(a); }},
    {"pointwise_montgomery", symmetric(9 * Q - 1), symmetric(9 * Q - 1),
     [](const Kernels& k, Poly a, const Poly& b) {
         Poly c;
         return k.pointwise_montgomery(c, a, b), coeffs(c);
     }},
    {"pointwise_acc_montgomery", symmetric(9 * Q - 1), symmetric(9 * Q - 1),
     [](const Kernels& k, Poly a, const Poly& b) {
         Poly c = b;
         return k.pointwise_acc_montgomery(c, a, b), coeffs(c);
     }},
    {"reduce",
     {INT_MIN32, REDUCE32_MAX, {INT_MIN32, REDUCE32_MAX, 0, Q, -Q, 1 << 22}},
     BIT,
     [](const Kernels& k, Poly a, const Poly&) { return k.reduce(a), coeffs(a); }},
    {"caddq", symmetric(Q - 1), BIT,
     [](const Kernels& k, Poly a, const Poly&) { return k.caddq(a), coeffs(a); }},
    {"power2round", RESIDUE, BIT,
     [](const Kernels& k, Poly a, const Poly&) {
         Poly a1, a0;
         k.power2round(a1, a0, a);
         Ints out = coeffs(a1);
         for (int32_t x : a0.coeffs) out.push_back(x);
         return out;
     }},
    {"decompose", RESIDUE, BIT,
     [](const Kernels& k, Poly a, const Poly&) {
         Poly a1, a0;
         k.decompose(a1, a0, a);
         Ints out = coeffs(a1);
         for (int32_t x : a0.coeffs) out.push_back(x);
         return out;
     }},
    {"make_hint",
     {-2 * GAMMA2, 2 * GAMMA2, {-GAMMA2, GAMMA2, -GAMMA2 - 1, GAMMA2 + 1, 0}},
     HIGH,
     [](const Kernels& k, Poly a, const Poly& b) {
         Poly h;
         Ints out = {static_cast<int32_t>(k.make_hint(h, a, b))};
         for (int32_t x : h.coeffs) out.push_back(x);
         return out;
     }},
    {"use_hint", RESIDUE, BIT,
     [](const Kernels& k, Poly a, const Poly& b) {
         Poly r;
         return k.use_hint(r, a, b), coeffs(r);
     }},
    {"chknorm", symmetric(GAMMA1 - BETA), BIT,
     [](const Kernels& k, Poly a, const Poly&) {
         Ints out;
         for (int32_t bound : {GAMMA2 - BETA, GAMMA2, GAMMA1 - BETA, GAMMA1 - BETA + 1})
             out.push_back(k.chknorm(a, bound));
         return out;
     }},
};

TEST(MlDsa65Builds, KernelsGiveThePortableIntegers) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2";
    std::mt19937 rng(2024);
    for (const KernelCase& c : kernel_cases)
        for (int round = 0; round < 64; ++round) {
            SCOPED_TRACE(std::string(c.name) + " round " + std::to_string(round));
            const bool extremes = round % 4 == 0;
            const Poly a = c.first.draw(rng, extremes), b = c.second.draw(rng, extremes);
            ASSERT_EQ(c.run(vector(), a, b), c.run(portable(), a, b));
        }
}

TEST(MlDsa65Builds, SamplersAndChallengeGiveThePortablePolynomials) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2";
    std::mt19937 rng(99);
    for (int round = 0; round < 8; ++round) {
        SCOPED_TRACE(round);
        uint8_t seed[CRHBYTES];
        for (uint8_t& x : seed) x = static_cast<uint8_t>(rng());
        const std::span<const uint8_t, SEEDBYTES> rho(seed, SEEDBYTES);
        const std::span<const uint8_t, CRHBYTES> rhoprime(seed, CRHBYTES);

        PolyMatrix want_a, got_a;
        portable().matrix_expand(want_a, rho);
        vector().matrix_expand(got_a, rho);
        for (size_t i = 0; i < K; ++i)
            for (size_t j = 0; j < L; ++j)
                ASSERT_EQ(coeffs(got_a[i].vec[j]), coeffs(want_a[i].vec[j])) << i << "," << j;

        PolyVecL want_s1, got_s1;
        PolyVecK want_s2, got_s2;
        portable().uniform_eta(want_s1, want_s2, rhoprime);
        vector().uniform_eta(got_s1, got_s2, rhoprime);
        for (size_t i = 0; i < L; ++i) ASSERT_EQ(coeffs(got_s1.vec[i]), coeffs(want_s1.vec[i]));
        for (size_t i = 0; i < K; ++i) ASSERT_EQ(coeffs(got_s2.vec[i]), coeffs(want_s2.vec[i]));

        Poly want_c, got_c;
        const std::span<const uint8_t, CTILDEBYTES> ctilde(seed, CTILDEBYTES);
        poly_challenge(want_c, ctilde, portable().challenge_place);
        poly_challenge(got_c, ctilde, vector().challenge_place);
        ASSERT_EQ(coeffs(got_c), coeffs(want_c));

        // The last nonces wrap the 16-bit counter L * nonce + i.
        for (uint16_t nonce :
             {uint16_t{0}, static_cast<uint16_t>(rng()), uint16_t{13106}, uint16_t{13107}}) {
            PolyVecL want_y, got_y;
            portable().uniform_gamma1(want_y, rhoprime, nonce);
            vector().uniform_gamma1(got_y, rhoprime, nonce);
            for (size_t i = 0; i < L; ++i) ASSERT_EQ(coeffs(got_y.vec[i]), coeffs(want_y.vec[i]));
        }
    }
}

// Every output length and buffer length around the vector step sizes, on
// random bytes and on bytes that are all kept or all rejected.
TEST(MlDsa65Builds, RejectionSamplersKeepThePortableCandidates) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2";
    using Sampler = size_t (*)(int32_t*, size_t, const uint8_t*, size_t);
    const struct {
        const char* name;
        Sampler portable, vector;
    } samplers[] = {{"uniform", rej_uniform, avx2::rej_uniform}, {"eta", rej_eta, avx2::rej_eta}};
    std::mt19937 rng(3);
    for (const auto& sampler : samplers)
        for (int fill : {-1, 0x00, 0xFF, 0x88, 0x99})
            for (size_t buflen : {0, 3, 8, 31, 32, 33, 136, 168, 840})
                for (size_t len : {0, 1, 7, 8, 9, 15, 16, 17, 200, 256}) {
                    SCOPED_TRACE(std::string(sampler.name) + " fill " + std::to_string(fill) +
                                 " buflen " + std::to_string(buflen) + " len " +
                                 std::to_string(len));
                    std::vector<uint8_t> buf(buflen);
                    for (uint8_t& x : buf) x = static_cast<uint8_t>(fill < 0 ? rng() : fill);
                    Ints want(N + 8, 12345), got(N + 8, 12345);
                    const size_t n = sampler.portable(want.data(), len, buf.data(), buflen);
                    ASSERT_EQ(sampler.vector(got.data(), len, buf.data(), buflen), n);
                    ASSERT_EQ(Ints(got.begin(), got.begin() + n),
                              Ints(want.begin(), want.begin() + n));
                    ASSERT_EQ(got[len], 12345);  // nothing written past the end
                }
}

std::vector<uint8_t> bytes(std::span<const uint8_t> s) {
    return {s.begin(), s.end()};
}

// Same keys, same signatures, and the same verdict on the genuine signature
// and on damaged signatures, keys and messages.
TEST(MlDsa65Builds, SameKeysSignaturesAndVerdicts) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2";
    std::mt19937 rng(5);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        uint8_t xi[SEEDBYTES];
        for (uint8_t& x : xi) x = static_cast<uint8_t>(rng());
        const Keypair kp = keypair_from_seed(xi, Build::Portable);
        const Keypair kv = keypair_from_seed(xi, Build::Avx2);
        ASSERT_EQ(bytes(kv.public_key.as_bytes()), bytes(kp.public_key.as_bytes()));
        ASSERT_EQ(bytes(kv.secret_key.as_bytes()), bytes(kp.secret_key.as_bytes()));

        std::vector<uint8_t> msg(rng() % 300);
        for (uint8_t& x : msg) x = static_cast<uint8_t>(rng());
        const DetachedSignature sp = detached_sign(msg, kp.secret_key, Build::Portable);
        const DetachedSignature sv = detached_sign(msg, kp.secret_key, Build::Avx2);
        ASSERT_EQ(bytes(sv.as_bytes()), bytes(sp.as_bytes()));

        auto sig_bytes = bytes(sp.as_bytes());
        sig_bytes[rng() % sig_bytes.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
        PublicKey pk = kp.public_key;
        pk.bytes[rng() % pk.bytes.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
        std::vector<uint8_t> other_msg = msg;
        other_msg.push_back(static_cast<uint8_t>(rng()));

        const struct {
            const char* what;
            DetachedSignature sig;
            std::vector<uint8_t> msg;
            PublicKey pk;
            bool valid;
        } trials[] = {
            {"genuine", sp, msg, kp.public_key, true},
            {"damaged signature", *DetachedSignature::from_bytes(sig_bytes), msg, kp.public_key,
             false},
            {"damaged key", sp, msg, pk, false},
            {"other message", sp, other_msg, kp.public_key, false},
        };
        for (const auto& t : trials) {
            SCOPED_TRACE(t.what);
            const bool want = verify_detached_signature(t.sig, t.msg, t.pk, Build::Portable);
            EXPECT_EQ(verify_detached_signature(t.sig, t.msg, t.pk, Build::Avx2), want);
            if (t.valid) EXPECT_TRUE(want);
        }
    }
}

}  // namespace
