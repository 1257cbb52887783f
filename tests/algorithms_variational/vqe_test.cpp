#include "quantum/algorithms/vqe.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "quantum/gate.hpp"
#include "variational_helpers.hpp"

namespace {

using namespace variational_test;
using tesvi_quantum::algorithms::vqe::Ansatz;
using tesvi_quantum::algorithms::vqe::ansatz_circuit;
using tesvi_quantum::algorithms::vqe::evaluate_expectation;
using tesvi_quantum::algorithms::vqe::Hamiltonian;
using tesvi_quantum::algorithms::vqe::Pauli;
using tesvi_quantum::algorithms::vqe::PauliTerm;
using tesvi_quantum::algorithms::vqe::vqe;
using tesvi_quantum::complex::Complex;
namespace gate = tesvi_quantum::gate;

constexpr double PI = 3.141592653589793;
constexpr double START_ENERGY = -1.0524 + 0.3979 - 0.3979 - 0.0112;

const Hamiltonian H2 = Hamiltonian::hydrogen_molecule();

double energy(const Hamiltonian& h, const Ansatz& a, const std::vector<double>& params,
              const Simulator& sim = exact(), uint32_t shots = 1000) {
    auto e = evaluate_expectation(h, a, params, shots, sim);
    EXPECT_TRUE(e) << error_text(e);
    return e ? *e : std::nan("");
}

// ⟨ψ|H|ψ⟩ by applying each factor's 2x2 matrix to the state, independently of
// the library's index arithmetic.
double dense_expectation(const Hamiltonian& h, std::span<const Complex> psi) {
    const Complex mats[4][4] = {{{1, 0}, {0, 0}, {0, 0}, {1, 0}},
                                {{0, 0}, {1, 0}, {1, 0}, {0, 0}},
                                {{0, 0}, {0, -1}, {0, 1}, {0, 0}},
                                {{1, 0}, {0, 0}, {0, 0}, {-1, 0}}};
    double total = 0.0;
    for (const PauliTerm& term : h.terms) {
        std::vector<Complex> phi(psi.begin(), psi.end());
        for (const auto& f : term.ops) {
            const Complex* m = mats[static_cast<int>(f.pauli)];
            const uint64_t bit = uint64_t{1} << f.qubit;
            for (uint64_t k = 0; k < phi.size(); ++k) {
                if (k & bit) continue;
                const Complex a0 = phi[k], a1 = phi[k | bit];
                phi[k] = m[0] * a0 + m[1] * a1;
                phi[k | bit] = m[2] * a0 + m[3] * a1;
            }
        }
        double value = 0.0;
        for (uint64_t k = 0; k < psi.size(); ++k) value += (psi[k].conj() * phi[k]).re;
        total += term.coefficient * value;
    }
    return total;
}

// Every kind of factor, flips on non-adjacent qubits, and an explicit identity factor.
const Hamiltonian MIXED{{{{}, 0.5},
                         {{{0, Pauli::Y}}, 0.7},
                         {{{2, Pauli::X}, {0, Pauli::Z}}, -0.3},
                         {{{1, Pauli::Y}, {2, Pauli::Y}}, 1.1},
                         {{{0, Pauli::X}, {1, Pauli::Z}, {2, Pauli::Y}}, 0.9},
                         {{{1, Pauli::I}}, 0.2}},
                        3};
const std::vector<double> MIXED_PARAMS = {0.3, -1.2, 2.1,  0.4,  -0.7, 1.9,
                                          1.3, 0.6,  -2.4, -0.2, 0.8,  -1.1};

TEST(VqeHamiltonian, HydrogenTerms) {
    EXPECT_EQ(H2.num_qubits, 2u);
    const std::vector<PauliTerm> terms = {{{}, -1.0524},
                                          {{{1, Pauli::Z}}, 0.3979},
                                          {{{0, Pauli::Z}}, -0.3979},
                                          {{{0, Pauli::Z}, {1, Pauli::Z}}, -0.0112},
                                          {{{0, Pauli::X}, {1, Pauli::X}}, 0.1809}};
    EXPECT_EQ(H2.terms, terms);
}

TEST(VqeAnsatz, GateSequences) {
    const auto ry = [](double t) { return gate::ry(t).name; };
    const auto rz = [](double t) { return gate::rz(t).name; };
    struct Case {
        const char* name;
        uint64_t n;
        Ansatz ansatz;
        std::vector<double> params;
        std::vector<Step> steps;
    } cases[] = {
        {"Ry chain on three qubits",
         3,
         Ansatz::RyCnotChain{},
         {0.1, 0.2, 0.3},
         {{ry(0.1), {0}}, {ry(0.2), {1}}, {ry(0.3), {2}}, {"CNOT", {0, 1}}, {"CNOT", {1, 2}}}},
        {"Ry chain, one qubit, no CNOT", 1, Ansatz::RyCnotChain{}, {0.5}, {{ry(0.5), {0}}}},
        {"Ry chain, no parameters, no gates", 2, Ansatz::RyCnotChain{}, {}, {}},
        {"Ry chain, fewer parameters than qubits",
         3,
         Ansatz::RyCnotChain{},
         {0.1, 0.2},
         {{ry(0.1), {0}}, {ry(0.2), {1}}, {"CNOT", {0, 1}}}},
        {"layered, two qubits, two layers",
         2,
         Ansatz::LayeredRyRz{2},
         {1, 2, 3, 4, 5, 6, 7, 8},
         {{ry(1), {0}},
          {rz(2), {0}},
          {ry(3), {1}},
          {rz(4), {1}},
          {"CNOT", {0, 1}},
          {ry(5), {0}},
          {rz(6), {0}},
          {ry(7), {1}},
          {rz(8), {1}},
          {"CNOT", {0, 1}}}},
        {"layered, one qubit has no chain",
         1,
         Ansatz::LayeredRyRz{1},
         {1, 2},
         {{ry(1), {0}}, {rz(2), {0}}}},
        {"layered, no layers", 2, Ansatz::LayeredRyRz{0}, {}, {}},
        {"UCCSD demo",
         2,
         Ansatz::UccsdDemo{},
         {0.75, 0.25},
         {{ry(0.75), {0}}, {ry(0.25), {1}}, {"CNOT", {0, 1}}, {rz(0.5), {1}}, {"CNOT", {0, 1}}}},
    };
    for (const auto& tc : cases) {
        auto c = ansatz_circuit(tc.n, tc.ansatz, tc.params);
        ASSERT_TRUE(c) << tc.name << ": " << error_text(c);
        EXPECT_EQ(steps(*c), tc.steps) << tc.name;
    }
}

TEST(VqeEnergy, HydrogenAlongTheAnsatz) {
    // With the second angle at 0 the chain prepares cos(θ/2)|00⟩ + sin(θ/2)|11⟩.
    for (double theta : {0.0, 0.4, -1.0744927, -PI / 2, 2.5})
        EXPECT_NEAR(energy(H2, Ansatz::RyCnotChain{}, {theta, 0.0}),
                    START_ENERGY + 0.1809 * std::sin(theta), 1e-12)
            << theta;
}

TEST(VqeEnergy, ExactPathMatchesTheOperator) {
    const Ansatz layered = Ansatz::LayeredRyRz{2};
    auto c = ansatz_circuit(3, layered, MIXED_PARAMS);
    ASSERT_TRUE(c);
    const auto psi = exact().statevector(*c).value();
    EXPECT_NEAR(energy(MIXED, layered, MIXED_PARAMS), dense_expectation(MIXED, psi), 1e-12);
    EXPECT_NEAR(
        energy(H2, Ansatz::UccsdDemo{}, {0.9, -0.4}),
        dense_expectation(
            H2, exact().statevector(*ansatz_circuit(2, Ansatz::UccsdDemo{}, {0.9, -0.4})).value()),
        1e-12);
}

TEST(VqeEnergy, SampledPathEstimatesTheSameValue) {
    const Ansatz layered = Ansatz::LayeredRyRz{2};
    const double exact_value = energy(MIXED, layered, MIXED_PARAMS);
    const double estimate = energy(MIXED, layered, MIXED_PARAMS, sampled(5), 20000);
    // Four sampled terms, |coefficients| summing to 3: a few standard deviations is under 0.1.
    EXPECT_NEAR(estimate, exact_value, 0.1);
    EXPECT_EQ(energy(MIXED, layered, MIXED_PARAMS, sampled(5), 20000), estimate);
}

TEST(VqeEnergy, YFactorOnBothPaths) {
    const Hamiltonian y{{{{{0, Pauli::Y}}, 1.0}}, 1};
    struct Case {
        std::vector<double> params;
        double value;
    } cases[] = {{{PI / 2, PI / 2}, 1.0}, {{PI / 2, -PI / 2}, -1.0}};
    for (const auto& tc : cases) {
        EXPECT_NEAR(energy(y, Ansatz::LayeredRyRz{1}, tc.params), tc.value, 1e-12);
        EXPECT_EQ(energy(y, Ansatz::LayeredRyRz{1}, tc.params, sampled(3), 50), tc.value);
    }
}

TEST(VqeEnergy, IdentityTermRunsNoCircuit) {
    const Hamiltonian only_identity{{{{}, -0.75}}, 2};
    const Hamiltonian with_z{{{{}, -0.75}, {{{0, Pauli::Z}}, 1.0}}, 2};
    // A noisy matrix-product-state simulator refuses every run: only the
    // identity-only Hamiltonian gets through.
    const Simulator refusing = sampled(1, Backend::Mps{4});
    EXPECT_EQ(energy(only_identity, Ansatz::RyCnotChain{}, {0.3, 0.1}), -0.75);
    EXPECT_EQ(energy(only_identity, Ansatz::RyCnotChain{}, {0.3, 0.1}, refusing), -0.75);
    EXPECT_EQ(
        error_text(evaluate_expectation(with_z, Ansatz::RyCnotChain{}, {0.3, 0.1}, 10, refusing)),
        "Simulation error: MPS backend does not yet support noise models");
}

TEST(VqeEnergy, SampledZeroShotsRunsOneShotPerTerm) {
    const Hamiltonian h{{{{{0, Pauli::Z}}, 1.0}, {{{1, Pauli::X}}, 2.0}}, 2};
    for (uint64_t seed = 0; seed < 6; ++seed) {
        const double e = energy(h, Ansatz::RyCnotChain{}, {1.1, 0.4}, sampled(seed), 0);
        // One ±1 outcome per term.
        EXPECT_TRUE(e == 3.0 || e == 1.0 || e == -1.0 || e == -3.0) << e;
    }
}

TEST(VqeEnergy, ExactPathIgnoresShotsAndSeed) {
    const double a = energy(H2, Ansatz::RyCnotChain{}, {0.7, 0.2}, exact(1), 0);
    EXPECT_EQ(energy(H2, Ansatz::RyCnotChain{}, {0.7, 0.2}, exact(9), 5000), a);
    EXPECT_EQ(energy(H2, Ansatz::RyCnotChain{}, {0.7, 0.2}, exact(), 1), a);
}

TEST(VqeOptimiser, HydrogenFromTheOrigin) {
    struct Case {
        uint64_t max_iterations;
        uint64_t iterations;
        bool converged;
        double energy;
        std::vector<double> params;  // empty: not checked
    } cases[] = {
        {0, 0, false, START_ENERGY, {0.0, 0.0}},
        {1, 1, false, std::nan(""), {}},
        {30, 30, false, -1.2226742, {-1.0744927, 0.0}},
        // The variance of the last five energies drops below 1e-9.
        {100, 83, true, -1.2443272, {}},
    };
    for (const auto& tc : cases) {
        auto r = vqe(H2, Ansatz::RyCnotChain{}, {0.0, 0.0}, tc.max_iterations, 1000, exact());
        ASSERT_TRUE(r) << error_text(r);
        EXPECT_EQ(r->iterations, tc.iterations) << tc.max_iterations;
        EXPECT_EQ(r->energy_history.size(), r->iterations) << tc.max_iterations;
        EXPECT_EQ(r->converged, tc.converged) << tc.max_iterations;
        if (!std::isnan(tc.energy)) {
            EXPECT_NEAR(r->energy, tc.energy, 1e-7) << tc.max_iterations;
        }
        ASSERT_EQ(r->optimal_params.size(), 2u);
        for (size_t i = 0; i < tc.params.size(); ++i)
            EXPECT_NEAR(r->optimal_params[i], tc.params[i], 1e-7) << tc.max_iterations;
        if (!r->energy_history.empty()) {
            EXPECT_NEAR(r->energy_history[0], START_ENERGY, 1e-12);
            EXPECT_LE(r->energy,
                      *std::min_element(r->energy_history.begin(), r->energy_history.end()));
        }
        // The energy is even in the second angle, so its finite difference vanishes.
        EXPECT_NEAR(r->optimal_params[1], 0.0, 1e-12);
    }
}

TEST(VqeOptimiser, ReachesTheGroundStateFromTheOddSector) {
    // The lowest eigenvalue lies in the span of |01⟩ and |10⟩, where the first
    // qubit's Z has the opposite sign: -1.0412 - sqrt(0.7958² + 0.1809²).
    const double ground = -1.0412 - std::sqrt(0.7958 * 0.7958 + 0.1809 * 0.1809);
    auto r = vqe(H2, Ansatz::RyCnotChain{}, {0.0, 3.0}, 300, 1000, exact());
    ASSERT_TRUE(r) << error_text(r);
    EXPECT_TRUE(r->converged);
    EXPECT_NEAR(r->energy, ground, 1e-4);
}

TEST(VqeOptimiser, SeededSampledRunsRepeat) {
    auto a = vqe(H2, Ansatz::UccsdDemo{}, {0.2, 0.1}, 3, 300, sampled(17));
    auto b = vqe(H2, Ansatz::UccsdDemo{}, {0.2, 0.1}, 3, 300, sampled(17));
    ASSERT_TRUE(a) << error_text(a);
    ASSERT_TRUE(b);
    EXPECT_EQ(a->energy_history, b->energy_history);
    EXPECT_EQ(a->optimal_params, b->optimal_params);
    EXPECT_EQ(a->energy, b->energy);
}

TEST(VqeOptimiser, Refusals) {
    const Hamiltonian three{{{{{0, Pauli::Z}}, 1.0}}, 3};
    struct Case {
        const char* name;
        Hamiltonian h;
        Ansatz ansatz;
        std::vector<double> params;
        uint64_t max_iterations;
        std::string error;
    } cases[] = {
        {"too many for the chain",
         H2,
         Ansatz::RyCnotChain{},
         {0, 0, 0},
         5,
         "Simulation error: ansatz expects 2 parameters, got 3"},
        {"layered count",
         H2,
         Ansatz::LayeredRyRz{2},
         {0, 0},
         5,
         "Simulation error: ansatz expects 8 parameters, got 2"},
        {"layered count, no iteration",
         H2,
         Ansatz::LayeredRyRz{2},
         {0, 0},
         0,
         "Simulation error: ansatz expects 8 parameters, got 2"},
        {"a count past 64 bits",
         Hamiltonian{{}, 1},
         Ansatz::LayeredRyRz{uint64_t{1} << 63},
         {},
         0,
         "Simulation error: ansatz expects 18446744073709551616 parameters, got 0"},
        {"a count past 128 bits",
         Hamiltonian{{}, UINT64_MAX},
         Ansatz::LayeredRyRz{UINT64_MAX},
         {},
         0,
         "Simulation error: ansatz expects 680564733841876926852962238568698216450 parameters, "
         "got 0"},
        {"UCCSD on three qubits",
         three,
         Ansatz::UccsdDemo{},
         {0, 0},
         0,
         "Simulation error: demo UCCSD ansatz currently expects 2 qubits and 2 parameters"},
        {"no qubits",
         Hamiltonian{{}, 0},
         Ansatz::RyCnotChain{},
         {},
         0,
         "Circuit must have at least 1 qubit"},
        {"too many qubits",
         Hamiltonian{{}, 129},
         Ansatz::LayeredRyRz{0},
         {},
         0,
         "Circuit exceeds maximum qubit count (129 > 128)"},
        {"a Z factor outside the register",
         Hamiltonian{{{{{2, Pauli::Z}}, 1.0}}, 2},
         Ansatz::RyCnotChain{},
         {0, 0},
         0,
         "Qubit index 2 out of range (circuit has 2 qubits)"},
        {"a qubit named twice",
         Hamiltonian{{{{{1, Pauli::X}, {1, Pauli::Z}}, 1.0}}, 2},
         Ansatz::RyCnotChain{},
         {0, 0},
         3,
         "Simulation error: Pauli term names qubit 1 more than once"},
    };
    for (const auto& tc : cases)
        EXPECT_EQ(error_text(vqe(tc.h, tc.ansatz, tc.params, tc.max_iterations, 10, exact())),
                  tc.error)
            << tc.name;
}

TEST(VqeEnergy, RefusedDirectEvaluations) {
    const Hamiltonian beyond_x{{{{{3, Pauli::X}}, 1.0}}, 2};
    struct Case {
        const char* name;
        Hamiltonian h;
        Ansatz ansatz;
        std::vector<double> params;
        std::string error;
    } cases[] = {
        {"a surplus Ry",
         H2,
         Ansatz::RyCnotChain{},
         {0, 0, 0},
         "Qubit index 2 out of range (circuit has 2 qubits)"},
        {"too few layered parameters",
         H2,
         Ansatz::LayeredRyRz{1},
         {0, 0, 0},
         "Simulation error: ansatz expects 4 parameters, got 3"},
        {"UCCSD with three parameters",
         H2,
         Ansatz::UccsdDemo{},
         {0, 0, 0},
         "Simulation error: demo UCCSD ansatz currently expects 2 qubits and 2 parameters"},
        {"an X factor outside the register",
         beyond_x,
         Ansatz::RyCnotChain{},
         {0, 0},
         "Qubit index 3 out of range (circuit has 2 qubits)"},
    };
    for (const auto& tc : cases)
        for (const Simulator& sim : {exact(), sampled(1)})
            EXPECT_EQ(error_text(evaluate_expectation(tc.h, tc.ansatz, tc.params, 10, sim)),
                      tc.error)
                << tc.name;
}

}  // namespace
