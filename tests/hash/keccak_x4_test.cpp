#include "crypto/hash/keccak_x4.hpp"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "common/cpu.hpp"
#include "crypto/hash/sponge.hpp"

// The four-way kernel is built on x86-64 only.
#if defined(__x86_64__)
namespace {

namespace x4 = tesvi_crypto::hash::x4;
using tesvi_crypto::hash::Sponge;

// Four distinct inputs of one length, so a lane mixed up between states shows.
std::array<std::vector<uint8_t>, 4> inputs(size_t len) {
    std::array<std::vector<uint8_t>, 4> in;
    for (size_t j = 0; j < 4; ++j) {
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

TEST(KeccakX4, Shake256MatchesSingleSponge) {
    if (!tesvi::cpu::has_avx2()) GTEST_SKIP() << "no AVX2";
    const size_t OUTLENS[] = {0, 16, 135, 136, 137, 300};
    for (size_t len : LENGTHS) {
        for (size_t outlen : OUTLENS) {
            auto in = inputs(len);
            // One guard byte past each output must stay untouched.
            std::array<std::vector<uint8_t>, 4> out;
            for (auto& o : out) o.assign(outlen + 1, 0xA5);
            x4::shake256(out[0].data(), out[1].data(), out[2].data(), out[3].data(), outlen,
                         in[0].data(), in[1].data(), in[2].data(), in[3].data(), len);
            for (size_t j = 0; j < 4; ++j) {
                auto want = single(tesvi_crypto::hash::shake256_sponge(), in[j], outlen);
                want.push_back(0xA5);
                EXPECT_EQ(out[j], want)
                    << "length " << len << " outlen " << outlen << " state " << j;
            }
        }
    }
}

}  // namespace
#endif
