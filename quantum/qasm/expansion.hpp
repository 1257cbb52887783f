// Expansion of one gate call into concrete gates on global qubits: built-in
// gates first, then user definitions, whose bodies are expanded recursively
// with the call's parameters and qubits bound.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "quantum/qasm/builtin.hpp"
#include "quantum/qasm/error.hpp"
#include "quantum/qasm/expression.hpp"
#include "quantum/qasm/parser.hpp"

namespace tesvi_quantum::qasm::parser {

// A gate whose body calls itself, directly or not, must end in an error
// rather than exhaust the stack.
inline constexpr uint64_t MAX_GATE_NESTING = 64;
// Nested definitions multiply: ten gates that each call the previous one
// twice give 2^10 gates from one call. These bound what one parse may produce
// and spend.
inline constexpr uint64_t MAX_INSTRUCTIONS = 1 << 20;
inline constexpr uint64_t MAX_EXPANSION_WORK = 1 << 24;

// What one expansion reads; it never changes any of it. Each user-gate call
// expands its body in a new context with extended copies of the bindings.
struct ExpansionContext {
    const RegisterTable& qregs;
    const GateDefinitions& gate_definitions;
    QubitBindings qubit_bindings;
    ParamBindings param_bindings;
    uint64_t depth = 0;  // user-gate calls enclosing this expansion
};

// What is left to spend, shared by all expansions of one parse. Work is
// counted in bytes of body statements read plus bytes of binding names
// copied, which is what a user-gate call costs.
struct ExpansionBudget {
    uint64_t instructions = MAX_INSTRUCTIONS;
    uint64_t work = MAX_EXPANSION_WORK;

    Result<void> take_instructions(uint64_t line, uint64_t count);
    Result<void> take_work(uint64_t line, uint64_t units);
};

Result<std::vector<GateApplication>> expand_gate(uint64_t line, std::string_view text,
                                                 const ExpansionContext& context,
                                                 ExpansionBudget& budget);

// The same with a budget of its own.
Result<std::vector<GateApplication>> expand_gate(uint64_t line, std::string_view text,
                                                 const ExpansionContext& context);

}  // namespace tesvi_quantum::qasm::parser
