#include "quantum/algorithms/qaoa.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "quantum/gate.hpp"
#include "variational_helpers.hpp"

namespace {

using namespace variational_test;
using tesvi_quantum::algorithms::qaoa::Assignment;
using tesvi_quantum::algorithms::qaoa::classical_maxcut;
using tesvi_quantum::algorithms::qaoa::Edge;
using tesvi_quantum::algorithms::qaoa::evaluate_qaoa;
using tesvi_quantum::algorithms::qaoa::Graph;
using tesvi_quantum::algorithms::qaoa::maxcut_cost;
using tesvi_quantum::algorithms::qaoa::qaoa_circuit;
using tesvi_quantum::algorithms::qaoa::qaoa_maxcut;
namespace gate = tesvi_quantum::gate;

constexpr double INF = std::numeric_limits<double>::infinity();

std::string bits(const Assignment& a) {
    std::string s;
    for (bool b : a) s += b ? '1' : '0';
    return s;
}

// A cycle through every vertex, unit weights.
Graph ring(uint64_t n) {
    Graph g{{}, n};
    for (uint64_t v = 0; v < n; ++v) g.edges.push_back({v, (v + 1) % n, 1.0});
    return g;
}

TEST(QaoaGraphs, BuiltInGraphsAndTheirOptima) {
    struct Case {
        const char* name;
        Graph graph;
        uint64_t num_vertices;
        std::vector<Edge> edges;
        double optimum;
    } cases[] = {
        {"triangle", Graph::triangle(), 3, {{0, 1, 1.0}, {1, 2, 1.0}, {0, 2, 1.0}}, 2.0},
        {"square", Graph::square(), 4, {{0, 1, 1.0}, {1, 2, 1.0}, {2, 3, 1.0}, {3, 0, 1.0}}, 4.0},
        {"petersen_5 is the five-cycle",
         Graph::petersen_5(),
         5,
         {{0, 1, 1.0}, {1, 2, 1.0}, {2, 3, 1.0}, {3, 4, 1.0}, {4, 0, 1.0}},
         4.0},
    };
    for (const auto& tc : cases) {
        EXPECT_EQ(tc.graph.num_vertices, tc.num_vertices) << tc.name;
        EXPECT_EQ(tc.graph.edges, tc.edges) << tc.name;
        EXPECT_EQ(classical_maxcut(tc.graph), tc.optimum) << tc.name;
    }
}

TEST(QaoaGraphs, CutValues) {
    const Graph weighted{{{0, 1, 2.5}, {1, 2, -1.0}, {0, 1, 0.5}, {2, 0, 0.0}}, 3};
    struct Case {
        const char* name;
        Graph graph;
        Assignment assignment;
        double cost;
    } cases[] = {
        {"no edges", Graph{{}, 3}, {true, false, true}, 0.0},
        {"nothing cut", weighted, {true, true, true}, 0.0},
        {"a repeated edge counts twice", weighted, {true, false, false}, 3.0},
        {"a negative weight lowers the cut", weighted, {false, true, false}, 2.0},
        {"an edge beyond the assignment has no value",
         Graph{{{0, 3, 1.0}}, 4},
         {true, false},
         std::nan("")},
    };
    for (const auto& tc : cases) {
        const double cost = maxcut_cost(tc.graph, tc.assignment);
        if (std::isnan(tc.cost))
            EXPECT_TRUE(std::isnan(cost)) << tc.name;
        else
            EXPECT_EQ(cost, tc.cost) << tc.name;
    }
}

TEST(QaoaGraphs, BruteForceOptimumCorners) {
    struct Case {
        const char* name;
        Graph graph;
        double optimum;
    } cases[] = {
        {"no edges", Graph{{}, 4}, 0.0},
        {"only negative weights: cut nothing", Graph{{{0, 1, -1.0}, {1, 2, -2.0}}, 3}, 0.0},
        {"a NaN weight is skipped wherever it is cut",
         Graph{{{0, 1, std::nan("")}, {1, 2, 3.0}}, 3}, 3.0},
        {"an endpoint outside the graph leaves no cut value", Graph{{{0, 5, 1.0}}, 2}, -INF},
        {"64 vertices cannot be enumerated", Graph{{}, 64}, std::nan("")},
    };
    for (const auto& tc : cases) {
        const double optimum = classical_maxcut(tc.graph);
        if (std::isnan(tc.optimum))
            EXPECT_TRUE(std::isnan(optimum)) << tc.name;
        else
            EXPECT_EQ(optimum, tc.optimum) << tc.name;
    }
}

TEST(QaoaCircuit, LayersFollowTheEdgeList) {
    const Graph g{{{0, 1, 2.0}, {2, 1, -1.0}}, 3};
    auto c = qaoa_circuit(g, {0.25}, {0.125});
    ASSERT_TRUE(c) << error_text(c);
    const std::string rz_a = gate::rz(1.0).name, rz_b = gate::rz(-0.5).name;
    const std::string rx = gate::rx(0.25).name;
    const std::vector<Step> expected = {
        {"H", {0}},       {"H", {1}},       {"H", {2}},       {"CNOT", {0, 1}},
        {rz_a, {1}},      {"CNOT", {0, 1}}, {"CNOT", {2, 1}}, {rz_b, {1}},
        {"CNOT", {2, 1}}, {rx, {0}},        {rx, {1}},        {rx, {2}},
    };
    EXPECT_EQ(steps(*c), expected);
    EXPECT_EQ(c->instructions()[4].get<Instruction::Gate>()->gate, gate::rz(1.0));

    // Every layer repeats the block; extra betas are ignored.
    auto two = qaoa_circuit(g, {0.25, 0.5}, {0.125, 1.0, 7.0});
    ASSERT_TRUE(two);
    EXPECT_EQ(two->gate_count(), 3u + 2 * (3 * 2 + 3));
}

TEST(QaoaCircuit, RefusedShapes) {
    struct Case {
        const char* name;
        Graph graph;
        std::vector<double> gammas, betas;
        std::string error;
    } cases[] = {
        {"no vertices", Graph{{}, 0}, {0.5}, {0.5}, "Circuit must have at least 1 qubit"},
        {"too wide",
         Graph{{}, 129},
         {0.5},
         {0.5},
         "Circuit exceeds maximum qubit count (129 > 128)"},
        {"self-loop",
         Graph{{{1, 1, 1.0}}, 2},
         {0.5},
         {0.5},
         "Two-qubit gate requires different qubits, got 1 and 1"},
        {"endpoint outside",
         Graph{{{0, 1, 1.0}, {0, 4, 1.0}}, 3},
         {0.5},
         {0.5},
         "Qubit index 4 out of range (circuit has 3 qubits)"},
        {"fewer betas than gammas",
         Graph::square(),
         {0.5, 0.5},
         {0.5},
         "Simulation error: QAOA needs a beta for each of its 2 layers, got 1"},
    };
    for (const auto& tc : cases) {
        EXPECT_EQ(error_text(qaoa_circuit(tc.graph, tc.gammas, tc.betas)), tc.error) << tc.name;
        EXPECT_EQ(error_text(evaluate_qaoa(tc.graph, tc.gammas, tc.betas, 10, exact())), tc.error)
            << tc.name;
    }
}

TEST(QaoaEvaluate, ExactValueOfTheSquareAtTheStartAngles) {
    auto e = evaluate_qaoa(Graph::square(), {0.5, 0.5}, {0.5, 0.5}, 1000, exact());
    ASSERT_TRUE(e) << error_text(e);
    EXPECT_NEAR(e->first, 0.0577192, 1e-7);
    EXPECT_EQ(e->second.size(), 4u);
    // The best assignment is a highest-cost state that has any weight, not the expected value.
    EXPECT_TRUE(bits(e->second) == "0101" || bits(e->second) == "1010") << bits(e->second);
}

TEST(QaoaEvaluate, ExactTiesGoToTheLowerIndex) {
    // Zero angles leave the uniform superposition: every state has the same
    // probability, and 01 and 10 both cut the edge. Index 1 (vertex 0 set) wins.
    auto e = evaluate_qaoa(Graph{{{0, 1, 1.0}}, 2}, {0.0}, {0.0}, 1, exact());
    ASSERT_TRUE(e);
    EXPECT_EQ(bits(e->second), "10");
    EXPECT_NEAR(e->first, 0.5, 1e-12);
}

TEST(QaoaEvaluate, ExactPathIgnoresShotsAndSeed) {
    const auto a = evaluate_qaoa(Graph::triangle(), {0.3}, {0.7}, 0, exact(1)).value();
    const auto b = evaluate_qaoa(Graph::triangle(), {0.3}, {0.7}, 5000, exact(2)).value();
    const auto c = evaluate_qaoa(Graph::triangle(), {0.3}, {0.7}, 1, exact()).value();
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
}

TEST(QaoaEvaluate, SampledPathAgreesWithTheExactValue) {
    const Graph g = Graph::square();
    const double exact_value = evaluate_qaoa(g, {0.4, 0.6}, {0.3, 0.2}, 0, exact())->first;
    auto s = evaluate_qaoa(g, {0.4, 0.6}, {0.3, 0.2}, 20000, sampled(11));
    ASSERT_TRUE(s) << error_text(s);
    // The cut value lies in [0, 4]: the mean of 20000 shots is well inside 0.05.
    EXPECT_NEAR(s->first, exact_value, 0.05);
    EXPECT_EQ(s->second.size(), 4u);
    EXPECT_EQ(maxcut_cost(g, s->second), 4.0);

    // Equal seeds draw the same shots.
    EXPECT_EQ(evaluate_qaoa(g, {0.4, 0.6}, {0.3, 0.2}, 20000, sampled(11))->first, s->first);
}

TEST(QaoaEvaluate, SampledZeroShotsRunsOneShot) {
    for (uint64_t seed = 0; seed < 8; ++seed) {
        auto s = evaluate_qaoa(Graph::petersen_5(), {0.5}, {0.5}, 0, sampled(seed));
        ASSERT_TRUE(s) << error_text(s);
        // One outcome: the mean is that outcome's own cut value.
        EXPECT_EQ(s->first, maxcut_cost(Graph::petersen_5(), s->second)) << seed;
    }
}

TEST(QaoaEvaluate, SimulatorRefusalsPassUnchanged) {
    const Simulator mps_noisy = sampled(1, Backend::Mps{8});
    auto e = evaluate_qaoa(Graph::triangle(), {0.5}, {0.5}, 10, mps_noisy);
    EXPECT_EQ(error_text(e), "Simulation error: MPS backend does not yet support noise models");
}

TEST(QaoaMaxcut, SquareWithTheDefaults) {
    auto r = qaoa_maxcut(Graph::square(), 2, 20, 1000, exact());
    ASSERT_TRUE(r) << error_text(r);
    ASSERT_EQ(r->cost_history.size(), 20u);
    EXPECT_NEAR(r->cost_history[0], 0.0577192, 1e-7);
    EXPECT_NEAR(r->best_cost, 3.2224487, 1e-7);
    ASSERT_TRUE(r->approximation_ratio.has_value());
    EXPECT_NEAR(*r->approximation_ratio, 0.8056122, 1e-7);
    EXPECT_EQ(*r->approximation_ratio, r->best_cost / 4.0);
    EXPECT_TRUE(bits(r->best_solution) == "0101" || bits(r->best_solution) == "1010");
    EXPECT_EQ(r->optimal_gamma.size(), 2u);
    EXPECT_EQ(r->optimal_beta.size(), 2u);
    // Every iteration accepted a step, so each start value beats the one before.
    for (size_t i = 1; i < r->cost_history.size(); ++i)
        EXPECT_GT(r->cost_history[i], r->cost_history[i - 1] + 1e-10) << i;
    EXPECT_GE(r->best_cost, r->cost_history.back());
}

TEST(QaoaMaxcut, ShortRuns) {
    struct Case {
        const char* name;
        Graph graph;
        uint64_t p, max_iterations;
        std::string solution;
        double best_cost;
        std::vector<double> history;
        std::optional<double> ratio;
    } cases[] = {
        {"no iteration", Graph::square(), 2, 0, "0000", -INF, {}, -INF},
        {"no edges: a zero gradient accepts no step",
         Graph{{}, 3},
         2,
         20,
         "000",
         0.0,
         {0.0},
         std::nullopt},
        {"self-loop is harmless without an evaluation",
         Graph{{{0, 0, 1.0}}, 1},
         1,
         0,
         "0",
         -INF,
         {},
         std::nullopt},
        {"no vertices and no iteration", Graph{{}, 0}, 1, 0, "", -INF, {}, std::nullopt},
    };
    for (const auto& tc : cases) {
        auto r = qaoa_maxcut(tc.graph, tc.p, tc.max_iterations, 100, exact());
        ASSERT_TRUE(r) << tc.name << ": " << error_text(r);
        EXPECT_EQ(bits(r->best_solution), tc.solution) << tc.name;
        EXPECT_EQ(r->best_cost, tc.best_cost) << tc.name;
        EXPECT_EQ(r->cost_history, tc.history) << tc.name;
        EXPECT_EQ(r->approximation_ratio, tc.ratio) << tc.name;
        EXPECT_EQ(r->optimal_gamma, std::vector<double>(tc.p, 0.5)) << tc.name;
        EXPECT_EQ(r->optimal_beta, std::vector<double>(tc.p, 0.5)) << tc.name;
    }
}

TEST(QaoaMaxcut, OneLayerAndTwelveVertices) {
    auto r = qaoa_maxcut(ring(12), 1, 1, 1, exact());
    ASSERT_TRUE(r) << error_text(r);
    EXPECT_EQ(r->optimal_gamma.size(), 1u);
    EXPECT_EQ(r->best_solution.size(), 12u);
    EXPECT_EQ(r->cost_history.size(), 1u);
    EXPECT_EQ(*r->approximation_ratio, r->best_cost / 12.0);
}

TEST(QaoaMaxcut, Refusals) {
    struct Case {
        const char* name;
        Graph graph;
        uint64_t p, max_iterations;
        std::string error;
    } cases[] = {
        {"no layer, checked before the size", ring(13), 0, 5,
         "Simulation error: QAOA requires at least one layer"},
        {"13 vertices", ring(13), 2, 5, "Circuit exceeds maximum qubit count (13 > 12)"},
        {"13 vertices, no iteration", ring(13), 2, 0,
         "Circuit exceeds maximum qubit count (13 > 12)"},
        {"no vertices", Graph{{}, 0}, 1, 1, "Circuit must have at least 1 qubit"},
        {"no vertices, edges the first evaluation never reaches", Graph{{{0, 1, 1.0}}, 0}, 1, 1,
         "Circuit must have at least 1 qubit"},
        {"self-loop", Graph{{{0, 0, 1.0}}, 1}, 2, 1,
         "Two-qubit gate requires different qubits, got 0 and 0"},
        {"endpoint outside", Graph{{{0, 1, 1.0}, {1, 5, 1.0}}, 3}, 1, 3,
         "Qubit index 5 out of range (circuit has 3 qubits)"},
        {"endpoint outside, no iteration", Graph{{{0, 1, 1.0}, {1, 5, 1.0}}, 3}, 1, 0,
         "Qubit index 5 out of range (circuit has 3 qubits)"},
    };
    for (const auto& tc : cases)
        EXPECT_EQ(error_text(qaoa_maxcut(tc.graph, tc.p, tc.max_iterations, 10, exact())), tc.error)
            << tc.name;
}

TEST(QaoaMaxcut, ExactRunsIgnoreShotsAndSeed) {
    auto a = qaoa_maxcut(Graph::triangle(), 1, 6, 0, exact(3)).value();
    auto b = qaoa_maxcut(Graph::triangle(), 1, 6, 1000, exact()).value();
    EXPECT_EQ(a.cost_history, b.cost_history);
    EXPECT_EQ(a.best_solution, b.best_solution);
    EXPECT_EQ(a.optimal_gamma, b.optimal_gamma);
    EXPECT_EQ(a.optimal_beta, b.optimal_beta);
}

TEST(QaoaMaxcut, SeededSampledRunsRepeat) {
    auto a = qaoa_maxcut(Graph::triangle(), 1, 3, 200, sampled(42));
    auto b = qaoa_maxcut(Graph::triangle(), 1, 3, 200, sampled(42));
    ASSERT_TRUE(a) << error_text(a);
    ASSERT_TRUE(b);
    EXPECT_FALSE(a->cost_history.empty());
    EXPECT_EQ(a->cost_history, b->cost_history);
    EXPECT_EQ(a->optimal_gamma, b->optimal_gamma);
    EXPECT_EQ(a->optimal_beta, b->optimal_beta);
    EXPECT_EQ(a->best_cost, b->best_cost);
    EXPECT_EQ(a->best_solution, b->best_solution);
    // The best assignment is one that was sampled, so it is a real cut of the graph.
    EXPECT_EQ(maxcut_cost(Graph::triangle(), a->best_solution), 2.0);
}

}  // namespace

namespace {

// Layer counts whose circuits could never be held are refused up front.
TEST(QaoaLimits, AbsurdLayerCountsAreRefused) {
    using namespace tesvi_quantum::algorithms::qaoa;
    const tesvi_quantum::simulator::Simulator sim{uint64_t{1}};
    for (uint64_t p : {uint64_t{1} << 62, uint64_t{10000000000}, UINT64_MAX}) {
        auto r = qaoa_maxcut(Graph::square(), p, 0, 100, sim);
        ASSERT_FALSE(r.has_value());
        EXPECT_EQ(r.error().message(), "Simulation error: QAOA with " + std::to_string(p) +
                                           " layers needs more memory than can be allocated");
    }
}

}  // namespace
