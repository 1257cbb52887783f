#include "crypto/hash/multi_sponge.hpp"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "common/cpu.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/hash/keccak_x8.hpp"
#include "crypto/hash/sponge.hpp"

// The four- and eight-way kernels are built on x86-64 only.
#if defined(__x86_64__)
namespace {

namespace x4 = tesvi_crypto::hash::x4;
namespace x8 = tesvi_crypto::hash::x8;
using tesvi_crypto::hash::Sponge;

// Distinct inputs of one length, so a lane mixed up between states shows.
std::array<std::vector<uint8_t>, 8> inputs(size_t len) {
    std::array<std::vector<uint8_t>, 8> in;
    for (size_t j = 0; j < in.size(); ++j) {
        in[j].resize(len);
        for (size_t k = 0; k < len; ++k) in[j][k] = static_cast<uint8_t>(k * 31 + j * 101 + 7);
    }
    return in;
}

std::vector<uint8_t> single(Sponge sp, const std::vector<uint8_t>& in, size_t outlen) {
    sp.absorb(in);
    std::vector<uint8_t> out(outlen);
    sp.squeeze(out);
    return out;
}

// Message lengths around the block boundaries of both rates, and several blocks.
const size_t LENGTHS[] = {0, 1, 33, 135, 136, 137, 167, 168, 169, 271, 272, 336, 505, 1000};

TEST(KeccakX4, BlockwiseSqueezeMatchesSingleSponge) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2";
    struct Variant {
        size_t rate;
        decltype(&x4::shake128_absorb_once) absorb;
        decltype(&x4::shake128_squeezeblocks) squeeze;
        Sponge (*sponge)();
    };
    const Variant variants[] = {
        {x4::SHAKE128_RATE, x4::shake128_absorb_once, x4::shake128_squeezeblocks,
         tesvi_crypto::hash::shake128_sponge},
        {x4::SHAKE256_RATE, x4::shake256_absorb_once, x4::shake256_squeezeblocks,
         tesvi_crypto::hash::shake256_sponge},
    };
    for (const auto& v : variants) {
        for (size_t len : LENGTHS) {
            auto in = inputs(len);
            x4::State st;
            v.absorb(st, in[0].data(), in[1].data(), in[2].data(), in[3].data(), len);
            // Squeezing in two calls continues the stream.
            std::array<std::vector<uint8_t>, 4> out;
            for (auto& o : out) o.resize(3 * v.rate);
            v.squeeze(out[0].data(), out[1].data(), out[2].data(), out[3].data(), 1, st);
            v.squeeze(out[0].data() + v.rate, out[1].data() + v.rate, out[2].data() + v.rate,
                      out[3].data() + v.rate, 2, st);
            for (size_t j = 0; j < 4; ++j)
                EXPECT_EQ(out[j], single(v.sponge(), in[j], 3 * v.rate))
                    << "rate " << v.rate << " length " << len << " state " << j;
        }
    }
}

// x4::shake256 and x8::shake256, through one signature.
using ManyShake = void (*)(uint8_t* const out[], size_t outlen, const uint8_t* const in[],
                           size_t inlen);
void four_way_shake256(uint8_t* const out[], size_t outlen, const uint8_t* const in[],
                       size_t inlen) {
    x4::shake256(out[0], out[1], out[2], out[3], outlen, in[0], in[1], in[2], in[3], inlen);
}
void eight_way_shake256(uint8_t* const out[], size_t outlen, const uint8_t* const in[],
                        size_t inlen) {
    x8::shake256(out, outlen, in, inlen);
}

TEST(ManyWaySponge, Shake256MatchesSingleSponge) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2";
    const struct {
        size_t ways;
        ManyShake shake;
    } forms[] = {{4, four_way_shake256}, {8, eight_way_shake256}};
    const size_t OUTLENS[] = {0, 16, 135, 136, 137, 300};
    for (const auto& form : forms) {
        for (size_t len : LENGTHS) {
            for (size_t outlen : OUTLENS) {
                auto in = inputs(len);
                // One guard byte past each output must stay untouched.
                std::array<std::vector<uint8_t>, 8> out;
                uint8_t* out_ptr[8];
                const uint8_t* in_ptr[8];
                for (size_t j = 0; j < 8; ++j) {
                    out[j].assign(outlen + 1, 0xA5);
                    out_ptr[j] = out[j].data();
                    in_ptr[j] = in[j].data();
                }
                form.shake(out_ptr, outlen, in_ptr, len);
                for (size_t j = 0; j < form.ways; ++j) {
                    auto want = single(tesvi_crypto::hash::shake256_sponge(), in[j], outlen);
                    want.push_back(0xA5);
                    EXPECT_EQ(out[j], want) << form.ways << "-way, length " << len << " outlen "
                                            << outlen << " state " << j;
                }
            }
        }
    }
}

// Jobs of every shape at once: both SHA-3 and SHAKE paddings and rates,
// messages in one and two parts ending inside, at and one past a block
// boundary, outputs of one block and of several, more jobs than lanes and
// lengths that make lanes finish out of step.
TEST(ManyWaySponge, JobsGiveWhatEachSpongeGives) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2";
    namespace hash = tesvi_crypto::hash;
    struct Case {
        Sponge (*kind)();
        size_t first, second, outlen;
    };
    const Case cases[] = {
        {hash::sha3_256_sponge, 1184, 0, 32},  {hash::shake128_sponge, 34, 0, 504},
        {hash::shake256_sponge, 32, 1088, 32}, {hash::shake256_sponge, 33, 0, 128},
        {hash::shake128_sponge, 34, 0, 840},   {hash::sha3_512_sponge, 0, 0, 64},
        {hash::shake256_sponge, 136, 0, 137},  {hash::shake256_sponge, 100, 36, 16},
        {hash::shake256_sponge, 135, 0, 272},  {hash::shake128_sponge, 167, 2, 1},
        {hash::sha3_256_sponge, 0, 272, 32},
    };
    std::vector<std::vector<uint8_t>> firsts, seconds, outs;
    std::vector<hash::Output> sinks(std::size(cases));
    std::vector<hash::Job> jobs;
    for (size_t c = 0; c < std::size(cases); ++c) {
        firsts.push_back(inputs(cases[c].first)[c % 8]);
        seconds.push_back(inputs(cases[c].second)[(c + 3) % 8]);
        outs.emplace_back(cases[c].outlen);
    }
    for (size_t c = 0; c < std::size(cases); ++c) {
        sinks[c].bytes = outs[c];
        jobs.push_back(hash::output_job(cases[c].kind(), firsts[c], seconds[c], sinks[c]));
    }
    x4::run(jobs);
    for (size_t c = 0; c < std::size(cases); ++c) {
        Sponge sp = cases[c].kind();
        sp.absorb(firsts[c]);
        std::vector<uint8_t> want = single(sp, seconds[c], cases[c].outlen);
        EXPECT_EQ(outs[c], want) << "case " << c;
        // The one-sponge form of a job, as the portable builds run it.
        std::vector<uint8_t> alone(cases[c].outlen);
        hash::Output sink{alone};
        hash::run(hash::output_job(cases[c].kind(), firsts[c], seconds[c], sink));
        EXPECT_EQ(alone, want) << "case " << c;
    }
}

}  // namespace
#endif
