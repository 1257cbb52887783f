// The Keccak-f[1600] kernels one permutation at a time (the four-way kernel
// per call, four permutations), and SHA3-256 and SHAKE128 over 1 MiB through
// the sponge against the system's OpenSSL, all in one run:
//
//   build/bench/keccak/keccak_bench
#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <vector>

#include "bench/support/ratios.hpp"
#include "common/cpu.hpp"
#include "crypto/hash/keccak_f1600.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/hash/keccak_x8.hpp"
#include "crypto/hash/sponge.hpp"

namespace {

namespace hash = tesvi_crypto::hash;

template <void (*Kernel)(uint64_t*)>
void BM_Permute(benchmark::State& state) {
    if (Kernel != hash::keccak_f1600_portable && !tesvi::cpu::has_avx2())
        return state.SkipWithError("no AVX2");
    std::array<uint64_t, 25> st{};
    for (auto _ : state) {
        Kernel(st.data());
        benchmark::DoNotOptimize(st);
    }
}
BENCHMARK(BM_Permute<hash::keccak_f1600_portable>)->Name("permute/portable");
// The unrolled kernels are built on x86-64 only.
#if defined(__x86_64__)
BENCHMARK(BM_Permute<hash::keccak_f1600_avx2>)->Name("permute/avx2");

// One call permutes four or eight states: the ratios to permute/avx2 below
// are per call, so the throughput gain is four or eight times the inverse.
template <class State, void (*Kernel)(State&), bool (*Available)()>
void BM_PermuteMany(benchmark::State& state) {
    if (!Available()) return state.SkipWithError("not supported here");
    State st{};
    for (auto _ : state) {
        Kernel(st);
        benchmark::DoNotOptimize(st);
    }
}
using tesvi::cpu::has_avx2;
using tesvi::cpu::has_avx512;
BENCHMARK(BM_PermuteMany<hash::x4::State, hash::x4::permute_avx2, has_avx2>)
    ->Name("permute/x4_avx2");
BENCHMARK(BM_PermuteMany<hash::x4::State, hash::x4::permute_avx512, has_avx512>)
    ->Name("permute/x4_avx512");
BENCHMARK(BM_PermuteMany<hash::x8::State, hash::x8::permute_avx2, has_avx2>)
    ->Name("permute/x8_avx2");
BENCHMARK(BM_PermuteMany<hash::x8::State, hash::x8::permute_avx512, has_avx512>)
    ->Name("permute/x8_avx512");
#endif

const std::vector<uint8_t> mebibyte(size_t{1} << 20, 0x5A);

void set_bytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * mebibyte.size()));
}

template <hash::Sponge (*Make)(), size_t Out>
void BM_Sponge(benchmark::State& state) {
    std::array<uint8_t, Out> out;
    for (auto _ : state) {
        hash::Sponge sp = Make();
        sp.absorb(mebibyte);
        sp.squeeze(out);
        benchmark::DoNotOptimize(out);
    }
    set_bytes(state);
}
BENCHMARK(BM_Sponge<hash::sha3_256_sponge, 32>)->Name("sha3_256_1MiB/tesvi");
BENCHMARK(BM_Sponge<hash::shake128_sponge, 32>)->Name("shake128_1MiB/tesvi");

template <const EVP_MD* (*Md)(), size_t Out>
void BM_OpenSsl(benchmark::State& state) {
    std::array<uint8_t, Out> out;
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    for (auto _ : state) {
        EVP_DigestInit_ex(ctx, Md(), nullptr);
        EVP_DigestUpdate(ctx, mebibyte.data(), mebibyte.size());
        if (EVP_MD_get_flags(Md()) & EVP_MD_FLAG_XOF)
            EVP_DigestFinalXOF(ctx, out.data(), out.size());
        else
            EVP_DigestFinal_ex(ctx, out.data(), nullptr);
        benchmark::DoNotOptimize(out);
    }
    EVP_MD_CTX_free(ctx);
    set_bytes(state);
}
BENCHMARK(BM_OpenSsl<EVP_sha3_256, 32>)->Name("sha3_256_1MiB/openssl");
BENCHMARK(BM_OpenSsl<EVP_shake128, 32>)->Name("shake128_1MiB/openssl");

}  // namespace

int main(int argc, char** argv) {
    return tesvi_bench::run_with_ratios(argc, argv,
                                        {{"permute/portable", "permute/avx2"},
                                         {"permute/avx2", "permute/x4_avx2"},
                                         {"permute/avx2", "permute/x4_avx512"},
                                         {"permute/avx2", "permute/x8_avx2"},
                                         {"permute/avx2", "permute/x8_avx512"},
                                         {"sha3_256_1MiB/openssl", "sha3_256_1MiB/tesvi"},
                                         {"shake128_1MiB/openssl", "shake128_1MiB/tesvi"}});
}
