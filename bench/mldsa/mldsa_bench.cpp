// ML-DSA-65 key generation, signing and verification of a 64-byte message.
// Signing time varies with the message: the number of rejected attempts does.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "crypto/pqc/mldsa/api.hpp"

namespace {

namespace mldsa = tesvi_crypto::pqc::mldsa65;

const std::vector<uint8_t> message(64, 0x42);

void BM_Keypair(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(mldsa::keypair());
}
BENCHMARK(BM_Keypair);

// Averages over many messages so the count of signing attempts evens out.
void BM_Sign(benchmark::State& state) {
    const mldsa::Keypair kp = mldsa::keypair();
    std::vector<uint8_t> msg = message;
    uint32_t counter = 0;
    for (auto _ : state) {
        msg[0] = static_cast<uint8_t>(counter), msg[1] = static_cast<uint8_t>(counter++ >> 8);
        benchmark::DoNotOptimize(mldsa::detached_sign(msg, kp.secret_key));
    }
}
BENCHMARK(BM_Sign);

void BM_Verify(benchmark::State& state) {
    const mldsa::Keypair kp = mldsa::keypair();
    const mldsa::DetachedSignature sig = mldsa::detached_sign(message, kp.secret_key);
    for (auto _ : state)
        benchmark::DoNotOptimize(mldsa::verify_detached_signature(sig, message, kp.public_key));
}
BENCHMARK(BM_Verify);

}  // namespace
