// The OpenQASM 2.0 reader: source text in, a Circuit or the first problem
// out. Declarations (registers, gate definitions) take effect for the whole
// program; operations are then appended in text order through the circuit's
// checked builders.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "quantum/circuit/circuit.hpp"
#include "quantum/qasm/error.hpp"

namespace tesvi_quantum::qasm {

namespace parser {

struct Register {
    uint64_t offset;  // global index of element 0
    uint64_t size;
    bool operator==(const Register&) const = default;
};

// Register name, exactly as written -> its place in the shared index space.
using RegisterTable = std::map<std::string, Register, std::less<>>;

struct GateDefinition {
    std::vector<std::string> params;  // as written, in declaration order
    std::vector<std::string> qubits;  // as written, in declaration order
    std::vector<std::string> body;    // trimmed statements without their ";"
    bool operator==(const GateDefinition&) const = default;
};

// ASCII lower-cased gate name -> its definition.
using GateDefinitions = std::map<std::string, GateDefinition, std::less<>>;

// Qubit argument name -> global qubit index, while a user gate is expanded.
using QubitBindings = std::map<std::string, uint64_t, std::less<>>;

// The classical registers together are bounded like any circuit's: simulation
// keeps every classical bit per shot, and nothing else limits a "creg" size.
using circuit::MAX_CLASSICAL_BITS;
// A conditional lists every bit of its register, so a short text could
// otherwise ask for gigabytes of bit lists.
inline constexpr uint64_t MAX_CONDITIONAL_BITS = 1 << 24;

Result<circuit::Circuit> parse_qasm(std::string_view source);

// The pieces between commas outside parentheses, each trimmed; empty pieces
// are dropped. The views point into `text`.
std::vector<std::string_view> split_arguments(std::string_view text);

// A call split at its first white space outside parentheses that has
// something after it. The views point into the text split.
struct GateStatement {
    std::string_view head;
    std::string_view operands;
    bool operator==(const GateStatement&) const = default;
};
Result<GateStatement> split_gate_statement(uint64_t line, std::string_view text);

// A head "name(p0, p1, ...)" or "name": the name before the first "(",
// trimmed, and the arguments up to the last ")".
struct CallHead {
    std::string_view name;
    std::vector<std::string_view> params;
};
CallHead split_call_head(std::string_view head);

// "name[index]"; anything after the last "]" is ignored.
struct IndexedIdentifier {
    std::string_view name;
    uint64_t index;
    bool operator==(const IndexedIdentifier&) const = default;
};
Result<IndexedIdentifier> parse_indexed_identifier(uint64_t line, std::string_view text);

// The global index of "name[index]" in one register table.
Result<uint64_t> resolve_register_reference(uint64_t line, std::string_view text,
                                            const RegisterTable& table);

// A bound qubit argument (exact text), else "name[index]" in the quantum registers.
Result<uint64_t> resolve_quantum_reference(uint64_t line, std::string_view text,
                                           const RegisterTable& qregs,
                                           const QubitBindings& qubit_bindings);

}  // namespace parser

// The library's entry to the reader.
inline Result<circuit::Circuit> parse_qasm(std::string_view source) {
    return parser::parse_qasm(source);
}

}  // namespace tesvi_quantum::qasm
