#include "quantum/algorithms/simon.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

namespace simon = tesvi_quantum::algorithms::simon;
using simon::Bits;
using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::circuit::Instruction;
using tesvi_quantum::noise::NoiseChannel;
using tesvi_quantum::simulator::Simulator;

Simulator ideal() {
    return Simulator{std::nullopt, {}, {}, true, false};
}

Bits bits(const std::string& s) {
    Bits b;
    for (char c : s) b.push_back(c == '1');
    return b;
}

std::vector<Bits> rows(std::initializer_list<const char*> texts) {
    std::vector<Bits> out;
    for (const char* t : texts) out.push_back(bits(t));
    return out;
}

// The definition solve_gf2 must agree with: the first a = 1, 2, ... whose bits
// give an even overlap with every row.
Bits first_solution_by_search(const std::vector<Bits>& rows, uint64_t n) {
    for (uint64_t a = 1; a < (uint64_t{1} << n); ++a) {
        bool ok = true;
        for (const Bits& r : rows) {
            bool parity = false;
            for (uint64_t i = 0; i < n && i < r.size(); ++i) parity ^= r[i] && ((a >> i) & 1);
            ok = ok && !parity;
        }
        if (ok) return simon::bits_from_index(a, n);
    }
    return Bits(n);
}

TEST(Simon, ExactPathFindsTheSecretFromNMinusOneRows) {
    for (const char* secret : {"1", "10", "01", "11", "011", "101", "111", "0001", "1101", "010110",
                               "1111111", "10000001"}) {
        SCOPED_TRACE(secret);
        const auto r = simon::simon_algorithm(bits(secret), ideal());
        ASSERT_TRUE(r.has_value()) << r.error().message();
        EXPECT_EQ(r->secret, bits(secret));
        EXPECT_EQ(r->iterations_needed, std::string(secret).size() - 1);
    }
}

TEST(Simon, Refusals) {
    struct Case {
        const char* name;
        Bits secret;
        std::string message;
    } cases[] = {
        {"empty", {}, "Simulation error: Simon's algorithm requires at least one input qubit"},
        {"all false", bits("000"), "Simulation error: Simon oracle secret must be non-zero"},
        {"65 bits", Bits(65, true), "Circuit exceeds maximum qubit count (130 > 128)"},
        {"30 bits: 60 qubits", Bits(30, true),
         "Insufficient memory for 60-qubit simulation (need 18446744073709551615 bytes)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = simon::simon_algorithm(c.secret, ideal());
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error().message(), c.message);
    }
}

TEST(Simon, SeededNoisyRunsRepeatOneOutcome) {
    // Every run restarts the same stream, so every single shot agrees and at
    // most one equation is ever collected.
    Simulator noisy = ideal();
    noisy.seed = 5;
    noisy.noise.single_qubit_channels.push_back(NoiseChannel::BitFlip(0.05));
    const auto a = simon::simon_algorithm(bits("0110"), noisy);
    const auto b = simon::simon_algorithm(bits("0110"), noisy);
    ASSERT_TRUE(a && b);
    EXPECT_LE(a->iterations_needed, 1u);
    EXPECT_EQ(a->secret, b->secret);
    EXPECT_EQ(a->iterations_needed, b->iterations_needed);
}

TEST(Simon, OracleGates) {
    auto c = Circuit::create(6).value();
    ASSERT_TRUE(simon::apply_hidden_xor_oracle(c, 0, 3, bits("011")).has_value());
    std::vector<std::vector<uint64_t>> pairs;
    for (const auto& ins : c.instructions()) {
        const auto* g = ins.get<Instruction::Gate>();
        ASSERT_NE(g, nullptr);
        EXPECT_EQ(g->gate.name, "CNOT");
        pairs.push_back(g->qubits);
    }
    // Output qubit 4, the partner of the first set bit, gets no gate.
    EXPECT_EQ(pairs, (std::vector<std::vector<uint64_t>>{{0, 3}, {2, 5}, {1, 5}}));
}

TEST(Simon, OracleFailuresKeepTheGatesBefore) {
    auto c = Circuit::create(4).value();
    const auto r = simon::apply_hidden_xor_oracle(c, 0, 2, bits("111"));
    ASSERT_FALSE(r.has_value());
    // j = 1 appends CNOT(1, 3) and CNOT(0, 3); j = 2 would need qubit 4.
    EXPECT_EQ(r.error().message(), "Qubit index 4 out of range (circuit has 4 qubits)");
    EXPECT_EQ(c.instructions().size(), 2u);

    auto d = Circuit::create(4).value();
    const auto wrapped = simon::apply_hidden_xor_oracle(d, UINT64_MAX, 0, bits("11"));
    ASSERT_FALSE(wrapped.has_value());
    EXPECT_TRUE(d.instructions().empty());  // no offset wraps round onto a real qubit
}

TEST(Simon, InputRegisterProbabilitiesSumOverTheOutputRegister) {
    auto c = Circuit::create(3).value();
    (void)c.h(0);
    (void)c.x(2);
    (void)c.h(2);
    const auto p = simon::input_register_probabilities(c, 2, ideal());
    ASSERT_TRUE(p.has_value());
    ASSERT_EQ(p->size(), 4u);
    EXPECT_NEAR((*p)[0], 0.5, 1e-15);
    EXPECT_NEAR((*p)[1], 0.5, 1e-15);
    EXPECT_EQ((*p)[2], 0.0);
    EXPECT_EQ((*p)[3], 0.0);

    const auto wide = simon::input_register_probabilities(c, 4, ideal());
    ASSERT_FALSE(wide.has_value());
    EXPECT_EQ(wide.error().message(), "Qubit index 3 out of range (circuit has 3 qubits)");
}

TEST(Simon, BitConversions) {
    EXPECT_EQ(simon::bits_from_index(6, 4), bits("0110"));
    EXPECT_EQ(simon::bits_from_index(UINT64_MAX, 66), bits(std::string(64, '1') + "00"));
    EXPECT_EQ(simon::bits_from_state("0110", 4), bits("0110"));
    EXPECT_EQ(simon::bits_from_state("011", 4), bits("011"));
    EXPECT_EQ(simon::bits_from_state("01x1", 3), bits("010"));
}

TEST(Simon, RankOverGf2) {
    struct Case {
        std::vector<Bits> rows;
        uint64_t n;
        uint64_t rank;
    } cases[] = {
        {{}, 3, 0},
        {rows({"11", "11"}), 2, 1},
        {rows({"110", "011", "101"}), 3, 2},
        {rows({"100", "010", "001", "111"}), 3, 3},
        {rows({"01", "10"}), 1, 1},  // only column 0 counts
        {rows({"1", "01"}), 2, 2},   // a short row reads as zeros
    };
    for (const auto& c : cases) EXPECT_EQ(simon::gf2_rank(c.rows, c.n), c.rank);
    const auto twice = rows({"11", "11"});
    EXPECT_TRUE(simon::increases_rank(twice, bits("01"), 2));
    EXPECT_FALSE(simon::increases_rank(twice, bits("11"), 2));
    EXPECT_FALSE(simon::increases_rank(twice, bits("00"), 2));
}

TEST(Simon, SolveGf2KnownSystems) {
    struct Case {
        std::vector<Bits> rows;
        uint64_t n;
        Bits solution;
    } cases[] = {
        {rows({"110", "001"}), 3, bits("110")},        {{}, 3, bits("100")},          {{}, 0, {}},
        {rows({"100", "010", "001"}), 3, bits("000")}, {rows({"10"}), 2, bits("01")},
    };
    for (const auto& c : cases) EXPECT_EQ(simon::solve_gf2(c.rows, c.n), c.solution);
}

TEST(Simon, SolveGf2AgreesWithExhaustiveSearch) {
    uint64_t state = 0x9E3779B97F4A7C15ULL;
    const auto next = [&] {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        return state;
    };
    for (int trial = 0; trial < 3000; ++trial) {
        const uint64_t n = 1 + next() % 8;
        std::vector<Bits> system;
        for (uint64_t r = next() % (n + 2); r > 0; --r)
            system.push_back(simon::bits_from_index(next(), n - next() % 2 * (next() % n)));
        ASSERT_EQ(simon::solve_gf2(system, n), first_solution_by_search(system, n))
            << "trial " << trial;
    }
}

TEST(Simon, SolveGf2HandlesWideMasks) {
    // The n - 1 equations of a 64-bit mask: every y with y . s = 0 among the
    // unit vectors and the pairs e_i + e_top, where s has its top bit set.
    const uint64_t n = 64;
    Bits secret = simon::bits_from_index(0xF00D0000CAFE0001ULL, n);
    std::vector<Bits> system;
    for (uint64_t i = 0; i + 1 < n; ++i) {
        Bits y(n);
        y[i] = true;
        if (secret[i]) y[n - 1] = true;
        system.push_back(y);
    }
    EXPECT_EQ(simon::solve_gf2(system, n), secret);
}

}  // namespace
