// ML-KEM key generation, encapsulation and decapsulation at each parameter
// set. Key generation and encapsulation include their operating-system
// entropy request.
#include <benchmark/benchmark.h>

#include "crypto/pqc/mlkem/kem.hpp"

namespace {

namespace mlkem = tesvi_crypto::pqc::mlkem;

template <class S>
void BM_Keypair(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(S::keypair());
}

template <class S>
void BM_Encapsulate(benchmark::State& state) {
    const auto kp = S::keypair();
    for (auto _ : state) benchmark::DoNotOptimize(S::encapsulate(kp.public_key));
}

template <class S>
void BM_Decapsulate(benchmark::State& state) {
    const auto kp = S::keypair();
    const auto enc = S::encapsulate(kp.public_key);
    for (auto _ : state) benchmark::DoNotOptimize(S::decapsulate(enc.ciphertext, kp.secret_key));
}

BENCHMARK_TEMPLATE(BM_Keypair, mlkem::MlKem512);
BENCHMARK_TEMPLATE(BM_Keypair, mlkem::MlKem768);
BENCHMARK_TEMPLATE(BM_Keypair, mlkem::MlKem1024);
BENCHMARK_TEMPLATE(BM_Encapsulate, mlkem::MlKem512);
BENCHMARK_TEMPLATE(BM_Encapsulate, mlkem::MlKem768);
BENCHMARK_TEMPLATE(BM_Encapsulate, mlkem::MlKem1024);
BENCHMARK_TEMPLATE(BM_Decapsulate, mlkem::MlKem512);
BENCHMARK_TEMPLATE(BM_Decapsulate, mlkem::MlKem768);
BENCHMARK_TEMPLATE(BM_Decapsulate, mlkem::MlKem1024);

}  // namespace
