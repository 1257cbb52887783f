// ML-DSA-65 key generation, signing and verification, each in the portable
// and the AVX2 build in the same run, with the speed-up of AVX2 over
// portable printed at the end from the medians of the repetitions.
//
// Signing time varies with the message, as the number of rejected attempts
// does: one iteration signs 16 fixed messages, timing each, and reports the
// median of the 16. Both builds sign the same messages (and give the same
// signatures), so they make the same attempts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "common/cpu.hpp"
#include "crypto/pqc/mldsa/api.hpp"

namespace {

namespace mldsa = tesvi_crypto::pqc::mldsa65;
using tesvi_crypto::pqc::Build;

mldsa::Keypair fixed_keypair(Build build) {
    std::array<uint8_t, mldsa::SEEDBYTES> xi{};
    xi[0] = 0x42;
    return mldsa::keypair_from_seed(xi, build);
}

void keygen(benchmark::State& state, Build build) {
    std::array<uint8_t, mldsa::SEEDBYTES> xi{};
    for (auto _ : state) {
        ++xi[0];
        benchmark::DoNotOptimize(mldsa::keypair_from_seed(xi, build));
    }
}

void sign(benchmark::State& state, Build build) {
    const mldsa::Keypair kp = fixed_keypair(build);
    std::vector<uint8_t> msg(64, 0x42);
    std::array<double, 16> seconds;
    for (auto _ : state) {
        for (size_t m = 0; m < seconds.size(); ++m) {
            msg[0] = static_cast<uint8_t>(m);
            const auto t0 = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(mldsa::detached_sign(msg, kp.secret_key, build));
            seconds[m] =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        }
        std::nth_element(seconds.begin(), seconds.begin() + seconds.size() / 2, seconds.end());
        state.SetIterationTime(seconds[seconds.size() / 2]);
    }
}

void verify(benchmark::State& state, Build build) {
    const mldsa::Keypair kp = fixed_keypair(build);
    const std::vector<uint8_t> msg(64, 0x42);
    const mldsa::DetachedSignature sig = mldsa::detached_sign(msg, kp.secret_key, build);
    for (auto _ : state)
        benchmark::DoNotOptimize(mldsa::verify_detached_signature(sig, msg, kp.public_key, build));
}

// Prints the usual table, then portable median / AVX2 median per operation.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.aggregate_name == "median")
                medians_[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        for (const char* op : {"keygen", "sign", "verify"}) {
            auto p = medians_.find(std::string(op) + "/portable");
            auto v = medians_.find(std::string(op) + "/avx2");
            if (p != medians_.end() && v != medians_.end())
                std::printf("%-7s AVX2 over portable: %.2fx (%.1f us vs %.1f us)\n", op,
                            p->second / v->second, v->second, p->second);
        }
    }

  private:
    std::map<std::string, double> medians_;
};

void register_build(Build build, const char* name) {
    auto add = [&](const char* op, void (*fn)(benchmark::State&, Build)) {
        return benchmark::RegisterBenchmark((std::string(op) + "/" + name).c_str(), fn, build)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(7)
            ->ReportAggregatesOnly(true);
    };
    add("keygen", keygen);
    add("sign", sign)->UseManualTime();
    add("verify", verify);
}

}  // namespace

int main(int argc, char** argv) {
    register_build(Build::Portable, "portable");
    if (tesvi::cpu::has_avx2()) register_build(Build::Avx2, "avx2");
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
