// The fast engine (vector kernels, update-index scheduling, cache tiles) must
// give exactly the bits of the plain gate-by-gate chunk loops, in both
// storages and for any worker count.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "common/interrupt.hpp"
#include "common/memory.hpp"
#include "quantum/circuit/circuit.hpp"
#include "quantum/simulator/pool.hpp"
#include "quantum/simulator/random_stream.hpp"
#include "quantum/simulator/statevector.hpp"

namespace {

namespace sv = tesvi_quantum::simulator::statevector;
namespace gate = tesvi_quantum::gate;
using tesvi_quantum::circuit::Instruction;
using tesvi_quantum::complex::Complex;
using tesvi_quantum::simulator::RandomStream;
using tesvi_quantum::simulator::StateArray;

constexpr double SUBNORMAL = 4.9e-320;

// Random values with exact 0, -0, 1, -1 mixed in, and one subnormal in
// `rare` draws: each operation on a subnormal costs the processor a slow
// assist, so large states carry them sparsely.
double awkward(RandomStream& rng, uint64_t rare) {
    if (rng.below(rare) == 0) return rng.below(2) ? SUBNORMAL : -SUBNORMAL;
    switch (rng.below(8)) {
        case 0:
            return 0.0;
        case 1:
            return -0.0;
        case 2:
            return 1.0;
        case 3:
            return -1.0;
        default:
            return rng.uniform() * 2 - 1;
    }
}

Complex awkward_complex(RandomStream& rng, uint64_t rare) {
    return {awkward(rng, rare), awkward(rng, rare)};
}

// A gate of each kind: unitary (H, X, CNOT, SWAP, S, Y, CZ, CY, U3, Rzz),
// matrices of exact 0/1/-0 entries, and random non-unitary ones.
gate::Gate random_gate(RandomStream& rng, uint64_t width, uint64_t rare) {
    gate::Gate g = width == 1 ? gate::h() : gate::cnot();
    switch (rng.below(5)) {
        case 0:
            if (rng.below(2)) g = width == 1 ? gate::x() : gate::swap();
            break;
        case 1:
            g = width == 1 ? gate::u3(rng.uniform() * 6, rng.uniform(), 2.0)
                           : gate::rzz(rng.uniform() * 3);
            break;
        case 2:  // monomials with turns: entries i, -1, -i
            if (width == 1)
                g = rng.below(2) ? gate::s() : gate::y();
            else
                g = rng.below(2) ? gate::cz() : gate::cy();
            break;
        case 3:
            for (auto& e : g.matrix) e = {rng.below(2) ? 0.0 : -0.0, rng.below(3) ? 0.0 : -0.0};
            for (uint64_t r = 0; r < (uint64_t{1} << width); ++r)
                g.matrix[r * ((uint64_t{1} << width) + 1)] = {1.0, rng.below(2) ? 0.0 : -0.0};
            break;
        default:
            for (auto& e : g.matrix) e = awkward_complex(rng, rare);
            break;
    }
    return g;
}

// A gate on every target in turn, then random gates, half of them on the
// lowest qubits so that runs of tile-sized gates form.
std::vector<Instruction> random_circuit(uint64_t n, size_t extra, uint64_t seed) {
    RandomStream rng = RandomStream::from_seed(seed);
    const uint64_t rare = n <= 16 ? 8 : uint64_t{1} << 40;
    std::vector<Instruction> out;
    auto qubit = [&] { return rng.below(2) ? rng.below(std::min<uint64_t>(n, 6)) : rng.below(n); };
    for (uint64_t t = 0; t < n; ++t)
        out.push_back(Instruction::Gate{random_gate(rng, 1, rare), {t}});
    for (size_t i = 0; i < extra; ++i) {
        const uint64_t a = qubit();
        uint64_t b = qubit();
        if (rng.below(2) || a == b) {
            out.push_back(Instruction::Gate{random_gate(rng, 1, rare), {a}});
            if (a == b) continue;
        }
        out.push_back(Instruction::Gate{random_gate(rng, 2, rare), {a, b}});
    }
    out.push_back(Instruction::Measure{0, 0});
    out.push_back(Instruction::Gate{random_gate(rng, 2, rare), {n - 1, 0}});
    return out;
}

StateArray<Complex> awkward_state(uint64_t n, uint64_t seed) {
    RandomStream rng = RandomStream::from_seed(seed);
    StateArray<Complex> s(uint64_t{1} << n);
    for (auto& a : s) a = awkward_complex(rng, 4096);
    return s;
}

sv::StateVectorSoA split(const StateArray<Complex>& s) {
    sv::StateVectorSoA out{StateArray<double>(s.size()), StateArray<double>(s.size())};
    for (size_t b = 0; b < s.size(); ++b) out.re[b] = s[b].re, out.im[b] = s[b].im;
    return out;
}

// The plain reference: every gate in order, chunk by chunk, through the block loops.
void reference(StateArray<Complex>& s, sv::StateVectorSoA& soa,
               const std::vector<Instruction>& circuit) {
    for (const auto& ins : circuit) {
        const auto* g = ins.get<Instruction::Gate>();
        if (!g) continue;
        const uint64_t top =
            g->gate.num_qubits == 1 ? g->qubits[0] : std::max(g->qubits[0], g->qubits[1]);
        const uint64_t chunk = uint64_t{2} << top;
        for (uint64_t j = 0; j < s.size() / chunk; ++j) {
            Complex* x = s.data() + j * chunk;
            double *re = soa.re.data() + j * chunk, *im = soa.im.data() + j * chunk;
            if (g->gate.num_qubits == 1) {
                sv::apply_1q_block(x, chunk / 2, g->gate);
                sv::apply_1q_block_soa(re, im, chunk / 2, g->gate);
            } else {
                sv::apply_2q_block(x, g->qubits[0], g->qubits[1], g->gate);
                sv::apply_2q_block_soa(re, im, g->qubits[0], g->qubits[1], g->gate);
            }
        }
    }
}

bool same_bits(const StateArray<double>& a, const StateArray<double>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

bool same_bits(const StateArray<Complex>& a, const StateArray<Complex>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Complex)) == 0;
}

// Every fast road from `start`, compared with the reference: the whole list
// (tiled) and gate by gate, both storages, parallel on and off.
bool fast_roads_match(const StateArray<Complex>& start, const std::vector<Instruction>& circuit,
                      const StateArray<Complex>& want, const sv::StateVectorSoA& want_soa) {
    bool ok = true;
    for (bool parallel : {true, false}) {
        auto s = start;
        sv::apply_gates(s, circuit, parallel);
        ok = ok && same_bits(s, want);
        s = start;
        for (const auto& ins : circuit)
            if (const auto* g = ins.get<Instruction::Gate>())
                sv::apply_gate(s, g->qubits, g->gate, parallel);
        ok = ok && same_bits(s, want);
        s = {};
        auto soa = split(start);
        sv::apply_gate_sequence_soa(soa, circuit, parallel);
        ok = ok && same_bits(soa.re, want_soa.re) && same_bits(soa.im, want_soa.im);
    }
    return ok;
}

struct Case {
    uint64_t qubits;
    size_t extra_gates;
};

class Engine : public ::testing::TestWithParam<uint64_t> {};

TEST_P(Engine, EveryRoadGivesThePlainLoopsBits) {
    // The pool is sized once per process, so each worker count runs in a child process.
    const uint64_t workers = GetParam();
    for (const Case c : {Case{16, 200}, Case{20, 60}, Case{22, 30}}) {
        const auto circuit = random_circuit(c.qubits, c.extra_gates, c.qubits * 7 + 1);
        const auto start = awkward_state(c.qubits, c.qubits);
        auto want = start;
        auto want_soa = split(start);
        reference(want, want_soa, circuit);
        EXPECT_EXIT(
            {
                setenv("RAYON_NUM_THREADS", std::to_string(workers).c_str(), 1);
                const bool same = fast_roads_match(start, circuit, want, want_soa);
                const bool sized = tesvi_quantum::simulator::pool::current_num_threads() == workers;
                std::exit(same && sized ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << c.qubits << " qubits, " << workers << " workers";
    }
}

INSTANTIATE_TEST_SUITE_P(Pool, Engine, ::testing::Values(1, 3, 8));

// Real gates on a real state (every imaginary part +0): H, X, Z, Ry,
// CNOT, SWAP, CZ and random real matrices, whose entries may carry -0
// imaginary parts.
std::vector<Instruction> real_circuit(uint64_t n, int count, RandomStream& rng) {
    const double entries[] = {0.0, -0.0, 1.0, -1.0, 0.6, -0.8};
    std::vector<Instruction> out;
    for (int i = 0; i < count; ++i) {
        const uint64_t a = rng.below(2) ? rng.below(std::min<uint64_t>(n, 6)) : rng.below(n);
        const uint64_t b = (a + 1 + rng.below(n - 1)) % n;
        const bool two = rng.below(2) == 0;
        gate::Gate g = two ? gate::cnot() : gate::h();
        switch (rng.below(5)) {
            case 0:
                if (rng.below(2)) g = two ? gate::swap() : gate::x();
                break;
            case 1:
                g = two ? gate::cz() : gate::z();
                break;
            case 2:
                if (!two) g = gate::ry(rng.uniform() * 6);
                break;
            case 3:
                for (auto& e : g.matrix) e = {entries[rng.below(6)], rng.below(4) ? 0.0 : -0.0};
                break;
        }
        out.push_back(two ? Instruction::Gate{g, {a, b}} : Instruction::Gate{g, {a}});
    }
    return out;
}

// Layers of H on every qubit and a CNOT chain, or chains alone.
std::vector<Instruction> layers(uint64_t n, int count, bool with_h) {
    std::vector<Instruction> out;
    for (int l = 0; l < count; ++l) {
        if (with_h)
            for (uint64_t q = 0; q < n; ++q) out.push_back(Instruction::Gate{gate::h(), {q}});
        for (uint64_t q = 0; q + 1 < n; ++q)
            out.push_back(Instruction::Gate{gate::cnot(), {q, q + 1}});
    }
    return out;
}

// Whether every fast road gives the reference's bits with the pool sized
// to each worker count (in a child process each: the pool is sized once).
void expect_fast_roads_match(const StateArray<Complex>& start,
                             const std::vector<Instruction>& circuit) {
    auto want = start;
    auto want_soa = split(start);
    reference(want, want_soa, circuit);
    for (const uint64_t workers : {1, 3, 8})
        EXPECT_EXIT(
            {
                setenv("RAYON_NUM_THREADS", std::to_string(workers).c_str(), 1);
                std::exit(fast_roads_match(start, circuit, want, want_soa) ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << circuit.size() << " gates, " << workers << " workers";
}

// The engine finds a real state after a run and then runs gates that keep
// it real on the real parts alone. Every way off that road must keep the
// bits too: a row of negative entries (whose zeros may come out -0), a
// complex gate and its inverse, and (in a circuit of its own, since NaN
// would hide what came before) a part that is not finite, in the middle of
// a run.
TEST(Engine, RealStatesKeepThePlainLoopsBits) {
    gate::Gate negative_row = gate::h(), overflow = gate::h();
    negative_row.matrix = {{-1.0, 0.0}, {-0.5, 0.0}, {0.3, 0.0}, {0.2, 0.0}};
    for (auto& e : overflow.matrix) e = {1e308, 0.0};
    for (const uint64_t n : {uint64_t{16}, uint64_t{20}}) {
        RandomStream rng = RandomStream::from_seed(n + 40);
        auto start = awkward_state(n, n + 41);
        for (auto& a : start) a.im = 0.0;
        auto real = [&](int count) { return real_circuit(n, count, rng); };
        auto one = [](const gate::Gate& g, uint64_t q) {
            return std::vector<Instruction>{Instruction::Gate{g, {q}}};
        };
        const std::vector<std::vector<Instruction>> parts[] = {
            {real(120), one(negative_row, n / 2), real(60), one(gate::s(), 1), one(gate::sdg(), 1),
             real(60)},
            {real(60), one(overflow, 2), real(6)}};
        for (const auto& pieces : parts) {
            std::vector<Instruction> circuit;
            for (const auto& piece : pieces)
                circuit.insert(circuit.end(), piece.begin(), piece.end());
            expect_fast_roads_match(start, circuit);
        }
    }
}

// Long real stretches, where interleaved storage packs its real parts into
// split storage in its own array. It must unpack them bit for bit: where the
// state is real, ahead of a run that may make it complex, and where a part
// that is not finite made it complex inside a packed run: everywhere (after
// H layers every tile meets one), or in one tile, whose neighbours keep the
// +0 imaginary parts packing wrote (after chains, which only move the one
// large part).
TEST(Engine, PackedRealStatesKeepThePlainLoopsBits) {
    gate::Gate negative_row = gate::h(), overflow = gate::h();
    negative_row.matrix = {{-1.0, 0.0}, {-0.5, 0.0}, {0.3, 0.0}, {0.2, 0.0}};
    for (auto& e : overflow.matrix) e = {1e308, 0.0};
    const uint64_t n = 18;
    auto one = [](const gate::Gate& g, uint64_t q) {
        return std::vector<Instruction>{Instruction::Gate{g, {q}}};
    };
    auto awkward_real = awkward_state(n, 18);
    for (auto& a : awkward_real) a.im = 0.0;
    auto one_large = awkward_real;
    for (auto& a : one_large) a.re *= 1e-3;
    one_large[12345].re = 2.0;  // 1e308 * 2 overflows, 1e308 * 1e-3 does not
    struct Case {
        const StateArray<Complex>& start;
        std::vector<std::vector<Instruction>> pieces;
    };
    const Case cases[] = {
        {awkward_real, {layers(n, 4, true), one(negative_row, 9), layers(n, 4, true)}},
        {awkward_real, {layers(n, 3, true), one(overflow, 9), one(gate::x(), 0)}},
        {one_large, {layers(n, 12, false), one(overflow, 9), one(gate::x(), 0)}}};
    for (const Case& c : cases) {
        std::vector<Instruction> circuit;
        for (const auto& piece : c.pieces)
            circuit.insert(circuit.end(), piece.begin(), piece.end());
        expect_fast_roads_match(c.start, circuit);
    }
}

// Interrupted between two runs, a packed state is unpacked on the way out:
// it is the state some first gates of the list make.
TEST(Engine, InterruptedPackedStatesAreUnpacked) {
    const uint64_t n = 18;
    const auto circuit = layers(n, 8, true);
    auto start = awkward_state(n, 19);
    for (auto& a : start) a.im = 0.0;
    EXPECT_EXIT(
        {
            static int polls = 0;
            tesvi::interrupt::install([] { return ++polls == 12; });
            auto s = start;
            bool interrupted = false;
            try {
                sv::apply_gates(s, circuit, true);
            } catch (const tesvi::interrupt::Interrupted&) {
                interrupted = true;
            }
            tesvi::interrupt::install(nullptr);
            auto want = start;
            auto want_soa = split(start);
            bool same = same_bits(want, s);
            for (size_t k = 0; k < circuit.size() && !same; ++k) {
                reference(want, want_soa, {circuit[k]});
                same = same_bits(want, s);
            }
            std::exit(interrupted && same ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// At the top size a few gates on the highest qubits, where a gate's single
// chunk is split among the workers, and a run that gathers high qubits into a tile.
TEST(Engine, TopQubitsOfALargeRegister) {
    const uint64_t n = 24;
    std::vector<Instruction> circuit;
    RandomStream rng = RandomStream::from_seed(26);
    const uint64_t rare = uint64_t{1} << 40;
    for (uint64_t q : {n - 1, n - 2, uint64_t{0}, n - 1})
        circuit.push_back(Instruction::Gate{random_gate(rng, 1, rare), {q}});
    circuit.push_back(Instruction::Gate{random_gate(rng, 2, rare), {n - 1, n - 2}});
    circuit.push_back(Instruction::Gate{random_gate(rng, 2, rare), {1, n - 1}});
    const auto start = awkward_state(n, 5);
    auto want = start;
    auto want_soa = split(start);
    reference(want, want_soa, circuit);
    // In a child, so the pool this starts is not the one the worker-count tests size.
    EXPECT_EXIT(std::exit(fast_roads_match(start, circuit, want, want_soa) ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
}

// The largest register the engine is checked at: every target of 26 qubits,
// in both storages, with the pool and without. About 5 GiB, so not under
// AddressSanitizer, whose shadow and quarantine would double it, nor where
// the memory is not there.
TEST(Engine, TwentySixQubits) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "too large for the sanitizer build";
#endif
    if (tesvi::available_memory() < (uint64_t{6} << 30)) GTEST_SKIP() << "needs 6 GiB";
    const uint64_t n = 26;
    const auto circuit = random_circuit(n, 6, 261);
    const auto start = awkward_state(n, 26);
    auto want = start;
    auto want_soa = split(start);
    reference(want, want_soa, circuit);
    EXPECT_TRUE(fast_roads_match(start, circuit, want, want_soa));
}

}  // namespace
