#include "quantum/qasm/serializer.hpp"

#include <algorithm>

namespace tesvi_quantum::qasm {
namespace serializer {
namespace {

using circuit::Instruction;

std::string reg(char name, uint64_t index) {
    return std::string(1, name) + "[" + std::to_string(index) + "]";
}

std::string operands(const std::vector<uint64_t>& qubits) {
    std::string s;
    for (size_t i = 0; i < qubits.size(); ++i) s += (i ? ", " : "") + reg('q', qubits[i]);
    return s;
}

std::string index_list(const std::vector<uint64_t>& qubits) {
    std::string s = "[";
    for (size_t i = 0; i < qubits.size(); ++i) s += (i ? ", " : "") + std::to_string(qubits[i]);
    return s + "]";
}

bool all_digits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The statement for gates with an OpenQASM form, or an empty text for the rest.
std::string statement(std::string_view name, const std::vector<uint64_t>& qubits) {
    struct Fixed {
        std::string_view name, keyword;
        size_t width;
    };
    static constexpr Fixed fixed[] = {
        {"H", "h", 1},   {"S", "s", 1},     {"T", "t", 1},       {"X", "x", 1},
        {"Y", "y", 1},   {"Z", "z", 1},     {"Sdg", "sdg", 1},   {"Tdg", "tdg", 1},
        {"CZ", "cz", 2}, {"CNOT", "cx", 2}, {"SWAP", "swap", 2},
    };
    for (const auto& f : fixed)
        if (name == f.name && qubits.size() == f.width)
            return std::string(f.keyword) + " " + operands(qubits) + ";";

    // Only "CR" and a decimal k is a controlled phase the reader knows; its
    // inverse ("CR3^dagger") has no OpenQASM form.
    if (name.starts_with("CR") && qubits.size() == 2 && all_digits(name.substr(2)))
        return "crk(" + std::string(name.substr(2)) + ") " + operands(qubits) + ";";

    // Rotations carry their angle text in the name: "Rx(0.500)" -> "rx(0.500)".
    static constexpr std::string_view rotations[][2] = {
        {"Rx(", "rx"}, {"Ry(", "ry"}, {"Rz(", "rz"}, {"U3(", "u3"}};
    for (const auto& [prefix, keyword] : rotations)
        if (name.starts_with(prefix) && qubits.size() == 1)
            return std::string(keyword) + std::string(name.substr(2)) + " " + operands(qubits) +
                   ";";
    return {};
}

std::string unsupported(std::string_view name, const std::vector<uint64_t>& qubits) {
    return "unsupported gate " + std::string(name) + " on " + index_list(qubits);
}

bool covers_register_in_order(const std::vector<uint64_t>& qubits, uint64_t num_qubits) {
    if (qubits.size() != num_qubits) return false;
    for (uint64_t i = 0; i < num_qubits; ++i)
        if (qubits[i] != i) return false;
    return true;
}

std::string barrier_line(const std::vector<uint64_t>& qubits, uint64_t num_qubits) {
    // "barrier ;" is not OpenQASM; a qubit-less barrier does nothing, so it
    // stays only as a note.
    if (qubits.empty()) return "// empty barrier";
    if (covers_register_in_order(qubits, num_qubits)) return "barrier q;";
    return "barrier " + operands(qubits) + ";";
}

std::string conditional_line(const Instruction::Conditional& c) {
    const std::string condition = "if(c==" + std::to_string(c.value) + ") ";
    std::string line = statement(c.gate.name, c.qubits);
    // A condition in front of a comment would be cut off with it and leave
    // "if(c==v)" to swallow the next statement, so the whole line is the comment.
    if (line.empty()) return "// " + condition + unsupported(c.gate.name, c.qubits);
    while (!line.empty() && line.back() == ';') line.pop_back();
    return condition + line + ";";
}

std::string line(const Instruction& ins, uint64_t num_qubits) {
    if (const auto* g = ins.get<Instruction::Gate>()) return format_gate(g->gate.name, g->qubits);
    if (const auto* c = ins.get<Instruction::Conditional>()) return conditional_line(*c);
    if (const auto* m = ins.get<Instruction::Measure>())
        return "measure " + reg('q', m->qubit) + " -> " + reg('c', m->classical_bit) + ";";
    return barrier_line(ins.get<Instruction::Barrier>()->qubits, num_qubits);
}

}  // namespace

std::string format_gate(std::string_view name, const std::vector<uint64_t>& qubits) {
    std::string s = statement(name, qubits);
    return s.empty() ? "// " + unsupported(name, qubits) : s;
}

std::string to_qasm(const circuit::Circuit& circuit) {
    std::vector<std::string> lines = {"OPENQASM 2.0;", "include \"qelib1.inc\";",
                                      "qreg q[" + std::to_string(circuit.num_qubits()) + "];"};
    if (circuit.num_classical_bits() > 0)
        lines.push_back("creg c[" + std::to_string(circuit.num_classical_bits()) + "];");
    for (const auto& ins : circuit.instructions()) lines.push_back(line(ins, circuit.num_qubits()));

    size_t size = 0;
    for (const auto& l : lines) size += l.size() + 1;
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += '\n';
        out += lines[i];
    }
    return out;
}

}  // namespace serializer

std::string to_qasm(const circuit::Circuit& circuit) {
    return serializer::to_qasm(circuit);
}

}  // namespace tesvi_quantum::qasm
