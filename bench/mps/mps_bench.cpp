// The matrix-product-state road: gate application with its decompositions,
// shot sampling, dense expansion, and whole runs through the facade.
//
//   build/bench/mps/mps_bench
//   build/bench/mps/mps_bench --benchmark_filter=Brickwork
//
// A brickwork layer is Ry/Rz on every qubit, then CNOTs on (0,1), (2,3), ...
// and (1,2), (3,4), ...; each layer can double the middle bonds until the
// bond limit caps them, so deeper circuits truncate.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "quantum/circuit/circuit.hpp"
#include "quantum/simulator/mps.hpp"
#include "quantum/simulator/simulator.hpp"

namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::simulator::Backend;
using tesvi_quantum::simulator::RandomStream;
using tesvi_quantum::simulator::Simulator;
using tesvi_quantum::simulator::mps::MPSSimulator;

Circuit ghz(uint64_t n) {
    Circuit c = Circuit::create(n).value();
    c.h(0);
    for (uint64_t q = 1; q < n; ++q) c.cnot(q - 1, q);
    c.measure_all();
    return c;
}

Circuit brickwork(uint64_t n, int layers) {
    Circuit c = Circuit::create(n).value();
    for (int layer = 0; layer < layers; ++layer) {
        for (uint64_t q = 0; q < n; ++q)
            c.ry(q, 0.3 + 0.1 * q + layer), c.rz(q, 0.7 * layer + 0.05 * q);
        for (uint64_t q = 0; q + 1 < n; q += 2) c.cnot(q, q + 1);
        for (uint64_t q = 1; q + 1 < n; q += 2) c.cnot(q, q + 1);
    }
    return c;
}

MPSSimulator evolved(const Circuit& c, uint64_t bond) {
    MPSSimulator chain(c.num_qubits(), bond);
    if (!chain.apply_instructions(c.instructions())) throw std::runtime_error("apply failed");
    return chain;
}

void report_chain(benchmark::State& state, const MPSSimulator& chain) {
    uint64_t widest = 0;
    for (const auto& t : chain.tensors) widest = std::max(widest, t.right_dim);
    state.counters["max_bond"] = static_cast<double>(widest);
    state.counters["truncation_error"] = chain.truncation_error;
}

// A 40-qubit GHZ run, bond limit 64: chain build plus sampling.
void BM_GhzRun(benchmark::State& state) {
    const Circuit c = ghz(40);
    const Simulator sim{1, Backend::Mps{64}, {}, true, false};
    const auto shots = static_cast<uint32_t>(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(sim.run(c, shots));
    state.SetItemsProcessed(state.iterations() * shots);
}
BENCHMARK(BM_GhzRun)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Gate application on 40 qubits, bond limit 64, by depth.
void BM_BrickworkApply(benchmark::State& state) {
    const Circuit c = brickwork(40, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        MPSSimulator chain = evolved(c, 64);
        benchmark::DoNotOptimize(chain.tensors.data());
    }
    report_chain(state, evolved(c, 64));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(c.instructions().size()));
}
BENCHMARK(BM_BrickworkApply)->Arg(2)->Arg(4)->Arg(8)->Arg(16)->Unit(benchmark::kMillisecond);

// Sampling a 40-qubit chain whose middle bonds sit at the limit.
void BM_Sampling(benchmark::State& state) {
    const MPSSimulator chain = evolved(brickwork(40, 8), static_cast<uint64_t>(state.range(0)));
    for (auto _ : state) {
        RandomStream rng = RandomStream::from_seed(7);
        benchmark::DoNotOptimize(chain.measure(1000, rng));
    }
    report_chain(state, chain);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_Sampling)->Arg(8)->Arg(64)->Unit(benchmark::kMillisecond);

// The dense expansion of a 20-qubit chain through the facade.
void BM_DenseStatevector(benchmark::State& state) {
    const Circuit c = brickwork(20, static_cast<int>(state.range(0)));
    const Simulator sim{1, Backend::Mps{64}, {}, true, false};
    for (auto _ : state) benchmark::DoNotOptimize(sim.statevector(c));
    report_chain(state, evolved(c, 64));
}
BENCHMARK(BM_DenseStatevector)->Arg(1)->Arg(6)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
