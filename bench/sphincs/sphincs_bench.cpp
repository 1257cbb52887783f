// SPHINCS+-SHAKE-128f-simple key generation, signing and verification of a
// 64-byte message, the portable and the AVX2 build in the same run, and the
// speed-up of the AVX2 build on each (single core):
//
//   build/bench/sphincs/sphincs_bench
#include <array>
#include <cstdint>
#include <vector>

#include "bench/support/ratios.hpp"
#include "common/cpu.hpp"
#include "crypto/pqc/sphincs/sign.hpp"

namespace {

namespace sp = tesvi_crypto::pqc::sphincs_shake_128f_simple;
using tesvi_crypto::pqc::Build;

const std::vector<uint8_t> message(64, 0x42);
const std::array<uint8_t, sp::kSeedBytes> seed{1, 2, 3};
const std::array<uint8_t, sp::kOptRandBytes> optrand{4, 5, 6};

bool skip(benchmark::State& state, Build build) {
    if (build == Build::Avx2 && !tesvi::cpu::has_avx2()) {
        state.SkipWithError("no AVX2");
        return true;
    }
    return false;
}

template <Build B>
void BM_Keypair(benchmark::State& state) {
    if (skip(state, B)) return;
    for (auto _ : state) benchmark::DoNotOptimize(sp::keypair_from_seed(seed, B));
}

template <Build B>
void BM_Sign(benchmark::State& state) {
    if (skip(state, B)) return;
    const sp::Keypair kp = sp::keypair_from_seed(seed);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            sp::detached_sign_with_optrand(message, kp.secret_key, optrand, B));
}

template <Build B>
void BM_Verify(benchmark::State& state) {
    if (skip(state, B)) return;
    const sp::Keypair kp = sp::keypair_from_seed(seed);
    const auto sig = sp::detached_sign_with_optrand(message, kp.secret_key, optrand);
    for (auto _ : state)
        benchmark::DoNotOptimize(sp::verify_detached_signature(sig, message, kp.public_key, B));
}

BENCHMARK(BM_Keypair<Build::Portable>)->Name("keypair/portable")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Keypair<Build::Avx2>)->Name("keypair/avx2")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sign<Build::Portable>)->Name("sign/portable")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sign<Build::Avx2>)->Name("sign/avx2")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Verify<Build::Portable>)->Name("verify/portable")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Verify<Build::Avx2>)->Name("verify/avx2")->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return tesvi_bench::run_with_ratios(argc, argv,
                                        {{"keypair/portable", "keypair/avx2"},
                                         {"sign/portable", "sign/avx2"},
                                         {"verify/portable", "verify/avx2"}});
}
