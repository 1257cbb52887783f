// Hostile programs end in a clear error instead of exhausting the stack,
// memory or time.
#include <gtest/gtest.h>

#include "qasm_helpers.hpp"
#include "quantum/qasm/expansion.hpp"

namespace {

using namespace qasm_test;
using tesvi_quantum::qasm::parse_qasm;
namespace parser = tesvi_quantum::qasm::parser;

std::string repeat(std::string_view s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

// Gates g0 .. gn on one qubit: g0 applies `leaf`, every other gate calls the
// one before it `fan` times.
std::string chain(int n, int fan, std::string_view leaf) {
    std::string s = "gate g0 a { " + std::string(leaf) + " a; }\n";
    for (int i = 1; i <= n; ++i)
        s += "gate g" + std::to_string(i) + " a {" +
             repeat(" g" + std::to_string(i - 1) + " a;", fan) + " }\n";
    return s;
}

std::string call(int n) {
    return "g" + std::to_string(n) + " q[0];";
}

TEST(QasmBounds, Nesting) {
    const std::string deep = "Parse error at line 3: gate 'g0' nested more than 64 calls deep";
    const struct {
        std::string what, body, error;
    } cases[] = {
        {"self", "gate g a { h a; g a; }\ng q[0];",
         "Parse error at line 4: gate 'g' nested more than 64 calls deep"},
        {"mutual", "gate f a { g a; }\ngate g a { f a; }\nf q[0];",
         "Parse error at line 5: gate 'f' nested more than 64 calls deep"},
        {"64 levels", call(63) + "\n" + chain(63, 1, "h"), ""},
        {"65 levels", call(64) + "\n" + chain(64, 1, "h"), deep},
        {"256 parentheses", "rx(" + repeat("(", 256) + "1" + repeat(")", 256) + ") q[0];", ""},
        {"257 parentheses", "rx(" + repeat("(", 257) + "1" + repeat(")", 257) + ") q[0];",
         "Parse error at line 3: expression nested more than 256 levels deep"},
        {"256 signs", "rx(" + repeat("- ", 256) + "1) q[0];", ""},
        {"257 signs", "rx(" + repeat("-", 257) + "1) q[0];",
         "Parse error at line 3: expression nested more than 256 levels deep"},
        // Plus signs are skipped, not nested.
        {"many plus signs", "rx(" + repeat("+", 100000) + "1) q[0];", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(error_text(parse_qasm(program("qreg q[1];\n" + c.body))), c.error) << c.what;
}

TEST(QasmBounds, RegisterTotals) {
    const std::string max = "18446744073709551615";
    const struct {
        std::string body, error;
    } cases[] = {
        {"qreg q[99999999999];",
         "Parse error at line 1: Circuit exceeds maximum qubit count (99999999999 > 128)"},
        {"qreg q[" + max + "];\nqreg r[" + max + "];",
         "Parse error at line 1: Circuit exceeds maximum qubit count (" + max + " > 128)"},
        {"qreg q[1];\ncreg c[65537];",
         "Parse error at line 1: Circuit exceeds maximum classical bit count (65537 > 65536)"},
        {"qreg q[1];\ncreg c0[60000];\ncreg c1[60000];",
         "Parse error at line 1: Circuit exceeds maximum classical bit count (120000 > 65536)"},
        {"qreg q[1];\ncreg c[" + max + "];\ncreg d[2];",
         "Parse error at line 1: Circuit exceeds maximum classical bit count (" + max +
             " > 65536)"},
        // The qubit total is checked first.
        {"qreg q[129];\ncreg c[65537];",
         "Parse error at line 1: Circuit exceeds maximum qubit count (129 > 128)"},
        {"qreg q[128];\ncreg c[65536];", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(error_text(parse_qasm(program(c.body))), c.error) << c.body;
}

// Thirty gates that each call the one before twice ask for 2^30 gates from
// a few hundred bytes: the reader stops at its instruction bound, and at its
// work bound when the gates produce nothing.
TEST(QasmBounds, ExponentialExpansion) {
    EXPECT_EQ(error_text(parse_qasm(program("qreg q[1];\n" + chain(30, 2, "h") + call(30)))),
              "Parse error at line 34: circuit would exceed 1048576 instructions");
    EXPECT_EQ(error_text(parse_qasm(program("qreg q[1];\n" + chain(30, 2, "id") + call(30)))),
              "Parse error at line 34: gate expansion exceeds 16777216 steps");
}

// Every call copies the binding names in force, so long names are charged by
// their bytes: a 1 MB parameter name copied through three levels of fan-out
// stops at the work bound instead of copying for minutes.
TEST(QasmBounds, LongBindingNamesCountByTheirBytes) {
    const std::string name(1 << 20, 'p');
    const std::string text = "qreg q[1];\ngate g0 a { id a; }\ngate g1(" + name + ") a {" +
                             repeat(" g0 a;", 100) + " }\ngate g2 a {" + repeat(" g1(0) a;", 100) +
                             " }\ngate g3 a {" + repeat(" g2 a;", 100) + " }\ng3 q[0];";
    EXPECT_EQ(error_text(parse_qasm(program(text))),
              "Parse error at line 7: gate expansion exceeds 16777216 steps");
}

TEST(QasmBounds, InstructionBudgetIsExact) {
    // g0 applies H; g1 to g3 call the gate before twice, so g3 gives 8 gates.
    parser::GateDefinitions definitions{{"g0", {{}, {"a"}, {"h a"}}}};
    for (int i = 1; i <= 3; ++i) {
        const std::string inner = "g" + std::to_string(i - 1) + " a";
        definitions["g" + std::to_string(i)] = {{}, {"a"}, {inner, inner}};
    }
    const parser::RegisterTable qregs{{"q", {0, 1}}};
    const parser::ExpansionContext top{qregs, definitions, {}, {}};

    parser::ExpansionBudget exact{8};
    EXPECT_EQ(parser::expand_gate(1, "g3 q[0]", top, exact).value().size(), 8u);
    EXPECT_EQ(exact.instructions, 0u);
    parser::ExpansionBudget short_by_one{7};
    EXPECT_EQ(error_text(parser::expand_gate(1, "g3 q[0]", top, short_by_one)),
              "Parse error at line 1: circuit would exceed 1048576 instructions");
}

// A conditional lists every bit of its register; 256 conditionals over the
// largest register fit the bound, the 257th does not.
TEST(QasmBounds, ConditionalBits) {
    const std::string gates = "gate g a {" + repeat(" h a;", 256) + " }\n";
    const std::string head = "qreg q[1];\ncreg c[65536];\n" + gates;
    const auto fits = parse_qasm(program(head + "if(c==0) g q[0];"));
    ASSERT_TRUE(fits) << error_text(fits);
    EXPECT_EQ(fits->instructions().size(), 256u);
    EXPECT_EQ(error_text(parse_qasm(program(head + "if(c==0) g q[0];\nif(c==1) x q[0];"))),
              "Parse error at line 6: conditionals would list more than 16777216 classical bits");
}

// Long barrier lists reach the builder in a bounded form with the same verdict:
// the repeated qubit whose first occurrence comes first.
TEST(QasmBounds, BarrierRepeats) {
    auto dup = [](int q) {
        return "Parse error at line 3: Two-qubit gate requires different qubits, got " +
               std::to_string(q) + " and " + std::to_string(q);
    };
    const struct {
        std::string args, error;
        std::vector<std::string> instructions;
    } cases[] = {
        {"q[0], q[1], q[1], q[0]", dup(0), {}},
        {"q[1], q, q[0]", dup(1), {}},
        {"q[3], q[2], q[0]", "", {"barrier 3,2,0"}},
        {"q" + repeat(", q", 100000), dup(0), {}},
    };
    for (const auto& c : cases) {
        const auto r = parse_qasm(program("qreg q[128];\nbarrier " + c.args + ";"));
        EXPECT_EQ(error_text(r), c.error) << c.args.substr(0, 40);
        if (r) {
            EXPECT_EQ(describe(*r), c.instructions);
        }
    }
}

}  // namespace
