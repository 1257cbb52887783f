// Gate kernels against the memory limit, exact-road sampling, and noisy
// trajectories.
//
//   build/bench/simulator/simulator_bench                      # pool sized from the machine
//   RAYON_NUM_THREADS=8 build/bench/simulator/simulator_bench --benchmark_filter=Gate
//
// The "passes" counter is a gate's time divided by one streaming in-place
// read-modify-write of the same bytes with the same workers (limit.hpp),
// measured in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/simulator/limit.hpp"
#include "quantum/circuit/circuit.hpp"
#include "quantum/simulator/pool.hpp"
#include "quantum/simulator/simulator.hpp"
#include "quantum/simulator/statevector.hpp"

namespace {

namespace sv = tesvi_quantum::simulator::statevector;
namespace pool = tesvi_quantum::simulator::pool;
namespace gate = tesvi_quantum::gate;
using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::circuit::Instruction;
using tesvi_quantum::complex::Complex;
using tesvi_quantum::noise::NoiseModel;
using tesvi_quantum::simulator::RandomStream;
using tesvi_quantum::simulator::Simulator;
using tesvi_quantum::simulator::StateArray;

// Gates on targets 0, n/2, n-1 and 6 (pairs starting there, the last one
// (n-2, n-1)). On target 6 an update's halves lie 1 KiB apart in interleaved
// storage and 512 B in split storage, within one page: the distances that
// the processor's prefetchers follow worst (a plain loop on one core takes
// two passes or more there).
enum GateKind : int64_t { OneQubit, TwoQubit };

uint64_t target(uint64_t n, int64_t where) {
    switch (where) {
        case 0:
            return 0;
        case 1:
            return n / 2;
        case 2:
            return n - 1;
        default:
            return 6;
    }
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Reports a time per iteration as passes of the limit over the same bytes.
void report_passes(benchmark::State& state, double seconds, uint64_t n, bool parallel) {
    // Measured beside each benchmark, not once per run: the machine's load moves.
    std::vector<double> buffer((size_t{16} << n) / sizeof(double), 1.0);
    const double limit = tesvi_bench::limit_seconds(buffer.data(), buffer.size(), parallel);
    state.counters["workers"] = parallel ? static_cast<double>(pool::current_num_threads()) : 1.0;
    state.counters["limit_ms"] = limit * 1e3;
    state.counters["passes"] = seconds / static_cast<double>(state.iterations()) / limit;
}

template <bool Soa>
void BM_Gate(benchmark::State& state) {
    const uint64_t n = static_cast<uint64_t>(state.range(0));
    const auto kind = state.range(1);
    const uint64_t t = target(n, state.range(2));
    const bool parallel = state.range(3) != 0;
    const uint64_t a = kind == OneQubit || t + 1 < n ? t : n - 2, b = a + 1;
    const gate::Gate h = gate::h(), cx = gate::cnot();
    auto aos = Soa ? StateArray<Complex>{} : sv::zero_state(n).value();
    auto soa = Soa ? sv::zero_state_soa(n).value() : sv::StateVectorSoA{};
    // Dense amplitudes with no zero part, as in the middle of a circuit: from
    // |0...0> a permutation would find nothing to change and skip its writes.
    for (uint64_t b = 0; b < (uint64_t{1} << n); ++b) {
        const uint64_t h = (b + 1) * 0x9E3779B97F4A7C15u;
        const Complex a{0.5 + static_cast<double>(h >> 61), 1.0 + static_cast<double>(h >> 62 & 1)};
        if (Soa)
            soa.re[b] = a.re, soa.im[b] = a.im;
        else
            aos[b] = a;
    }
    auto apply = [&] {
        if (kind == OneQubit)
            return Soa ? sv::apply_1q_soa(soa, t, h, parallel) : sv::apply_1q(aos, t, h, parallel);
        return Soa ? sv::apply_2q_soa(soa, a, b, cx, parallel)
                   : sv::apply_2q(aos, a, b, cx, parallel);
    };
    apply();  // touch every page once before timing
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        apply();
        benchmark::ClobberMemory();
        seconds += seconds_since(t0);
    }
    report_passes(state, seconds, n, parallel);
    state.SetLabel(std::string(Soa ? "soa " : "aos ") +
                   (kind == OneQubit
                        ? "H q" + std::to_string(t)
                        : "CNOT(" + std::to_string(a) + "," + std::to_string(b) + ")"));
}

// 28 qubits (4 GiB a state) only when TESVI_BENCH_28 is set.
std::vector<int64_t> sizes() {
    if (std::getenv("TESVI_BENCH_28")) return {24, 26, 28};
    return {24, 26};
}

void GateArgs(benchmark::internal::Benchmark* b) {
    for (int64_t n : sizes())
        for (int64_t g : {OneQubit, TwoQubit})
            for (int64_t where : {0, 1, 2, 3})
                for (int64_t par : {0, 1}) b->Args({n, g, where, par});
    b->ArgNames({"n", "gate", "target", "parallel"})->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_Gate<false>)->Apply(GateArgs)->Name("Gate/aos");
BENCHMARK(BM_Gate<true>)->Apply(GateArgs)->Name("Gate/soa");

// 24 qubits, 20 layers of (H on every qubit, CNOT chain): 940 gates.
Circuit layered_h_cnot() {
    auto c = Circuit::create(24).value();
    for (int layer = 0; layer < 20; ++layer) {
        for (uint64_t q = 0; q < 24; ++q) c.h(q).value();
        for (uint64_t q = 0; q + 1 < 24; ++q) c.cnot(q, q + 1).value();
    }
    return c;
}

// 26 qubits, 20 layers of a random rotation on every qubit and CZ or CNOT on 13 random pairs.
Circuit layered_rotations() {
    auto c = Circuit::create(26).value();
    RandomStream rng = RandomStream::from_seed(7);
    for (int layer = 0; layer < 20; ++layer) {
        for (uint64_t q = 0; q < 26; ++q) {
            const double angle = rng.uniform() * 6.28;
            switch (rng.below(3)) {
                case 0:
                    c.rx(q, angle).value();
                    break;
                case 1:
                    c.ry(q, angle).value();
                    break;
                default:
                    c.rz(q, angle).value();
            }
        }
        for (int p = 0; p < 13; ++p) {
            const uint64_t a = rng.below(26), b = (a + 1 + rng.below(25)) % 26;
            if (rng.below(2))
                c.cz(a, b).value();
            else
                c.cnot(a, b).value();
        }
    }
    return c;
}

// The whole evolution of a circuit, as time and as passes of the limit.
template <bool Soa>
void BM_Circuit(benchmark::State& state) {
    const Circuit c = state.range(0) == 0 ? layered_h_cnot() : layered_rotations();
    const uint64_t n = c.num_qubits();
    auto aos = Soa ? StateArray<Complex>{} : sv::zero_state(n).value();
    auto soa = Soa ? sv::zero_state_soa(n).value() : sv::StateVectorSoA{};
    const bool tiled = state.range(1) != 0;
    // The same gates one full pass each, for the ratio in this run.
    auto gate_by_gate = [&](const Instruction::Gate& g) {
        const uint64_t a = g.qubits[0], b = g.gate.num_qubits == 2 ? g.qubits[1] : 0;
        if (g.gate.num_qubits == 1)
            return Soa ? sv::apply_1q_soa(soa, a, g.gate, true)
                       : sv::apply_1q(aos, a, g.gate, true);
        return Soa ? sv::apply_2q_soa(soa, a, b, g.gate, true)
                   : sv::apply_2q(aos, a, b, g.gate, true);
    };
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!tiled) {
            for (const auto& ins : c.instructions())
                if (const auto* g = ins.get<Instruction::Gate>()) gate_by_gate(*g);
        } else if (Soa) {
            sv::apply_gate_sequence_soa(soa, c.instructions(), true);
        } else {
            sv::apply_gates(aos, c.instructions(), true);
        }
        benchmark::ClobberMemory();
        seconds += seconds_since(t0);
    }
    report_passes(state, seconds, n, true);
    state.counters["gates"] = static_cast<double>(c.instructions().size());
    state.SetLabel(std::string(Soa ? "soa " : "aos ") +
                   (state.range(0) == 0 ? "24q H+CNOT chain x20" : "26q rotations+CZ/CNOT x20") +
                   (tiled ? ", tiled" : ", gate by gate"));
}
BENCHMARK(BM_Circuit<false>)
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->ArgNames({"circuit", "tiled"})
    ->Name("Circuit/aos")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Circuit<true>)
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->ArgNames({"circuit", "tiled"})
    ->Name("Circuit/soa")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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
