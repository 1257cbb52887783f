// Exact-road sampling of one million shots from a uniform state, against the
// memory limit of a 24-qubit state (one streaming read-modify-write pass over
// 2^24 amplitudes, bench/simulator/limit.hpp) measured in the same run:
//
//   Sampling/draw   the draws, their sort and the search over ready running sums
//   Sampling/run    Simulator::run: evolution, running sums, draws and the count map
//   Sampling/evolve Simulator::statevector: the evolution alone, for reference
//
// The counter "limit_passes" is the median time divided by one limit pass.
// bench/simulator/sampling_dict.py adds the Python dict on top.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "bench/simulator/limit.hpp"
#include "quantum/circuit/circuit.hpp"
#include "quantum/simulator/simulator.hpp"

namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::simulator::RandomStream;
using tesvi_quantum::simulator::Simulator;

constexpr uint32_t SHOTS = 1000000;
constexpr uint64_t LIMIT_QUBITS = 24;

Circuit uniform(uint64_t n) {
    auto c = Circuit::create(n).value();
    for (uint64_t q = 0; q < n; ++q) c.h(q);
    return c;
}

double limit_pass() {
    return tesvi_bench::limit_seconds(size_t{16} << LIMIT_QUBITS, true);
}

template <class Body>
void timed(benchmark::State& state, const Body& body) {
    const double limit = limit_pass();
    double total = 0.0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        body();
        const double t =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(t);
        total += t;
    }
    state.counters["limit_ms"] = limit * 1e3;
    state.counters["limit_passes"] = total / static_cast<double>(state.iterations()) / limit;
}

void BM_Draw(benchmark::State& state) {
    const uint64_t n = static_cast<uint64_t>(state.range(0));
    std::vector<double> sums(uint64_t{1} << n);
    double sum = 0.0;
    for (double& s : sums) s = sum = sum + 1.0 / static_cast<double>(sums.size());
    uint64_t seed = 0;
    timed(state, [&] {
        RandomStream rng = RandomStream::from_seed(++seed);
        uint64_t total = 0;
        tesvi_quantum::simulator::sample_counts(sums, sums.size(), SHOTS, rng,
                                                [&](uint64_t, uint32_t k) { total += k; });
        benchmark::DoNotOptimize(total);
    });
}

void BM_Run(benchmark::State& state) {
    const Circuit c = uniform(static_cast<uint64_t>(state.range(0)));
    const Simulator sim{uint64_t{1}};
    timed(state, [&] { benchmark::DoNotOptimize(sim.run(c, SHOTS)); });
}

void BM_Evolve(benchmark::State& state) {
    const Circuit c = uniform(static_cast<uint64_t>(state.range(0)));
    const Simulator sim{uint64_t{1}};
    timed(state, [&] { benchmark::DoNotOptimize(sim.statevector(c)); });
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->ArgName("n")->Arg(20)->Arg(24)->Unit(benchmark::kMillisecond)->UseManualTime();
    b->Repetitions(5)->ReportAggregatesOnly(true);
}

BENCHMARK(BM_Draw)->Name("Sampling/draw")->Apply(Sizes);
BENCHMARK(BM_Run)->Name("Sampling/run")->Apply(Sizes);
BENCHMARK(BM_Evolve)->Name("Sampling/evolve")->Apply(Sizes);

// One limit pass alone, for scripts that relate their own timings to it.
void BM_Limit(benchmark::State& state) {
    for (auto _ : state) state.SetIterationTime(limit_pass());
}
BENCHMARK(BM_Limit)
    ->Name("Sampling/limit")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

}  // namespace
