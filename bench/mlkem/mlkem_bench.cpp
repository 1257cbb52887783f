// ML-KEM key generation, encapsulation and decapsulation at each parameter
// set, on the portable and the AVX2 build in the same run, then the ratio of
// their median CPU times (portable / AVX2) for each operation: CPU time, as
// the machine is shared and wall time counts the waits for a core. The deterministic
// entry points run with a fresh seed or message each iteration, so the
// matrix sampling sees varying rejection counts; no entropy request is timed.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "common/cpu.hpp"
#include "crypto/pqc/mlkem/kem.hpp"

namespace {

namespace mlkem = tesvi_crypto::pqc::mlkem;
using tesvi_crypto::pqc::Build;

// Changes the first eight bytes each call: a new seed or message per iteration.
template <size_t L>
void next(uint8_t (&bytes)[L]) {
    for (size_t i = 0; i < 8 && ++bytes[i] == 0; ++i) {
    }
}

template <class S>
void keygen(benchmark::State& state, Build build) {
    uint8_t d_z[64] = {1};
    for (auto _ : state) {
        next(d_z);
        benchmark::DoNotOptimize(S::keypair_derand(d_z, build));
    }
}

template <class S>
void encapsulate(benchmark::State& state, Build build) {
    const uint8_t d_z[64] = {2};
    const auto kp = S::keypair_derand(d_z, build);
    uint8_t m[32] = {3};
    for (auto _ : state) {
        next(m);
        benchmark::DoNotOptimize(S::encapsulate_derand(kp.public_key, m, build));
    }
}

template <class S>
void decapsulate(benchmark::State& state, Build build) {
    const uint8_t d_z[64] = {4}, m[32] = {5};
    const auto kp = S::keypair_derand(d_z, build);
    const auto enc = S::encapsulate_derand(kp.public_key, m, build);
    for (auto _ : state) {
        benchmark::DoNotOptimize(S::decapsulate(enc.ciphertext, kp.secret_key, build));
    }
}

// Keeps the console output and remembers each benchmark's median.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                medians_[r.run_name.function_name] = r.GetAdjustedCPUTime();
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nportable / avx2, median CPU time:\n");
        for (const auto& [name, portable] : medians_) {
            const auto slash = name.rfind("/portable");
            if (slash == std::string::npos) continue;
            const auto avx2 = medians_.find(name.substr(0, slash) + "/avx2");
            if (avx2 == medians_.end()) continue;
            std::printf("  %-28s %6.2fx\n", name.substr(0, slash).c_str(), portable / avx2->second);
        }
    }

  private:
    std::map<std::string, double> medians_;
};

template <class S>
void register_set(const std::string& set) {
    using Op = void (*)(benchmark::State&, Build);
    const std::pair<const char*, Op> ops[] = {
        {"keygen", keygen<S>}, {"encapsulate", encapsulate<S>}, {"decapsulate", decapsulate<S>}};
    std::vector<std::pair<const char*, Build>> builds{{"portable", Build::Portable}};
    if (tesvi::cpu::has_avx2()) builds.push_back({"avx2", Build::Avx2});
    for (const auto& [op, fn] : ops) {
        for (const auto& [build_name, build] : builds) {
            const std::string name = std::string(op) + "/" + set + "/" + build_name;
            benchmark::RegisterBenchmark(name.c_str(), fn, build)
                ->Repetitions(5)
                ->ReportAggregatesOnly(true)
                ->MinTime(0.2)
                ->Unit(benchmark::kMicrosecond);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    register_set<mlkem::MlKem512>("ML-KEM-512");
    register_set<mlkem::MlKem768>("ML-KEM-768");
    register_set<mlkem::MlKem1024>("ML-KEM-1024");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
