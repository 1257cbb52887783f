#include "quantum/qasm/parser.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "common/text.hpp"
#include "quantum/qasm/expansion.hpp"
#include "quantum/qasm/scanner.hpp"

namespace tesvi_quantum::qasm::parser {

namespace text = tesvi::text;
namespace {

using circuit::Circuit;
using text::starts_with;
using text::trim;

// The declarations of the whole program, gathered before any operation runs.
struct Program {
    RegisterTable qregs;
    RegisterTable cregs;
    GateDefinitions gate_definitions;
    // Register size totals; they saturate, since anything near the limit of
    // 64 bits is far past the qubit and classical-bit bounds anyway.
    uint64_t num_qubits = 0;
    uint64_t num_classical_bits = 0;
    std::vector<const Statement*> operations;
};

uint64_t saturating_add(uint64_t a, uint64_t b) {
    return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

Result<void> declare_register(const Statement& s, std::string_view rest, RegisterTable& table,
                              uint64_t& next_offset) {
    const Result<IndexedIdentifier> id = parse_indexed_identifier(s.line, trim(rest));
    if (!id) return fail(id.error());
    table.insert_or_assign(std::string(id->name), Register{next_offset, id->index});
    next_offset = saturating_add(next_offset, id->index);
    return {};
}

// "gate name(params) qubits { body }". The body is not read here: a faulty
// statement in it is reported where the gate is used.
Result<void> define_gate(const Statement& s, std::string_view rest, GateDefinitions& definitions) {
    rest = trim(rest);
    const size_t brace = rest.find('{');
    if (brace == std::string_view::npos)
        return parse_error(s.line, "gate definition must contain '{'");
    std::string_view body = trim(rest.substr(brace + 1));
    while (body.ends_with('}')) body.remove_suffix(1);
    body = trim(body);

    const Result<GateStatement> header = split_gate_statement(s.line, trim(rest.substr(0, brace)));
    if (!header) return fail(header.error());
    const CallHead head = split_call_head(header->head);

    GateDefinition definition;
    for (std::string_view p : head.params) definition.params.emplace_back(p);
    for (std::string_view q : split_arguments(header->operands)) definition.qubits.emplace_back(q);
    for (size_t start = 0; start <= body.size();) {
        const size_t end = std::min(body.find(';', start), body.size());
        const std::string_view statement = trim(body.substr(start, end - start));
        if (!statement.empty()) definition.body.emplace_back(statement);
        start = end + 1;
    }
    definitions.insert_or_assign(text::ascii_lower(head.name), std::move(definition));
    return {};
}

// Keywords take exactly one space after them; anything else is an operation.
Result<void> declare(const Statement& s, Program& program) {
    const std::string_view t = s.text;
    if (starts_with(t, "include ")) {
        if (t != "include \"qelib1.inc\"")
            return parse_error(s.line, "only include \"qelib1.inc\" is supported");
        return {};
    }
    if (starts_with(t, "qreg "))
        return declare_register(s, t.substr(4), program.qregs, program.num_qubits);
    if (starts_with(t, "creg "))
        return declare_register(s, t.substr(4), program.cregs, program.num_classical_bits);
    if (starts_with(t, "gate ")) return define_gate(s, t.substr(4), program.gate_definitions);
    program.operations.push_back(&s);
    return {};
}

Result<Circuit> create_circuit(const Program& program) {
    if (program.num_qubits == 0) return parse_error(1, "at least one qreg declaration is required");
    // The qubit count is judged first; an oversized classical register gets
    // the reader's own wording.
    auto circuit = Circuit::create(program.num_qubits,
                                   std::min(program.num_classical_bits, MAX_CLASSICAL_BITS));
    if (!circuit) return parse_error(1, circuit.error().message());
    if (program.num_classical_bits > MAX_CLASSICAL_BITS)
        return parse_error(1, "Circuit exceeds maximum classical bit count (" +
                                  std::to_string(program.num_classical_bits) + " > " +
                                  std::to_string(MAX_CLASSICAL_BITS) + ")");
    return std::move(*circuit);
}

// Hostile text can name a whole register thousands of times in one barrier.
// A list with a repeat fails the builder's check on the repeated qubit whose
// first occurrence comes earliest, so the first occurrences followed by one
// more copy of each repeated qubit get the same verdict from at most twice
// the qubit count.
class BarrierList {
  public:
    explicit BarrierList(uint64_t num_qubits) : seen_(num_qubits), repeated_(num_qubits) {}

    void add(uint64_t qubit) {
        if (qubit >= seen_.size())
            throw error::InternalFault("barrier qubit " + std::to_string(qubit) +
                                       " outside the declared registers");
        if (seen_[qubit]) {
            repeated_[qubit] = true;
        } else {
            seen_[qubit] = true;
            first_.push_back(qubit);
        }
    }

    std::vector<uint64_t> finish() && {
        const size_t distinct = first_.size();
        for (size_t i = 0; i < distinct; ++i)
            if (repeated_[first_[i]]) first_.push_back(first_[i]);
        return std::move(first_);
    }

  private:
    std::vector<bool> seen_, repeated_;
    std::vector<uint64_t> first_;
};

// The operation phase: the circuit under construction and what it may still take.
class Builder {
  public:
    Builder(const Program& program, Circuit circuit)
        : program_(program),
          circuit_(std::move(circuit)),
          top_level_{program.qregs, program.gate_definitions, {}, {}} {}

    Result<void> parse_statement(const Statement& s) {
        const std::string_view t = s.text;
        if (starts_with(t, "measure ")) return measure(s.line, t.substr(7));
        if (starts_with(t, "barrier ")) return barrier(s.line, t.substr(7));
        if (starts_with(t, "if(") || starts_with(t, "if (")) return conditional(s.line, t);
        return gate_call(s.line, t);
    }

    Circuit finish() && { return std::move(circuit_); }

  private:
    // A builder's error fails the statement with the builder's own text.
    static Result<void> built(uint64_t line, const error::Result<Circuit&>& result) {
        if (!result) return parse_error(line, result.error().message());
        return {};
    }

    Result<uint64_t> qubit(uint64_t line, std::string_view operand) const {
        return resolve_quantum_reference(line, operand, program_.qregs, top_level_.qubit_bindings);
    }

    Result<void> measure(uint64_t line, std::string_view rest) {
        rest = trim(rest);
        const size_t arrow = rest.find("->");
        if (arrow == std::string_view::npos) return parse_error(line, "measurement must use '->'");
        const Result<uint64_t> q = qubit(line, trim(rest.substr(0, arrow)));
        if (!q) return fail(q.error());
        const Result<uint64_t> c =
            resolve_register_reference(line, trim(rest.substr(arrow + 2)), program_.cregs);
        if (!c) return fail(c.error());
        if (auto r = budget_.take_instructions(line, 1); !r) return r;
        return built(line, circuit_.measure_into(*q, *c));
    }

    Result<void> barrier(uint64_t line, std::string_view rest) {
        BarrierList list(circuit_.num_qubits());
        for (std::string_view argument : split_arguments(trim(rest))) {
            if (argument.find('[') != std::string_view::npos) {
                const Result<uint64_t> q = qubit(line, argument);
                if (!q) return fail(q.error());
                list.add(*q);
                continue;
            }
            const auto reg = program_.qregs.find(argument);
            if (reg == program_.qregs.end())
                return fail(QasmError::UndeclaredRegister{std::string(argument)});
            for (uint64_t i = 0; i < reg->second.size; ++i) list.add(reg->second.offset + i);
        }
        if (auto r = budget_.take_instructions(line, 1); !r) return r;
        return built(line, circuit_.barrier(std::move(list).finish()));
    }

    // "if(creg==value) call": the gate runs when the whole register equals the value.
    Result<void> conditional(uint64_t line, std::string_view t) {
        const size_t open = t.find('(');
        const size_t close = t.find(')');
        if (close == std::string_view::npos)
            return parse_error(line, "conditional statement missing ')'");
        const std::string_view condition = trim(t.substr(open + 1, close - open - 1));
        const std::string_view call = trim(t.substr(close + 1));

        const size_t equals = condition.find("==");
        if (equals == std::string_view::npos) return parse_error(line, "conditional must use '=='");
        const std::string_view name = trim(condition.substr(0, equals));
        const auto reg = program_.cregs.find(name);
        if (reg == program_.cregs.end())
            return fail(QasmError::UndeclaredRegister{std::string(name)});
        const auto value = text::parse_unsigned(trim(condition.substr(equals + 2)));
        if (!value) return parse_error(line, "conditional value must be an integer");

        Result<std::vector<GateApplication>> apps = expand_gate(line, call, top_level_, budget_);
        if (!apps) return fail(std::move(apps).error());
        if (apps->empty()) return {};  // nothing to condition; skip listing the register
        std::vector<uint64_t> bits(reg->second.size);
        for (uint64_t i = 0; i < bits.size(); ++i) bits[i] = reg->second.offset + i;
        for (GateApplication& app : *apps) {
            if (bits.size() > conditional_bits_)
                return parse_error(line, "conditionals would list more than " +
                                             std::to_string(MAX_CONDITIONAL_BITS) +
                                             " classical bits");
            conditional_bits_ -= bits.size();
            auto r = circuit_.conditional_gate(bits, *value, std::move(app.gate), app.qubits);
            if (auto b = built(line, r); !b) return b;
        }
        return {};
    }

    Result<void> gate_call(uint64_t line, std::string_view t) {
        Result<std::vector<GateApplication>> apps = expand_gate(line, t, top_level_, budget_);
        if (!apps) return fail(std::move(apps).error());
        for (GateApplication& app : *apps)
            if (auto r = built(line, circuit_.custom_gate(std::move(app.gate), app.qubits)); !r)
                return r;
        return {};
    }

    const Program& program_;
    Circuit circuit_;
    const ExpansionContext top_level_;
    ExpansionBudget budget_;
    uint64_t conditional_bits_ = MAX_CONDITIONAL_BITS;
};

}  // namespace

Result<Circuit> parse_qasm(std::string_view source) {
    const std::string text = remove_comments(source);
    const Result<std::vector<Statement>> statements = scan_statements(text);
    if (!statements) return fail(statements.error());
    if (statements->empty()) return parse_error(1, "missing OPENQASM header");
    const Statement& header = statements->front();
    if (header.text != "OPENQASM 2.0")
        return parse_error(header.line, "expected 'OPENQASM 2.0;' header");

    Program program;
    for (size_t i = 1; i < statements->size(); ++i)
        if (auto r = declare((*statements)[i], program); !r) return fail(std::move(r).error());

    Result<Circuit> circuit = create_circuit(program);
    if (!circuit) return circuit;
    Builder builder(program, std::move(*circuit));
    for (const Statement* s : program.operations)
        if (auto r = builder.parse_statement(*s); !r) return fail(std::move(r).error());
    return std::move(builder).finish();
}

std::vector<std::string_view> split_arguments(std::string_view text) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    auto close_piece = [&](size_t end) {
        const std::string_view piece = trim(text.substr(start, end - start));
        if (!piece.empty()) pieces.push_back(piece);
        start = end + 1;
    };
    uint64_t depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '(')
            ++depth;
        else if (text[i] == ')')
            depth -= depth > 0;
        else if (text[i] == ',' && depth == 0)
            close_piece(i);
    }
    close_piece(text.size());
    return pieces;
}

Result<GateStatement> split_gate_statement(uint64_t line, std::string_view text) {
    // A split point qualifies when something visible follows it.
    const size_t visible_end = text::trim_end(text).size();
    uint64_t depth = 0;
    for (size_t i = 0; i < visible_end; ++i) {
        if (text[i] == '(')
            ++depth;
        else if (text[i] == ')')
            depth -= depth > 0;
        else if (depth == 0 && text::white_space_at(text, i))
            return GateStatement{trim(text.substr(0, i)), trim(text.substr(i))};
    }
    return parse_error(line, "gate statement requires operands");
}

CallHead split_call_head(std::string_view head) {
    const size_t open = head.find('(');
    if (open == std::string_view::npos) return {trim(head), {}};
    const size_t close = head.rfind(')');
    const std::string_view inside = close == std::string_view::npos || close < open
                                        ? head.substr(open + 1)
                                        : head.substr(open + 1, close - open - 1);
    return {trim(head.substr(0, open)), split_arguments(inside)};
}

Result<IndexedIdentifier> parse_indexed_identifier(uint64_t line, std::string_view text) {
    auto error = [&](std::string message) {
        message.append("'").append(text).append("'");
        return parse_error(line, std::move(message));
    };
    const size_t open = text.find('[');
    if (open == std::string_view::npos) return error("expected indexed identifier, got ");
    const size_t close = text.rfind(']');
    if (close == std::string_view::npos || close < open) return error("expected closing ']' in ");
    const auto index = text::parse_unsigned(trim(text.substr(open + 1, close - open - 1)));
    if (!index) return error("invalid register index in ");
    return IndexedIdentifier{trim(text.substr(0, open)), *index};
}

Result<uint64_t> resolve_register_reference(uint64_t line, std::string_view text,
                                            const RegisterTable& table) {
    const Result<IndexedIdentifier> id = parse_indexed_identifier(line, text);
    if (!id) return fail(id.error());
    const auto reg = table.find(id->name);
    if (reg == table.end()) return fail(QasmError::UndeclaredRegister{std::string(id->name)});
    if (id->index >= reg->second.size)
        return fail(
            QasmError::RegisterIndexOutOfRange{std::string(id->name), id->index, reg->second.size});
    return reg->second.offset + id->index;
}

Result<uint64_t> resolve_quantum_reference(uint64_t line, std::string_view text,
                                           const RegisterTable& qregs,
                                           const QubitBindings& qubit_bindings) {
    if (const auto bound = qubit_bindings.find(text); bound != qubit_bindings.end())
        return bound->second;
    return resolve_register_reference(line, text, qregs);
}

}  // namespace tesvi_quantum::qasm::parser
