#include "quantum/algorithms/qpe.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

namespace qpe = tesvi_quantum::algorithms::qpe;
namespace gate = tesvi_quantum::gate;
using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::complex::Complex;
using tesvi_quantum::gate::Gate;
using tesvi_quantum::noise::NoiseChannel;
using tesvi_quantum::noise::NoiseModel;
using tesvi_quantum::simulator::Simulator;

Simulator ideal(std::optional<uint64_t> seed = std::nullopt) {
    return Simulator{seed, {}, {}, true, false};
}

// The eigenstate qubit is the highest one: precision_bits.
qpe::PrepareEigenstate on_top(uint64_t bits, std::vector<std::string> gates) {
    return [=](Circuit& c) {
        for (const auto& g : gates) (void)(g == "x" ? c.x(bits) : c.h(bits));
    };
}

// diag(1, e^(2 pi i f)): its |1> eigenphase is f turns.
Gate phase_gate(double f) {
    const double a = gate::TWO_PI * f;
    return Gate::single("P", {{1, 0}, {0, 0}, {0, 0}, {std::cos(a), std::sin(a)}});
}

TEST(PhaseEstimation, QuantisesTheEigenphase) {
    struct Case {
        const char* name;
        Gate unitary;
        std::vector<std::string> preparation;
        uint64_t bits;
        double phase;
        uint64_t measured;
    } cases[] = {
        {"S, 3 bits", gate::s(), {"x"}, 3, 0.25, 2},
        {"S, 1 bit: 0.5 rounds away from zero", gate::s(), {"x"}, 1, 0.5, 1},
        {"T, 3 bits", gate::t(), {"x"}, 3, 0.125, 1},
        {"T, 10 bits", gate::t(), {"x"}, 10, 0.125, 128},
        {"T, 2 bits: 0.5 step rounds up", gate::t(), {"x"}, 2, 0.25, 1},
        {"Z, 1 bit", gate::z(), {"x"}, 1, 0.5, 1},
        {"Z, 4 bits", gate::z(), {"x"}, 4, 0.5, 8},
        {"X on |+>", gate::x(), {"h"}, 3, 0.0, 0},
        {"X on |->", gate::x(), {"x", "h"}, 3, 0.5, 4},
        {"identity on |0>", Gate::single("I", {{1, 0}, {0, 0}, {0, 0}, {1, 0}}), {}, 3, 0.0, 0},
        {"negative angle -1/4 turn is 3/4", phase_gate(-0.25), {"x"}, 3, 0.75, 6},
        {"just below a full turn counts as 0", phase_gate(1.0 - 1e-13), {"x"}, 8, 0.0, 0},
        {"within half a step of 1 wraps to 0", phase_gate(1.0 - 1.0 / 32), {"x"}, 3, 0.0, 0},
        {"just under half a step stays", phase_gate(1.0 - 1.0 / 15), {"x"}, 3, 0.875, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = qpe::quantum_phase_estimation(c.unitary, on_top(c.bits, c.preparation),
                                                     c.bits, 1024, ideal());
        ASSERT_TRUE(r.has_value()) << r.error().message();
        EXPECT_EQ(r->phase, c.phase);
        EXPECT_EQ(r->measured_value, c.measured);
        EXPECT_EQ(r->precision_bits, c.bits);
        ASSERT_EQ(r->counts.size(), 1u);
        EXPECT_EQ(r->counts.at(c.measured), 1024u);
    }
}

TEST(PhaseEstimation, ShotsOnlyFillTheCountAndTheSeedChangesNothing) {
    const auto a = qpe::quantum_phase_estimation(gate::s(), on_top(4, {"x"}), 4, 0, ideal(1));
    const auto b = qpe::quantum_phase_estimation(gate::s(), on_top(4, {"x"}), 4, 0, ideal(99));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->counts.at(4), 0u);
    EXPECT_EQ(a->phase, b->phase);
    EXPECT_EQ(a->measured_value, b->measured_value);
}

TEST(PhaseEstimation, Refusals) {
    Simulator noisy = ideal(1);
    noisy.noise.single_qubit_channels.push_back(NoiseChannel::Depolarizing(0.1));
    const auto measure_then_gate = [](Circuit& c) {
        (void)c.measure(0);
        (void)c.x(1);
    };
    struct Case {
        const char* name;
        Gate unitary;
        qpe::PrepareEigenstate prepare;
        uint64_t bits;
        Simulator simulator;
        std::string message;
    } cases[] = {
        {"no precision qubit", gate::s(), on_top(0, {"x"}), 0, ideal(),
         "Simulation error: QPE requires at least one precision qubit"},
        {"zero bits is checked before the width", gate::cnot(), on_top(0, {}), 0, ideal(),
         "Simulation error: QPE requires at least one precision qubit"},
        {"two-qubit unitary", gate::cnot(), on_top(3, {}), 3, ideal(),
         "Simulation error: QPE currently supports only single-qubit unitaries"},
        {"129 qubits", gate::s(), on_top(128, {}), 128, ideal(),
         "Circuit exceeds maximum qubit count (129 > 128)"},
        {"the register size saturates", gate::s(), on_top(0, {}), UINT64_MAX, ideal(),
         "Circuit exceeds maximum qubit count (18446744073709551615 > 128)"},
        {"60 qubits cannot be allocated", gate::s(), on_top(59, {}), 59, ideal(),
         "Insufficient memory for 60-qubit simulation (need 18446744073709551615 bytes)"},
        {"the eigenstate lies elsewhere", gate::s(), [](Circuit& c) { (void)c.x(0); }, 3, ideal(),
         "Simulation error: eigenstate preparation produced a near-zero reference amplitude"},
        {"|+> is no eigenstate of S", gate::s(), on_top(3, {"h"}), 3, ideal(),
         "Simulation error: provided state is not an eigenstate of the supplied unitary"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = qpe::quantum_phase_estimation(c.unitary, c.prepare, c.bits, 8, c.simulator);
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error().message(), c.message);
    }

    // The simulator's own refusals come back unchanged.
    for (const auto& [sim, prepare] :
         {std::pair{noisy, on_top(2, {"x"})},
          std::pair{ideal(), qpe::PrepareEigenstate(measure_then_gate)}}) {
        auto circuit = Circuit::create(3).value();
        prepare(circuit);
        const auto expected = sim.statevector(circuit);
        ASSERT_FALSE(expected.has_value());
        const auto r = qpe::quantum_phase_estimation(gate::s(), prepare, 2, 8, sim);
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error().message(), expected.error().message());
    }
}

TEST(InferEigenvalue, ReferenceComponentAndConsistencyCheck) {
    const Complex one{1, 0}, zero{0, 0};
    struct Case {
        const char* name;
        Gate unitary;
        Complex psi0, psi1;
        std::optional<Complex> lambda;  // none: refused as no eigenstate
    } cases[] = {
        {"|1> of S reads the second component", gate::s(), zero, one, Complex{0, 1}},
        {"equal weights choose psi0", gate::x(), {0.5, 0}, {0.5, 0}, Complex{1, 0}},
        {"|-> of X", gate::x(), {0.5, 0}, {-0.5, 0}, Complex{-1, 0}},
        {"scale and global phase do not matter", gate::z(), zero, {0, 3}, Complex{-1, 0}},
        {"a second weight of 1e-14 is not checked", gate::x(), one, {1e-7, 0}, Complex{1e-7, 0}},
        {"squared distance 2 is refused", gate::s(), {0.5, 0}, {0.5, 0}, std::nullopt},
        // lambda_1 - lambda_0 = 1.2e-4 i: squared 1.44e-8, just above the tolerance.
        {"a small mismatch above 1e-8 squared is refused",
         phase_gate(1.2e-4 / gate::TWO_PI),
         {0.6, 0},
         {0.8, 0},
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = qpe::infer_eigenvalue(c.unitary, {c.psi0, c.psi1});
        if (!c.lambda) {
            ASSERT_FALSE(r.has_value());
            EXPECT_EQ(r.error().message(),
                      "Simulation error: provided state is not an eigenstate of the supplied "
                      "unitary");
            continue;
        }
        ASSERT_TRUE(r.has_value()) << r.error().message();
        EXPECT_NEAR(r->re, c.lambda->re, 1e-15);
        EXPECT_NEAR(r->im, c.lambda->im, 1e-15);
    }
}

TEST(InferEigenvalue, TwoQubitGateReadsItsTopLeftBlock) {
    // CZ's top-left block is the identity.
    const auto r = qpe::infer_eigenvalue(gate::cz(), {{0.6, 0}, {0.8, 0}});
    ASSERT_TRUE(r.has_value());
    EXPECT_NEAR(r->re, 1.0, 1e-15);
    EXPECT_NEAR(r->im, 0.0, 1e-15);
}

TEST(InferEigenvalue, HandMadeGateWithTooFewEntriesIsRefused) {
    const Gate short_gate{"P", {{1, 0}, {0, 0}}, 1};
    const auto r = qpe::infer_eigenvalue(short_gate, {{1, 0}, {0, 0}});
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().message(), "Simulation error: gate 'P' has 2 matrix entries for 1 qubits");
}

}  // namespace
