#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

#include "qasm_helpers.hpp"
#include "quantum/qasm/expansion.hpp"

namespace {

using namespace qasm_test;
using tesvi_quantum::qasm::parse_qasm;
namespace parser = tesvi_quantum::qasm::parser;
namespace gate = tesvi_quantum::gate;
using parser::GateApplication;

constexpr double PI = 3.141592653589793;

// Built-in calls on a 3-qubit register "q", with no user definitions.
struct QasmBuiltins : ::testing::Test {
    parser::RegisterTable qregs{{"q", {0, 3}}};
    parser::GateDefinitions none;
    parser::ExpansionContext top{qregs, none, {}, {}};

    auto expand(std::string_view call) { return parser::expand_gate(4, call, top); }
};

TEST_F(QasmBuiltins, GiveTheCircuitGates) {
    const struct {
        std::string_view call;
        std::vector<GateApplication> gates;
    } cases[] = {
        {"h q[0]", {{gate::h(), {0}}}},
        {"X q[2]", {{gate::x(), {2}}}},
        {"y q[1]", {{gate::y(), {1}}}},
        {"z q[0]", {{gate::z(), {0}}}},
        {"s q[0]", {{gate::s(), {0}}}},
        {"t q[0]", {{gate::t(), {0}}}},
        {"sdg q[0]", {{gate::sdg(), {0}}}},
        {"TDG q[0]", {{gate::tdg(), {0}}}},
        {"id q[1]", {}},
        {"rx(0.5) q[0]", {{gate::rx(0.5), {0}}}},
        {"ry(-pi) q[0]", {{gate::ry(-PI), {0}}}},
        {"rz(pi/4) q[0]", {{gate::rz(PI / 4), {0}}}},
        {"u1(0.5) q[0]", {{gate::rz(0.5), {0}}}},
        {"u2(0, pi) q[0]", {{gate::u3(PI / 2, 0, PI), {0}}}},
        {"u3(pi,0,pi) q[0]", {{gate::u3(PI, 0, PI), {0}}}},
        {"U(pi, 0, pi) q[0]", {{gate::u3(PI, 0, PI), {0}}}},
        {"CX q[0], q[1]", {{gate::cnot(), {0, 1}}}},
        {"cz q[2], q[0]", {{gate::cz(), {2, 0}}}},
        {"swap q[1], q[2]", {{gate::swap(), {1, 2}}}},
        {"crk(3) q[0], q[1]", {{gate::crk(3), {0, 1}}}},
        {"crk(2.9999999999) q[0], q[1]", {{gate::crk(3), {0, 1}}}},
        {"crk(-0) q[0], q[1]", {{gate::crk(0), {0, 1}}}},
        {"crk(1e30) q[0], q[1]", {{gate::crk(UINT64_MAX), {0, 1}}}},
        // Repeated qubits are left to the circuit builders.
        {"cx q[1], q[1]", {{gate::cnot(), {1, 1}}}},
    };
    for (const auto& c : cases) {
        const auto r = expand(c.call);
        ASSERT_TRUE(r) << c.call << ": " << error_text(r);
        EXPECT_EQ(*r, c.gates) << c.call;
    }
    EXPECT_EQ(expand("U(pi, 0, pi) q[0]").value()[0].gate.name, "U3(3.142,0.000,3.142)");
    EXPECT_EQ(expand("u1(0.5) q[0]").value()[0].gate.name, "Rz(0.500)");
}

// ccx is the toffoli builder's decomposition, one application per gate.
TEST_F(QasmBuiltins, CcxMatchesToffoli) {
    Circuit toffoli = Circuit::create(3).value();
    ASSERT_TRUE(toffoli.toffoli(2, 0, 1));
    std::vector<GateApplication> expected;
    for (const auto& ins : toffoli.instructions()) {
        const auto* g = ins.get<Instruction::Gate>();
        expected.push_back({g->gate, g->qubits});
    }
    ASSERT_EQ(expected.size(), 15u);
    EXPECT_EQ(expand("ccx q[2], q[0], q[1]").value(), expected);
}

// A call that matches no row by name, value count and qubit count falls
// through to the user definitions.
TEST_F(QasmBuiltins, MismatchedCallsAreUnknown) {
    const struct {
        std::string_view call;
        std::string error;
    } cases[] = {
        {"h q[0], q[1]", "Unknown gate 'h'"},
        {"rx q[0]", "Unknown gate 'rx'"},
        {"rx() q[0]", "Unknown gate 'rx'"},
        {"h(1) q[0]", "Unknown gate 'h'"},
        {"cx q[0]", "Unknown gate 'cx'"},
        {"u2(1) q[0]", "Unknown gate 'u2'"},
        {"ccx q[0], q[1]", "Unknown gate 'ccx'"},
        {"crk(2.5) q[0], q[1]", "Unknown gate 'crk'"},
        {"crk(-1) q[0], q[1]", "Unknown gate 'crk'"},
        {"crk(3) q[0]", "Unknown gate 'crk'"},
        {"crk(0/0) q[0], q[1]", "Unknown gate 'crk'"},
        {"crk(1/0) q[0], q[1]", "Unknown gate 'crk'"},
        {"cy q[0], q[1]", "Unknown gate 'cy'"},
        {"sx q[0]", "Unknown gate 'sx'"},
        // Parameters are read before operands, operands before the gate name.
        {"nope(theta) r[0]", "Parse error at line 4: unknown identifier 'theta'"},
        {"nope r[0]", "Register 'r' not declared"},
        {"id q[7]", "Qubit index 7 out of range for register 'q' (size 3)"},
    };
    for (const auto& c : cases) EXPECT_EQ(error_text(expand(c.call)), c.error) << c.call;
}

TEST(QasmExpressions, Values) {
    const parser::ParamBindings vars = {{"theta", 0.25}, {"Theta", 4.0}, {"_x", -1.0}};
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::string_view text;
        double value;
    } cases[] = {
        {"pi/2", 1.5707963267948966},
        {"pi / 2 + 1", PI / 2 + 1},
        {"2*-pi", -2 * PI},
        {"1 - 2 - 3", -4},
        {"8 / 4 / 2", 1},
        {"1 + 2 * 3", 7},
        {"(1 + 2) * 3", 9},
        {"-0", -0.0},
        {"--1", 1},
        {"- -+ +-1", -1},
        {"+ + 1", 1},
        {"((( 1 )))", 1},
        {"theta * Theta + _x", 0},
        {"1/0", inf},
        {"-1/0", -inf},
        {"0.1", 0.1},
        {"1.", 1},
        {".5", 0.5},
        {"1e+5", 1e5},
        {"1E-2", 0.01},
        {"00012", 12},
        {"1e400", inf},
        {"1e-400", 0},
        {"1.7976931348623159e308", inf},
        {"2.4703282292062328e-324", std::numeric_limits<double>::denorm_min()},
        {"0.000000000000000000000000000000000000000001e330", 1e288},
        {"9007199254740993", 9007199254740992.0},  // halfway rounds to even
        {"1\u00a0*\u30002", 2},
    };
    for (const auto& c : cases) {
        const auto r = parser::evaluate_expression(3, c.text, vars);
        ASSERT_TRUE(r) << c.text << ": " << error_text(r);
        EXPECT_EQ(std::bit_cast<uint64_t>(*r), std::bit_cast<uint64_t>(c.value)) << c.text;
    }
    EXPECT_TRUE(std::isnan(parser::evaluate_expression(3, "0/0", vars).value()));
}

TEST(QasmExpressions, Errors) {
    const parser::ParamBindings vars = {{"theta", 0.25}, {"pivot", 1.0}};
    const struct {
        std::string_view text;
        std::string message;
    } cases[] = {
        {"pi/2+1", "invalid numeric literal '2+1'"},
        {"1+2", "invalid numeric literal '1+2'"},
        {"2-1", "invalid numeric literal '2-1'"},
        {"(1, 2)", "missing closing ')' in expression"},
        {"(1", "missing closing ')' in expression"},
        {"1 2", "unexpected token in expression '1 2'"},
        {" 1) ", "unexpected token in expression '1)'"},
        {"2pi", "unexpected token in expression '2pi'"},
        {"pivot", "unexpected token in expression 'pivot'"},  // "pi" is a prefix test
        {"theta1", "unexpected token in expression 'theta1'"},
        {"phi", "unknown identifier 'phi'"},
        {"THETA", "unknown identifier 'THETA'"},
        {"e5", "unknown identifier 'e'"},
        {"", "invalid numeric literal ''"},
        {"1 + ", "invalid numeric literal ''"},
        {"$", "invalid numeric literal ''"},
        {".", "invalid numeric literal '.'"},
        {"1e", "invalid numeric literal '1e'"},
        {"1e+", "invalid numeric literal '1e+'"},
        {"1.2.3", "invalid numeric literal '1.2.3'"},
        {".e5", "invalid numeric literal '.e5'"},
        {"1-", "invalid numeric literal '1-'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(error_text(parser::evaluate_expression(3, c.text, vars)),
                  "Parse error at line 3: " + c.message)
            << c.text;
}

// User gates through whole programs: bindings, nesting, arity and error lines.
TEST(QasmUserGates, Expansion) {
    const std::string g = "qreg q[3];\ngate g(theta) a, b { rx(theta) a; cx a, b; }\n";
    const std::string nest =
        "qreg q[3];\ngate inner b { cx a, b; }\ngate outer a { inner q[2]; }\n";
    const struct {
        std::string source;
        std::vector<std::string> instructions;
        std::string error;
    } cases[] = {
        {g + "G(0.5) q[1], q[0];", {"Rx(0.500) 1", "CNOT 1,0"}, ""},
        {g + "g q[0], q[1];", {}, "Parse error at line 4: gate 'g' expects 1 parameters, got 0"},
        {g + "g(1) q[0];", {}, "Parse error at line 4: gate 'g' expects 2 operands, got 1"},
        {g + "g q[0];", {}, "Parse error at line 4: gate 'g' expects 1 parameters, got 0"},
        // Inner bodies see the arguments of every enclosing call and global elements.
        {nest + "outer q[0];", {"CNOT 0,2"}, ""},
        {nest + "inner q[1];", {}, "Parse error at line 5: expected indexed identifier, got 'a'"},
        {"qreg q[2];\ngate g(x, y) a { gate2(x * y, -y) a; }\ngate gate2(x, y) a { u1(x + y) a; }\n"
         "g(3, 2) q[1];",
         {"Rz(4.000) 1"},
         ""},
        // A parameter list that repeats a name keeps the later value.
        {"qreg q[1];\ngate g(a, a) x { rx(a) x; }\ng(1, 2) q[0];", {"Rx(2.000) 0"}, ""},
        // Built-ins win over a definition of the same width, not over other widths.
        {"qreg q[2];\ngate h a { x a; }\ngate H a, b { cz a, b; }\nh q[0];\nh q[1], q[0];",
         {"H 0", "CZ 1,0"},
         ""},
        {"qreg q[1];\ngate e a { }\ne q[0];", {}, ""},
        // Body statements are gate calls only; "a[0]" names a register, not the argument.
        {"qreg q[1];\ngate g a { barrier a; }\ng q[0];", {}, "Unknown gate 'barrier'"},
        {"qreg q[1];\ngate g a { h a[0]; }\ng q[0];", {}, "Register 'a' not declared"},
        // An error deep inside reports the line of the top-level statement.
        {"qreg q[1];\ngate f a { x a; bad(pi +) a; }\ngate g a { h a; f a; }\n\ng q[0];",
         {},
         "Parse error at line 6: invalid numeric literal ''"},
        {"qreg q[1];\ncreg c[2];\ngate g a { h a; x a; }\nif(c==2) g q[0];",
         {"if 0,1==2 H 0", "if 0,1==2 X 0"},
         ""},
    };
    for (const auto& c : cases) {
        const auto r = parse_qasm(program(c.source));
        EXPECT_EQ(error_text(r), c.error) << c.source;
        if (r) {
            EXPECT_EQ(describe(*r), c.instructions) << c.source;
        }
    }
}

TEST(QasmUserGates, ParameterValuesAreExact) {
    const auto r = parse_qasm(program("qreg q[1];\ngate g(t) a { rx(t / 3) a; }\ng(pi) q[0];"));
    ASSERT_TRUE(r) << error_text(r);
    EXPECT_EQ(r->instructions()[0].get<Instruction::Gate>()->gate, gate::rx(PI / 3));
}

}  // namespace
