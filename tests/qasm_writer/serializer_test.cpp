#include "quantum/qasm/serializer.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::qasm::serializer::format_gate;
namespace gate = tesvi_quantum::gate;

Circuit make(uint64_t n) {
    return Circuit::create(n).value();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        out.push_back(text.substr(start, nl - start));
    out.push_back(text.substr(start));
    return out;
}

const std::vector<std::string> HEADER = {"OPENQASM 2.0;", "include \"qelib1.inc\";"};

TEST(FormatGate, EveryRow) {
    const struct {
        std::string name;
        std::vector<uint64_t> qubits;
        std::string line;
    } cases[] = {
        {"H", {3}, "h q[3];"},
        {"S", {0}, "s q[0];"},
        {"T", {0}, "t q[0];"},
        {"X", {1}, "x q[1];"},
        {"Y", {0}, "y q[0];"},
        {"Z", {0}, "z q[0];"},
        {"Sdg", {0}, "sdg q[0];"},
        {"Tdg", {12}, "tdg q[12];"},
        {"CZ", {2, 0}, "cz q[2], q[0];"},
        {"CNOT", {1, 0}, "cx q[1], q[0];"},
        {"SWAP", {0, 1}, "swap q[0], q[1];"},
        {"CR3", {0, 1}, "crk(3) q[0], q[1];"},
        {"CR0", {4, 2}, "crk(0) q[4], q[2];"},
        {"CR18446744073709551615", {0, 1}, "crk(18446744073709551615) q[0], q[1];"},
        {"Rx(0.500)", {3}, "rx(0.500) q[3];"},
        {"Rx(-0.500)", {0}, "rx(-0.500) q[0];"},
        {"Rx(NaN)", {0}, "rx(NaN) q[0];"},
        {"Ry(1.571)", {0}, "ry(1.571) q[0];"},
        {"Rz(0.785)", {1}, "rz(0.785) q[1];"},
        {"U3(0.100,0.200,0.300)", {0}, "u3(0.100,0.200,0.300) q[0];"},
        // No row: the comment line, without a ';'.
        {"CY", {0, 1}, "// unsupported gate CY on [0, 1]"},
        {"SX", {2}, "// unsupported gate SX on [2]"},
        {"Rzz(0.500)", {0, 1}, "// unsupported gate Rzz(0.500) on [0, 1]"},
        {"CR3^dagger", {2, 1}, "// unsupported gate CR3^dagger on [2, 1]"},
        {"CR", {0, 1}, "// unsupported gate CR on [0, 1]"},
        {"CRz", {0, 1}, "// unsupported gate CRz on [0, 1]"},
        {"h", {0}, "// unsupported gate h on [0]"},
        {"cnot", {0, 1}, "// unsupported gate cnot on [0, 1]"},
        // An exact name with the wrong operand count falls through to the comment.
        {"H", {0, 1}, "// unsupported gate H on [0, 1]"},
        {"CNOT", {0}, "// unsupported gate CNOT on [0]"},
        {"CR3", {0}, "// unsupported gate CR3 on [0]"},
        {"Rx(0.500)", {0, 1}, "// unsupported gate Rx(0.500) on [0, 1]"},
        {"U3(1.000,2.000,3.000)", {}, "// unsupported gate U3(1.000,2.000,3.000) on []"},
    };
    for (const auto& k : cases) EXPECT_EQ(format_gate(k.name, k.qubits), k.line) << k.name;
}

TEST(ToQasm, EmptyCircuitIsTheHeaderAlone) {
    EXPECT_EQ(tesvi_quantum::qasm::to_qasm(make(1)),
              "OPENQASM 2.0;\ninclude \"qelib1.inc\";\nqreg q[1];");
}

TEST(ToQasm, WholePrograms) {
    const struct {
        const char* what;
        uint64_t qubits;
        std::function<void(Circuit&)> build;
        std::vector<std::string> body;  // after the header
    } cases[] = {
        {"measure_all",
         2,
         [](Circuit& c) { c.measure_all(); },
         {"qreg q[2];", "creg c[2];", "measure q[0] -> c[0];", "measure q[1] -> c[1];"}},
        {"measure into a later bit",
         2,
         [](Circuit& c) {
             c.h(1);
             c.measure_into(1, 4);
         },
         {"qreg q[2];", "creg c[5];", "h q[1];", "measure q[1] -> c[4];"}},
        {"barriers",
         3,
         [](Circuit& c) {
             c.barrier_all();
             c.barrier({0, 1});
             c.barrier({2, 1, 0});
             c.barrier({2, 0});
             c.barrier({});
         },
         {"qreg q[3];", "barrier q;", "barrier q[0], q[1];", "barrier q[2], q[1], q[0];",
          "barrier q[2], q[0];", "// empty barrier"}},
        {"conditionals",
         2,
         [](Circuit& c) {
             c.measure(0);
             c.measure(1);
             c.conditional_gate({1}, 3, gate::x(), {1});
             c.conditional_gate({0}, 1, gate::rx(0.5), {0});
             c.conditional_gate({0, 1}, 2, gate::crk(2), {1, 0});
             c.conditional_gate({0}, 1, gate::cy(), {0, 1});
             c.conditional_gate({0}, 1, gate::crk(2).dagger(), {1, 0});
         },
         {"qreg q[2];", "creg c[2];", "measure q[0] -> c[0];", "measure q[1] -> c[1];",
          "if(c==3) x q[1];", "if(c==1) rx(0.500) q[0];", "if(c==2) crk(2) q[1], q[0];",
          "// if(c==1) unsupported gate CY on [0, 1]",
          "// if(c==1) unsupported gate CR2^dagger on [1, 0]"}},
        {"iqft",
         2,
         [](Circuit& c) {
             c.iqft({0, 1});
         },
         {"qreg q[2];", "swap q[0], q[1];", "h q[1];", "// unsupported gate CR2^dagger on [1, 0]",
          "h q[0];"}},
        {"toffoli",
         3,
         [](Circuit& c) { c.toffoli(0, 1, 2); },
         {"qreg q[3];", "h q[2];", "cx q[1], q[2];", "tdg q[2];", "cx q[0], q[2];", "t q[2];",
          "cx q[1], q[2];", "tdg q[2];", "cx q[0], q[2];", "t q[1];", "t q[2];", "h q[2];",
          "cx q[0], q[1];", "t q[0];", "tdg q[1];", "cx q[0], q[1];"}},
    };
    for (const auto& k : cases) {
        Circuit c = make(k.qubits);
        k.build(c);
        std::vector<std::string> want = HEADER;
        want.insert(want.end(), k.body.begin(), k.body.end());
        EXPECT_EQ(lines(tesvi_quantum::qasm::to_qasm(c)), want) << k.what;
    }
}

TEST(ToQasm, NoTrailingOrBlankLines) {
    Circuit c = make(2);
    c.h(0);
    c.cy(0, 1);
    c.measure_all();
    const std::string text = tesvi_quantum::qasm::to_qasm(c);
    EXPECT_NE(text.back(), '\n');
    EXPECT_EQ(text.find("\n\n"), std::string::npos);
    EXPECT_EQ(lines(text).size(), 4 + c.instructions().size());
}

}  // namespace
