// Gate kernels against the machine's copy bandwidth, exact-road sampling, and
// noisy trajectories.
//
//   build/bench/simulator/simulator_bench                      # pool sized from the machine
//   RAYON_NUM_THREADS=8 build/bench/simulator/simulator_bench --benchmark_filter=Gate
//
// A gate pass reads and writes every amplitude once: 2 * 16 * 2^n bytes. The
// "copy_ratio" counter divides that rate by a plain copy of the same bytes
// measured in the same run with the same number of threads.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <map>

#include "quantum/circuit/circuit.hpp"
#include "quantum/simulator/pool.hpp"
#include "quantum/simulator/simulator.hpp"
#include "quantum/simulator/statevector.hpp"

namespace {

namespace sv = tesvi_quantum::simulator::statevector;
namespace pool = tesvi_quantum::simulator::pool;
namespace gate = tesvi_quantum::gate;
using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::complex::Complex;
using tesvi_quantum::noise::NoiseModel;
using tesvi_quantum::simulator::RandomStream;
using tesvi_quantum::simulator::Simulator;

// Bytes per second of copying `bytes` from one buffer to another, serially or on the pool.
double copy_rate(size_t bytes, bool parallel) {
    static std::map<std::pair<size_t, bool>, double> cache;
    auto key = std::make_pair(bytes, parallel);
    if (auto it = cache.find(key); it != cache.end()) return it->second;
    std::vector<char> src(bytes, 1), dst(bytes, 0);
    constexpr size_t CHUNK = size_t{1} << 20;
    const size_t chunks = bytes / CHUNK;
    auto copy = [&] {
        if (!parallel) return (void)std::memcpy(dst.data(), src.data(), bytes);
        pool::for_each_chunk(chunks, [&](size_t first, size_t last) {
            std::memcpy(dst.data() + first * CHUNK, src.data() + first * CHUNK,
                        (last - first) * CHUNK);
        });
    };
    copy();
    double best = 1e30;
    for (int rep = 0; rep < 5; ++rep) {
        const auto t0 = std::chrono::steady_clock::now();
        copy();
        benchmark::ClobberMemory();
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    // A copy moves its bytes twice too: one read, one write.
    return cache[key] = 2.0 * static_cast<double>(bytes) / best;
}

enum GateKind : int64_t { LowOneQubit, HighOneQubit, LowTwoQubit, HighTwoQubit };
const char* gate_label(int64_t g) {
    static const char* names[] = {"1q target 0", "1q target n-1", "2q (0,1)", "2q (n-2,n-1)"};
    return names[g];
}

template <bool Soa>
void BM_Gate(benchmark::State& state) {
    const uint64_t n = static_cast<uint64_t>(state.range(0));
    const auto kind = state.range(1);
    const bool parallel = state.range(2) != 0;
    const gate::Gate h = gate::h(), cx = gate::cnot();
    auto aos = Soa ? std::vector<Complex>{} : sv::zero_state(n).value();
    auto soa = Soa ? sv::zero_state_soa(n).value() : sv::StateVectorSoA{};
    auto apply = [&] {
        switch (kind) {
            case LowOneQubit:
                return Soa ? sv::apply_1q_soa(soa, 0, h, parallel)
                           : sv::apply_1q(aos, 0, h, parallel);
            case HighOneQubit:
                return Soa ? sv::apply_1q_soa(soa, n - 1, h, parallel)
                           : sv::apply_1q(aos, n - 1, h, parallel);
            case LowTwoQubit:
                return Soa ? sv::apply_2q_soa(soa, 0, 1, cx, parallel)
                           : sv::apply_2q(aos, 0, 1, cx, parallel);
            default:
                return Soa ? sv::apply_2q_soa(soa, n - 2, n - 1, cx, parallel)
                           : sv::apply_2q(aos, n - 2, n - 1, cx, parallel);
        }
    };
    apply();  // touch every page once before timing
    const double copy = copy_rate(size_t{16} << n, parallel);
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        apply();
        benchmark::ClobberMemory();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const double bytes = 2.0 * 16.0 * static_cast<double>(uint64_t{1} << n);
    const double rate = bytes * static_cast<double>(state.iterations()) / seconds;
    state.counters["workers"] = parallel ? static_cast<double>(pool::current_num_threads()) : 1.0;
    state.counters["gate_GBps"] = rate / 1e9;
    state.counters["copy_GBps"] = copy / 1e9;
    state.counters["copy_ratio"] = rate / copy;
    state.SetLabel(std::string(Soa ? "soa " : "aos ") + gate_label(kind));
}

void GateArgs(benchmark::internal::Benchmark* b) {
    for (int64_t n : {20, 24, 26})
        for (int64_t g : {LowOneQubit, HighOneQubit, LowTwoQubit, HighTwoQubit})
            for (int64_t par : {0, 1}) b->Args({n, g, par});
    b->ArgNames({"n", "gate", "parallel"})->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_Gate<false>)->Apply(GateArgs)->Name("Gate/aos");
BENCHMARK(BM_Gate<true>)->Apply(GateArgs)->Name("Gate/soa");

// One million exact-road shots of a 20-qubit state, evolution included.
void BM_ExactShots(benchmark::State& state) {
    auto c = Circuit::create(20).value();
    for (uint64_t q = 0; q < 20; ++q) c.h(q).value();
    for (uint64_t q = 0; q + 1 < 20; ++q) c.cnot(q, q + 1).value();
    c.measure_all().value();
    const Simulator sim{uint64_t{1}};
    for (auto _ : state) benchmark::DoNotOptimize(sim.run(c, 1000000));
    state.SetItemsProcessed(1000000 * state.iterations());
    state.SetLabel("1e6 shots, 20 qubits");
}
BENCHMARK(BM_ExactShots)->Unit(benchmark::kMillisecond)->UseRealTime();

// 1,000 noisy trajectory shots of a 10-qubit, 100-gate circuit.
void BM_NoisyTrajectories(benchmark::State& state) {
    auto c = Circuit::create(10).value();
    RandomStream rng = RandomStream::from_seed(3);
    for (int g = 0; g < 100; ++g) {
        const uint64_t a = rng.below(10), b = (a + 1 + rng.below(9)) % 10;
        if (g % 2)
            c.cnot(a, b).value();
        else
            c.ry(a, rng.uniform() * 3).value();
    }
    c.measure_all().value();
    const Simulator sim{uint64_t{1}, {}, NoiseModel::ibm_like()};
    for (auto _ : state) benchmark::DoNotOptimize(sim.run(c, 1000));
    state.counters["shots_per_s"] = benchmark::Counter(
        1000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_NoisyTrajectories)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
