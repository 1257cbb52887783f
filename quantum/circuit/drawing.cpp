#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "quantum/circuit/circuit.hpp"

namespace tesvi_quantum::circuit {
namespace {

constexpr std::string_view WIRE = "─";
constexpr std::string_view VERTICAL = "│";
constexpr std::string_view CONTROL = "●";
constexpr std::string_view TARGET = "⊕";
constexpr std::string_view MEASURED = "[M]";
constexpr std::string_view BARRIER = "┆";

// Length in characters of UTF-8 text: every byte that does not continue a sequence.
size_t char_count(std::string_view s) {
    return std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; });
}

// Spaces around text to fill w characters, the odd one on the right; never cuts.
std::string centred(std::string_view text, size_t w) {
    const size_t len = char_count(text);
    if (len >= w) return std::string(text);
    const size_t left = (w - len) / 2;
    return std::string(left, ' ') + std::string(text) + std::string(w - len - left, ' ');
}

std::string wire(size_t w) {
    std::string s;
    for (size_t i = 0; i < w; ++i) s += WIRE;
    return s;
}

// The smallest odd width of at least 5 that fits "[" + n characters + "]";
// name_bytes counts bytes, so a multi-byte name only widens its column.
size_t gate_width(size_t name_bytes) {
    return (std::max<size_t>(3, name_bytes) | 1) + 2;
}

// One column of the drawing: a cell per qubit, all of one width.
class Column {
  public:
    Column(size_t rows, size_t width) : width_(width), cells_(rows, wire(width)) {}

    void set(uint64_t row, std::string_view text) {
        if (row >= cells_.size())
            throw error::InternalFault("instruction qubit beyond the register");
        cells_[row] = centred(text, width_);
    }

    // Two-qubit gates join their rows with a vertical line through the rows between.
    void join(uint64_t a, uint64_t b) {
        for (uint64_t r = std::min(a, b) + 1; r < std::max(a, b); ++r) set(r, VERTICAL);
    }

    void draw_gate(const gate::Gate& g, const std::vector<uint64_t>& qubits, bool conditional) {
        const std::string mark = conditional ? "?" : "";
        const std::string label = "[" + g.name + mark + "]";
        if (qubits.size() != 2) {
            for (uint64_t q : qubits) set(q, label);
            return;
        }
        join(qubits[0], qubits[1]);
        if (g.name == "CNOT") {
            set(qubits[0], std::string(CONTROL) + mark);
            set(qubits[1], std::string(TARGET) + mark);
        } else {
            set(qubits[0], label);
            set(qubits[1], label);
        }
    }

    void append_to(std::vector<std::string>& rows) const {
        for (size_t i = 0; i < rows.size(); ++i) rows[i] += cells_[i];
    }

  private:
    size_t width_;
    std::vector<std::string> cells_;
};

Column column(const Instruction& ins, size_t rows) {
    if (const auto* g = ins.get<Instruction::Gate>()) {
        Column col(rows, gate_width(g->gate.name.size()));
        col.draw_gate(g->gate, g->qubits, false);
        return col;
    }
    if (const auto* c = ins.get<Instruction::Conditional>()) {
        Column col(rows, gate_width(c->gate.name.size() + 1));
        col.draw_gate(c->gate, c->qubits, true);
        return col;
    }
    Column col(rows, 5);
    if (const auto* m = ins.get<Instruction::Measure>()) col.set(m->qubit, MEASURED);
    if (const auto* b = ins.get<Instruction::Barrier>())
        for (uint64_t q : b->qubits) col.set(q, BARRIER);
    return col;
}

}  // namespace

std::string Circuit::to_ascii() const {
    std::vector<std::string> rows(num_qubits_);
    for (uint64_t i = 0; i < num_qubits_; ++i)
        rows[i].append("q").append(std::to_string(i)).append(": ");
    for (const auto& ins : instructions_) column(ins, num_qubits_).append_to(rows);
    std::string out;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i) out += '\n';
        out += rows[i];
    }
    return out;
}

}  // namespace tesvi_quantum::circuit
