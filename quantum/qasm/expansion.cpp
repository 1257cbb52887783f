#include "quantum/qasm/expansion.hpp"

#include <iterator>
#include <string>

#include "common/text.hpp"

namespace tesvi_quantum::qasm::parser {

namespace text = tesvi::text;
namespace {

using std::to_string;
using Applications = std::vector<GateApplication>;

Result<std::vector<double>> evaluate_params(uint64_t line,
                                            const std::vector<std::string_view>& texts,
                                            const ParamBindings& bindings) {
    std::vector<double> values;
    values.reserve(texts.size());
    for (std::string_view text : texts) {
        Result<double> value = evaluate_expression(line, text, bindings);
        if (!value) return fail(std::move(value).error());
        values.push_back(*value);
    }
    return values;
}

Result<std::vector<uint64_t>> resolve_operands(uint64_t line, std::string_view operands,
                                               const ExpansionContext& context) {
    std::vector<uint64_t> qubits;
    for (std::string_view operand : split_arguments(operands)) {
        Result<uint64_t> qubit =
            resolve_quantum_reference(line, operand, context.qregs, context.qubit_bindings);
        if (!qubit) return fail(std::move(qubit).error());
        qubits.push_back(*qubit);
    }
    return qubits;
}

Result<void> check_call(uint64_t line, const std::string& name, const GateDefinition& definition,
                        size_t values, size_t qubits) {
    if (definition.params.size() != values)
        return parse_error(line, "gate '" + name + "' expects " +
                                     to_string(definition.params.size()) + " parameters, got " +
                                     to_string(values));
    if (definition.qubits.size() != qubits)
        return parse_error(line, "gate '" + name + "' expects " +
                                     to_string(definition.qubits.size()) + " operands, got " +
                                     to_string(qubits));
    return {};
}

Result<void> expand_into(uint64_t line, std::string_view text, const ExpansionContext& context,
                         ExpansionBudget& budget, Applications& out);

// What one call copies: every bound name in force, and the names it binds.
uint64_t binding_bytes(const GateDefinition& definition, const ExpansionContext& context) {
    uint64_t bytes = 0;
    for (const std::string& n : definition.params) bytes += n.size();
    for (const std::string& n : definition.qubits) bytes += n.size();
    for (const auto& [n, q] : context.qubit_bindings) bytes += n.size();
    for (const auto& [n, v] : context.param_bindings) bytes += n.size();
    return bytes;
}

Result<void> expand_definition(uint64_t line, const std::string& name,
                               const GateDefinition& definition, const std::vector<double>& values,
                               const std::vector<uint64_t>& qubits, const ExpansionContext& context,
                               ExpansionBudget& budget, Applications& out) {
    if (context.depth == MAX_GATE_NESTING)
        return parse_error(line, "gate '" + name + "' nested more than " +
                                     to_string(MAX_GATE_NESTING) + " calls deep");
    if (auto r = budget.take_work(line, binding_bytes(definition, context)); !r) return r;

    ExpansionContext inner{context.qregs, context.gate_definitions, context.qubit_bindings,
                           context.param_bindings, context.depth + 1};
    // A name repeated in the argument list keeps its later value.
    for (size_t i = 0; i < values.size(); ++i)
        inner.param_bindings.insert_or_assign(definition.params[i], values[i]);
    for (size_t i = 0; i < qubits.size(); ++i)
        inner.qubit_bindings.insert_or_assign(definition.qubits[i], qubits[i]);

    for (const std::string& statement : definition.body) {
        if (auto r = budget.take_work(line, statement.size()); !r) return r;
        if (auto r = expand_into(line, statement, inner, budget, out); !r) return r;
    }
    return {};
}

// Errors come in a fixed order: the statement split, then parameters, then
// operands, and only then an unknown gate or a wrong argument count.
Result<void> expand_into(uint64_t line, std::string_view text, const ExpansionContext& context,
                         ExpansionBudget& budget, Applications& out) {
    const Result<GateStatement> statement = split_gate_statement(line, text);
    if (!statement) return fail(statement.error());
    const CallHead head = split_call_head(statement->head);
    const std::string name = text::ascii_lower(head.name);

    const Result<std::vector<double>> values =
        evaluate_params(line, head.params, context.param_bindings);
    if (!values) return fail(values.error());
    const Result<std::vector<uint64_t>> qubits =
        resolve_operands(line, statement->operands, context);
    if (!qubits) return fail(qubits.error());

    if (auto builtin = builtin_gate(name, *values, *qubits)) {
        if (auto r = budget.take_instructions(line, builtin->size()); !r) return r;
        out.insert(out.end(), std::make_move_iterator(builtin->begin()),
                   std::make_move_iterator(builtin->end()));
        return {};
    }
    const auto it = context.gate_definitions.find(name);
    if (it == context.gate_definitions.end()) return fail(QasmError::UnknownGate{name});
    if (auto r = check_call(line, name, it->second, values->size(), qubits->size()); !r) return r;
    return expand_definition(line, name, it->second, *values, *qubits, context, budget, out);
}

}  // namespace

Result<void> ExpansionBudget::take_instructions(uint64_t line, uint64_t count) {
    if (count > instructions)
        return parse_error(line,
                           "circuit would exceed " + to_string(MAX_INSTRUCTIONS) + " instructions");
    instructions -= count;
    return {};
}

Result<void> ExpansionBudget::take_work(uint64_t line, uint64_t units) {
    if (units > work)
        return parse_error(line,
                           "gate expansion exceeds " + to_string(MAX_EXPANSION_WORK) + " steps");
    work -= units;
    return {};
}

Result<Applications> expand_gate(uint64_t line, std::string_view text,
                                 const ExpansionContext& context, ExpansionBudget& budget) {
    Applications out;
    if (auto r = expand_into(line, text, context, budget, out); !r)
        return fail(std::move(r).error());
    return out;
}

Result<Applications> expand_gate(uint64_t line, std::string_view text,
                                 const ExpansionContext& context) {
    ExpansionBudget budget;
    return expand_gate(line, text, context, budget);
}

}  // namespace tesvi_quantum::qasm::parser
