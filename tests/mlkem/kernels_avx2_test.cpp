// Each AVX2 kernel against its portable namesake, on random inputs and on the
// extremes of the ranges the callers guarantee. Equality is exact: the two
// builds must give identical bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "common/cpu.hpp"
#include "crypto/pqc/mlkem/cbd.hpp"
#include "crypto/pqc/mlkem/kernels.hpp"
#include "crypto/pqc/mlkem/reduce.hpp"

#if defined(__x86_64__)

namespace {

using namespace tesvi_crypto::pqc::mlkem;
using Bytes = std::vector<uint8_t>;

class Avx2Kernels : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2 on this processor";
    }
    std::mt19937_64 rng{20240817};

    Poly uniform(int lo, int hi) {
        std::uniform_int_distribution<int> d(lo, hi);
        Poly p;
        for (int16_t& c : p.coeffs) c = static_cast<int16_t>(d(rng));
        return p;
    }
    Poly constant(int v) {
        Poly p;
        p.coeffs.fill(static_cast<int16_t>(v));
        return p;
    }
    // Random polynomials in [lo, hi] and the constant polynomials at both ends.
    std::vector<Poly> cases(int lo, int hi) {
        std::vector<Poly> out{constant(lo), constant(hi), constant(0)};
        Poly alternating;
        for (size_t i = 0; i < N; ++i)
            alternating.coeffs[i] = static_cast<int16_t>(i % 2 ? lo : hi);
        out.push_back(alternating);
        for (int i = 0; i < 20; ++i) out.push_back(uniform(lo, hi));
        return out;
    }
    Bytes random_bytes(size_t n) {
        Bytes b(n);
        for (uint8_t& x : b) x = static_cast<uint8_t>(rng());
        return b;
    }
    std::vector<Bytes> byte_cases(size_t n) {
        std::vector<Bytes> out{Bytes(n, 0x00), Bytes(n, 0xFF)};
        for (int i = 0; i < 20; ++i) out.push_back(random_bytes(n));
        return out;
    }
    // Every value of [lo, hi] once, 256 to a polynomial, the last one padded with lo.
    static std::vector<Poly> every_value(int lo, int hi) {
        std::vector<Poly> out;
        for (int v = lo; v <= hi; v += N) {
            Poly p;
            for (size_t i = 0; i < N; ++i)
                p.coeffs[i] = static_cast<int16_t>(std::min(v + int(i), hi));
            out.push_back(p);
        }
        return out;
    }
};

#define EXPECT_SAME_POLY(a, b) EXPECT_EQ((a).coeffs, (b).coeffs)

TEST_F(Avx2Kernels, NttMatchesPortableAndInverseRoundTrips) {
    for (const Poly& in : cases(-(Q - 1), Q - 1)) {
        Poly p = in, v = in;
        PortableKernels::ntt(p);
        avx2::poly_ntt(v);
        EXPECT_SAME_POLY(p, v);
        PortableKernels::invntt_tomont(p);
        avx2::poly_invntt_tomont(v);
        EXPECT_SAME_POLY(p, v);
        // The inverse leaves a factor 2^16 (Montgomery form) on each coefficient.
        for (size_t i = 0; i < N; ++i) {
            const int32_t want = (int32_t{in.coeffs[i]} * (MONT + Q)) % Q;
            EXPECT_EQ(((v.coeffs[i] - want) % Q + Q) % Q, 0) << "coefficient " << i;
        }
    }
    // The inverse on its own, from the full reduced range of the base multiplication.
    for (const Poly& in : cases(-(Q - 1) / 2, (Q - 1) / 2)) {
        Poly p = in, v = in;
        PortableKernels::invntt_tomont(p);
        avx2::poly_invntt_tomont(v);
        EXPECT_SAME_POLY(p, v);
    }
}

TEST_F(Avx2Kernels, BaseMultiplicationMatchesPortable) {
    // Operands come from ByteDecode_12 ([0, 4096)) or the transform (|x| < q).
    const auto a = cases(-4095, 4095), b = cases(-4095, 4095);
    for (unsigned k = 1; k <= 4; ++k) {
        for (size_t i = 0; i + k <= a.size(); i += k) {
            Poly p, v;
            PortableKernels::basemul_acc_montgomery(p, &a[i], &b[b.size() - i - k], k);
            avx2::poly_basemul_acc_montgomery(v, &a[i], &b[b.size() - i - k], k);
            EXPECT_SAME_POLY(p, v) << "k " << k << " at " << i;
        }
    }
}

TEST_F(Avx2Kernels, ReductionsMatchPortableOnEveryValue) {
    for (const Poly& in : every_value(INT16_MIN, INT16_MAX)) {
        Poly p = in, v = in;
        PortableKernels::reduce(p);
        avx2::poly_reduce(v);
        EXPECT_SAME_POLY(p, v);
        p = in, v = in;
        PortableKernels::tomont(p);
        avx2::poly_tomont(v);
        EXPECT_SAME_POLY(p, v);
    }
    const Poly a = uniform(-2 * Q, 2 * Q), b = uniform(-2 * Q, 2 * Q);
    Poly p, v;
    PortableKernels::add(p, a, b);
    avx2::poly_add(v, a, b);
    EXPECT_SAME_POLY(p, v);
    PortableKernels::sub(p, a, b);
    avx2::poly_sub(v, a, b);
    EXPECT_SAME_POLY(p, v);
}

// Compression at width D of every coefficient in (-q, q), and decompression
// of random and extreme bytes.
template <unsigned D>
void check_compression(const std::vector<Poly>& every, const std::vector<Bytes>& encoded) {
    SCOPED_TRACE("d = " + std::to_string(D));
    for (const Poly& in : every) {
        Bytes p(32 * D), v(32 * D, 0xAA);
        PortableKernels::compress<D>(p.data(), in);
        avx2::poly_compress<D>(v.data(), in);
        EXPECT_EQ(p, v);
    }
    for (const Bytes& in : encoded) {
        Poly p, v;
        PortableKernels::decompress<D>(p, in.data());
        avx2::poly_decompress<D>(v, in.data());
        EXPECT_SAME_POLY(p, v);
    }
}

TEST_F(Avx2Kernels, CompressionMatchesPortableAtEveryWidth) {
    const auto every = every_value(-(Q - 1), Q - 1);
    check_compression<4>(every, byte_cases(32 * 4));
    check_compression<5>(every, byte_cases(32 * 5));
    check_compression<10>(every, byte_cases(32 * 10));
    check_compression<11>(every, byte_cases(32 * 11));

    for (const Poly& in : every) {  // widths 1 (messages) and 12 (keys)
        Bytes p(SYMBYTES), v(SYMBYTES, 0xAA);
        PortableKernels::tomsg(p.data(), in);
        avx2::poly_tomsg(v.data(), in);
        EXPECT_EQ(p, v);
        Bytes pk(POLYBYTES), vk(POLYBYTES, 0xAA);
        PortableKernels::tobytes(pk.data(), in);
        avx2::poly_tobytes(vk.data(), in);
        EXPECT_EQ(pk, vk);
    }
    for (const Bytes& in : byte_cases(POLYBYTES)) {
        Poly p, v;
        PortableKernels::frombytes(p, in.data());
        avx2::poly_frombytes(v, in.data());
        EXPECT_SAME_POLY(p, v);
        PortableKernels::frommsg(p, in.data());
        avx2::poly_frommsg(v, in.data());
        EXPECT_SAME_POLY(p, v);
    }
}

TEST_F(Avx2Kernels, CbdMatchesPortable) {
    for (const Bytes& in : byte_cases(2 * N / 4)) {
        std::array<int16_t, N> p, v;
        cbd<2>(p, in.data());
        avx2::cbd<2>(v, in.data());
        EXPECT_EQ(p, v);
    }
    for (const Bytes& in : byte_cases(3 * N / 4)) {
        std::array<int16_t, N> p, v;
        cbd<3>(p, in.data());
        avx2::cbd<3>(v, in.data());
        EXPECT_EQ(p, v);
    }
}

TEST_F(Avx2Kernels, RejectionSamplingMatchesPortable) {
    // Candidates of q - 1 and q sit on either side of the bound; the lengths
    // cover stopping on a full output and on an exhausted buffer, with and
    // without a vector step.
    Bytes boundary;
    for (int i = 0; i < 100; ++i) {
        const uint16_t a = i % 2 ? Q : Q - 1, b = i % 3 ? Q - 1 : Q;
        boundary.push_back(static_cast<uint8_t>(a));
        boundary.push_back(static_cast<uint8_t>((a >> 8) | (b << 4)));
        boundary.push_back(static_cast<uint8_t>(b >> 4));
    }
    std::vector<Bytes> inputs = byte_cases(3 * 168);
    inputs.push_back(boundary);
    for (const Bytes& in : inputs) {
        for (size_t len : {size_t{0}, size_t{7}, size_t{16}, size_t{100}, N}) {
            for (size_t buflen : {size_t{20}, size_t{24}, size_t{168}, in.size()}) {
                std::array<int16_t, N> p{}, v{};
                const size_t np = rej_uniform(p.data(), len, in.data(), buflen);
                const size_t nv = avx2::rej_uniform(v.data(), len, in.data(), buflen);
                EXPECT_EQ(np, nv) << "len " << len << " buflen " << buflen;
                EXPECT_EQ(p, v) << "len " << len << " buflen " << buflen;
            }
        }
    }
}

// What one draw hands back: the matrix and the outputs of the jobs beside it.
template <unsigned K>
struct Drawn {
    Matrix<K> a{};
    std::array<uint8_t, SYMBYTES> h{};
    std::array<std::array<uint8_t, 192>, 5> noise{};
};

// A long SHA3-256 job first and five noise PRFs of both lengths after, as
// encapsulation and key generation arrange them.
template <class Ker, unsigned K>
Drawn<K> draw(const Bytes& seed, const Bytes& long_message, bool with_matrix, bool transposed) {
    namespace hash = tesvi_crypto::hash;
    Drawn<K> d;
    hash::Output h_out{d.h};
    const hash::Job first = hash::output_job(hash::sha3_256_sponge(), long_message, {}, h_out);
    uint8_t nonce[5];
    hash::Output noise_out[5];
    hash::Job then[5];
    for (size_t i = 0; i < 5; ++i) {
        nonce[i] = static_cast<uint8_t>(i);
        noise_out[i].bytes = std::span(d.noise[i]).first(i % 2 ? 128 : 192);
        then[i] = hash::output_job(hash::shake256_sponge(), seed, {&nonce[i], 1}, noise_out[i]);
    }
    Ker::template draw<K>(with_matrix ? &d.a : nullptr, seed.data(), transposed, {&first, 1}, then);
    return d;
}

template <unsigned K>
void check_draw(const Bytes& seed, const Bytes& long_message) {
    for (bool with_matrix : {true, false}) {
        for (bool transposed : {false, true}) {
            SCOPED_TRACE("k " + std::to_string(K) + (with_matrix ? "" : " no matrix") +
                         (transposed ? " transposed" : ""));
            const auto p = draw<PortableKernels, K>(seed, long_message, with_matrix, transposed);
            const auto v = draw<tesvi_crypto::pqc::mlkem::Avx2Kernels, K>(seed, long_message,
                                                                          with_matrix, transposed);
            for (unsigned i = 0; i < K; ++i) {
                for (unsigned j = 0; j < K; ++j)
                    EXPECT_EQ(p.a[i].vec[j].coeffs, v.a[i].vec[j].coeffs) << i << "," << j;
            }
            EXPECT_EQ(p.h, v.h);
            EXPECT_EQ(p.noise, v.noise);
        }
    }
}

// Public-key lengths of the three ranks, so the long job outlasts the
// matrix, matches it or ends first.
TEST_F(Avx2Kernels, DrawsMatchPortable) {
    for (int t = 0; t < 4; ++t) {
        const Bytes seed = random_bytes(SYMBYTES);
        check_draw<2>(seed, random_bytes(800));
        check_draw<3>(seed, random_bytes(1184));
        check_draw<4>(seed, random_bytes(1568));
        check_draw<3>(seed, random_bytes(0));
    }
}

}  // namespace

#endif
