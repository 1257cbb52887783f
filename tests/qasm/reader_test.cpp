#include <gtest/gtest.h>

#include "common/text.hpp"
#include "qasm_helpers.hpp"
#include "quantum/qasm/scanner.hpp"

namespace {

using namespace qasm_test;
using tesvi_quantum::qasm::parse_qasm;
using tesvi_quantum::qasm::QasmError;
namespace parser = tesvi_quantum::qasm::parser;

TEST(QasmErrors, DisplayTexts) {
    const struct {
        QasmError error;
        std::string text;
    } cases[] = {
        {QasmError::ParseError{7, "measurement must use '->'"},
         "Parse error at line 7: measurement must use '->'"},
        {QasmError::UnknownGate{"crk"}, "Unknown gate 'crk'"},
        {QasmError::UndeclaredRegister{"s"}, "Register 's' not declared"},
        {QasmError::RegisterIndexOutOfRange{"c", 5, 2},
         "Qubit index 5 out of range for register 'c' (size 2)"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.error.message(), c.text);
}

// Each program fails on its first problem, with the line of the statement for
// parse errors and no line for the register errors.
TEST(QasmReader, ReportsTheFirstProblem) {
    const std::string dup00 = "Two-qubit gate requires different qubits, got 0 and 0";
    const struct {
        std::string source;
        std::string error;
    } cases[] = {
        // Header and scanner.
        {"", "Parse error at line 1: missing OPENQASM header"},
        {"// only a comment\n\n   \n// another", "Parse error at line 1: missing OPENQASM header"},
        {";; ;", "Parse error at line 1: missing OPENQASM header"},
        {"OPENQASM 3.0;", "Parse error at line 1: expected 'OPENQASM 2.0;' header"},
        {"\n\n  OPENQASM 3.0;", "Parse error at line 3: expected 'OPENQASM 2.0;' header"},
        {"OPENQASM  2.0;", "Parse error at line 1: expected 'OPENQASM 2.0;' header"},
        {"OPENQASM\t2.0;", "Parse error at line 1: expected 'OPENQASM 2.0;' header"},
        {"qreg q[1];\nOPENQASM 2.0;", "Parse error at line 1: expected 'OPENQASM 2.0;' header"},
        {program("qreg q[1];\nh q[0]"), "Parse error at line 3: missing semicolon or closing '}'"},
        {program("qreg q[1];\ngate g a {\nh a;\n"),
         "Parse error at line 3: missing semicolon or closing '}'"},
        {program("qreg q[1];\nh q[0]; // the end;"), ""},
        // Declarations.
        {program("include \"stdgates.inc\";"),
         "Parse error at line 2: only include \"qelib1.inc\" is supported"},
        // "//" starts a comment also inside quotation marks.
        {program("include \"qelib1.inc//\";\nqreg q[1];"),
         "Parse error at line 2: only include \"qelib1.inc\" is supported"},
        {program("include  \"qelib1.inc\";"),
         "Parse error at line 2: only include \"qelib1.inc\" is supported"},
        {program(""), "Parse error at line 1: at least one qreg declaration is required"},
        {program("creg c[2];\nqreg q[0];"),
         "Parse error at line 1: at least one qreg declaration is required"},
        {program("qreg a[100];\nqreg b[20];\nqreg c[9];"),
         "Parse error at line 1: Circuit exceeds maximum qubit count (129 > 128)"},
        {program("qreg q]2[;"), "Parse error at line 2: expected closing ']' in 'q]2['"},
        {program("qreg q2];"), "Parse error at line 2: expected indexed identifier, got 'q2]'"},
        {program("qreg q[-1];"), "Parse error at line 2: invalid register index in 'q[-1]'"},
        {program("qreg q[1.0];"), "Parse error at line 2: invalid register index in 'q[1.0]'"},
        {program("qreg q[0x1];"), "Parse error at line 2: invalid register index in 'q[0x1]'"},
        {program("qreg q[];"), "Parse error at line 2: invalid register index in 'q[]'"},
        {program("qreg q[+];"), "Parse error at line 2: invalid register index in 'q[+]'"},
        {program("qreg q[18446744073709551616];"),
         "Parse error at line 2: invalid register index in 'q[18446744073709551616]'"},
        {program("gate g a;"), "Parse error at line 2: gate definition must contain '{'"},
        {program("gate g { x; }"), "Parse error at line 2: gate statement requires operands"},
        // Operations.
        {program("qreg q[1];\nh;"), "Parse error at line 3: gate statement requires operands"},
        {program("qreg q[1];\nbarrier;"),
         "Parse error at line 3: gate statement requires operands"},
        {program("qreg q[2];\n\n   x q[5];"),
         "Qubit index 5 out of range for register 'q' (size 2)"},
        {program("qreg q[2];\n\n   cx q[0], q[0];"), "Parse error at line 4: " + dup00},
        {"OPENQASM 2.0;\r\nqreg q[2];\r\n\r\n   cx q[0], q[0];\r\n",
         "Parse error at line 4: " + dup00},
        {program("qreg q[2];\nh q;"),
         "Parse error at line 3: expected indexed identifier, got 'q'"},
        {program("qreg q[2];\nh r[0];"), "Register 'r' not declared"},
        {program("qreg q[2];\nfoo q[0];"), "Unknown gate 'foo'"},
        {program("qreg q[2];\nreset q[0];"), "Unknown gate 'reset'"},
        // A tab after a keyword makes a gate call of it.
        {program("qreg q[3];\nqreg\tq[2];"), "Unknown gate 'qreg'"},
        {program("qreg q[1];\ncreg c[1];\nmeasure\tq[0] -> c[0];"),
         "Parse error at line 4: invalid register index in 'q[0] -> c[0]'"},
        {program("qreg q[1];\ncreg c[1];\nmeasure q -> c;"),
         "Parse error at line 4: expected indexed identifier, got 'q'"},
        {program("qreg q[1];\ncreg c[1];\nmeasure q[0] => c[0];"),
         "Parse error at line 4: measurement must use '->'"},
        {program("qreg q[1];\ncreg c[2];\nmeasure q[0] -> c[2];"),
         "Qubit index 2 out of range for register 'c' (size 2)"},
        {program("qreg q[1];\nmeasure q[0] -> c[0];"), "Register 'c' not declared"},
        {program("qreg q[2];\nbarrier s;"), "Register 's' not declared"},
        {program("qreg q[2];\nbarrier q[0], q[0];"), "Parse error at line 3: " + dup00},
        {program("qreg q[2];\nbarrier q[2];"),
         "Qubit index 2 out of range for register 'q' (size 2)"},
        // Conditionals.
        {program("qreg q[1];\ncreg c[2];\nif(c==-1) x q[0];"),
         "Parse error at line 4: conditional value must be an integer"},
        {program("qreg q[1];\ncreg c[2];\nif(c==) x q[0];"),
         "Parse error at line 4: conditional value must be an integer"},
        {program("qreg q[1];\ncreg c[2];\nif(c==1.0) x q[0];"),
         "Parse error at line 4: conditional value must be an integer"},
        {program("qreg q[1];\nif(d==1) x q[0];"), "Register 'd' not declared"},
        {program("qreg q[1];\nif(d==oops) x q[0];"), "Register 'd' not declared"},
        {program("qreg q[1];\ncreg c[1];\nif(c==1 x q[0];"),
         "Parse error at line 4: conditional statement missing ')'"},
        {program("qreg q[1];\ncreg c[1];\nif(c=1) x q[0];"),
         "Parse error at line 4: conditional must use '=='"},
        {program("qreg q[1];\ncreg c[1];\nif(c==1) measure q[0] -> c[0];"),
         "Parse error at line 4: invalid register index in 'q[0] -> c[0]'"},
        {program("qreg q[1];\ncreg c[1];\nif(c==1);"),
         "Parse error at line 4: gate statement requires operands"},
        {program("qreg q[1];\ncreg e[0];\nif(e==0) x q[0];"),
         "Parse error at line 4: Simulation error: conditional gates require at least one "
         "classical bit"},
        {program("qreg q[2];\ncreg c[1];\nif(c==0) cx q[1], q[1];"),
         "Parse error at line 4: Two-qubit gate requires different qubits, got 1 and 1"},
    };
    for (const auto& c : cases) EXPECT_EQ(error_text(parse_qasm(c.source)), c.error) << c.source;
}

TEST(QasmReader, BuildsTheCircuit) {
    const struct {
        std::string source;
        uint64_t qubits, bits;
        std::vector<std::string> instructions;
    } cases[] = {
        // Header split over two lines; register used before its declaration.
        {"OPENQASM\n2.0;\nh q[0];\nqreg q[1];", 1, 0, {"H 0"}},
        // A redeclared name keeps the earlier qubits, no longer reachable by name.
        {program("qreg q[2]; qreg q[3]; x q[0];"), 5, 0, {"X 2"}},
        {program("qreg q[1];\ncreg c[3];"), 1, 3, {}},
        {program("include \"qelib1.inc\";\nqreg q[1];\ninclude \"qelib1.inc\";"), 1, 0, {}},
        {program("qreg q[2]junk;\nqreg r[ +2 ];"), 4, 0, {}},
        {program("qreg q[1];\nh q[0];;  ;"), 1, 0, {"H 0"}},
        {program("qreg q[2];\nh q[1]x;"), 2, 0, {"H 1"}},
        // Comments, also inside quotation marks, and line breaks inside a statement.
        {program("qreg q[2]; // x q[0];\ncx q[0],\n  q[1];"), 2, 0, {"CNOT 0,1"}},
        {program("qreg a[1];\nqreg b[2];\ncreg c[1];\ncreg d[2];\nmeasure b[1] -> d[0];"),
         3,
         3,
         {"measure 2->1"}},
        {program("qreg q[2];\nqreg r[2];\nbarrier q, r[1];\nbarrier ,;\nbarrier r;"),
         4,
         0,
         {"barrier 0,1,3", "barrier ", "barrier 2,3"}},
        {program("qreg q[1];\ncreg c[2];\nif(c==3) x q[0];"), 1, 2, {"if 0,1==3 X 0"}},
        {program("qreg q[1];\ncreg a[1];\ncreg c[2];\nif (c == +3) x q[0];\nif(c==3)id q[0];"),
         1,
         3,
         {"if 1,2==3 X 0"}},
        {program("qreg q[1];\ncreg c[1];\nif(c==18446744073709551615) x q[0];"),
         1,
         1,
         {"if 0==18446744073709551615 X 0"}},
        // Declarations take effect before any operation, whatever their position.
        {program("qreg q[2];\ng q[1];\ngate g a { h a; }\ngate G a { x a; }"), 2, 0, {"X 1"}},
        {program("qreg q[1];\ngate g a { bad statement } h q[0];"), 1, 0, {"H 0"}},
    };
    for (const auto& c : cases) {
        const auto r = parse_qasm(c.source);
        ASSERT_TRUE(r) << c.source << "\n" << error_text(r);
        EXPECT_EQ(r->num_qubits(), c.qubits) << c.source;
        EXPECT_EQ(r->num_classical_bits(), c.bits) << c.source;
        EXPECT_EQ(describe(*r), c.instructions) << c.source;
    }
}

// White space is the Unicode White_Space set; U+200B (zero width space) is not in it.
TEST(QasmReader, UnicodeWhiteSpace) {
    const std::string nbsp = "\u00a0", ideographic = "\u3000", line_sep = "\u2028";
    const struct {
        std::string source;
        std::string error;  // "" for success with one instruction
    } cases[] = {
        {program("qreg q[1];\nh" + nbsp + "q[0];"), ""},
        {program("qreg q[1];\n" + ideographic + "h q[0]" + ideographic + ";"), ""},
        {program("qreg q[2];\nqreg" + nbsp + "q[1];"), "Unknown gate 'qreg'"},
        {program("qreg q[" + line_sep + "1\u2003];\nrx(1" + nbsp + "*" + nbsp + "2) q[0];"), ""},
        {program("qreg q[1];\nh\u200bq[0];"),
         "Parse error at line 3: gate statement requires operands"},
        {program("qreg q[2];\n\n" + nbsp + nbsp + "cx q[0], q[0];"),
         "Parse error at line 4: Two-qubit gate requires different qubits, got 0 and 0"},
        {"OPENQASM" + nbsp + "2.0;", "Parse error at line 1: expected 'OPENQASM 2.0;' header"},
        // Bytes that are not UTF-8 are ordinary characters.
        {program("qreg q[1];\n\xff\xfe q[0];"), "Unknown gate '\xff\xfe'"},
    };
    for (const auto& c : cases) {
        const auto r = parse_qasm(c.source);
        EXPECT_EQ(error_text(r), c.error) << c.source;
        if (r && c.error.empty()) {
            EXPECT_EQ(r->instructions().size(), 1u) << c.source;
        }
    }
}

TEST(QasmScanner, StatementsKeepTheLineOfTheirFirstVisibleCharacter) {
    const auto r = parser::scan_statements(
        parser::remove_comments("OPENQASM 2.0; // c\r\n\n  gate g a {\n h a;\n} x q[0]\n;\n"
                                "}\nstray }"));
    ASSERT_TRUE(r);
    const std::vector<parser::Statement> expected = {
        {1, "OPENQASM 2.0"}, {3, "gate g a {  h a; }"}, {5, "x q[0]"}, {7, "}"}, {8, "stray }"},
    };
    EXPECT_EQ(*r, expected);
}

TEST(QasmHelpers, SplitArguments) {
    using V = std::vector<std::string_view>;
    const struct {
        std::string_view text;
        V pieces;
    } cases[] = {
        {"a, ,b,", {"a", "b"}},
        {"f(a,b), c", {"f(a,b)", "c"}},
        {"a) , (b, c", {"a)", "(b, c"}},
        {"q[0,1], r", {"q[0", "1]", "r"}},
        {" , ,", {}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(parser::split_arguments(c.text), c.pieces) << c.text;
}

TEST(QasmHelpers, SplitGateStatement) {
    const struct {
        std::string_view text;
        parser::GateStatement split;
        std::string error;
    } cases[] = {
        {"rx(pi / 2) q[0]", {"rx(pi / 2)", "q[0]"}, ""},
        {"h  q[0], q[1]", {"h", "q[0], q[1]"}, ""},
        {"a) (b c) d", {"a)", "(b c) d"}, ""},
        {"h\u2003q[0]", {"h", "q[0]"}, ""},
        {"h", {}, "Parse error at line 9: gate statement requires operands"},
        {"rx(pi / 2)", {}, "Parse error at line 9: gate statement requires operands"},
        {"h   ", {}, "Parse error at line 9: gate statement requires operands"},
    };
    for (const auto& c : cases) {
        const auto r = parser::split_gate_statement(9, c.text);
        EXPECT_EQ(error_text(r), c.error) << c.text;
        if (r) {
            EXPECT_EQ(*r, c.split) << c.text;
        }
    }
}

TEST(QasmHelpers, IndexedIdentifiersAndUnsignedNumbers) {
    const struct {
        std::string_view text;
        parser::IndexedIdentifier id;
        std::string error;
    } cases[] = {
        {"q[1]x", {"q", 1}, ""},
        {"q [ +2 ]", {"q", 2}, ""},
        {"[3]", {"", 3}, ""},
        {"q[18446744073709551615]", {"q", UINT64_MAX}, ""},
        {"a[1]]", {}, "Parse error at line 2: invalid register index in 'a[1]]'"},
        {"q", {}, "Parse error at line 2: expected indexed identifier, got 'q'"},
        {"q[1", {}, "Parse error at line 2: expected closing ']' in 'q[1'"},
        {"q]1[", {}, "Parse error at line 2: expected closing ']' in 'q]1['"},
        {"q[-0]", {}, "Parse error at line 2: invalid register index in 'q[-0]'"},
        {"q[1 2]", {}, "Parse error at line 2: invalid register index in 'q[1 2]'"},
    };
    for (const auto& c : cases) {
        const auto r = parser::parse_indexed_identifier(2, c.text);
        EXPECT_EQ(error_text(r), c.error) << c.text;
        if (r) {
            EXPECT_EQ(*r, c.id) << c.text;
        }
    }
}

TEST(QasmHelpers, ResolveReferences) {
    const parser::RegisterTable qregs = {{"q", {0, 2}}, {"r", {2, 3}}};
    const parser::QubitBindings bindings = {{"a", 4}, {"q[0]", 3}};
    const struct {
        std::string_view text;
        uint64_t qubit;
        std::string error;
    } cases[] = {
        {"r[2]", 4, ""},
        {"a", 4, ""},
        {"q[0]", 3, ""},  // a binding is matched by its exact text first
        {"q[1]", 1, ""},
        {"a[0]", 0, "Register 'a' not declared"},
        {"q[2]", 0, "Qubit index 2 out of range for register 'q' (size 2)"},
        {"b", 0, "Parse error at line 5: expected indexed identifier, got 'b'"},
    };
    for (const auto& c : cases) {
        const auto r = parser::resolve_quantum_reference(5, c.text, qregs, bindings);
        EXPECT_EQ(error_text(r), c.error) << c.text;
        if (r) {
            EXPECT_EQ(*r, c.qubit) << c.text;
        }
    }
}

TEST(QasmHelpers, Trim) {
    namespace text = tesvi::text;
    EXPECT_EQ(text::trim("\u3000\t a b\u00a0\u2029\r\n"), "a b");
    EXPECT_EQ(text::trim("\u200ba\u200b"), "\u200ba\u200b");
    // A lead byte without its continuation is not white space.
    EXPECT_EQ(text::trim("\xe2\x80 x \xc2"), "\xe2\x80 x \xc2");
    EXPECT_EQ(text::trim(" \u0085 "), "");
}

}  // namespace
