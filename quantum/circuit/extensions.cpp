#include <algorithm>

#include "quantum/circuit/circuit.hpp"

namespace tesvi_quantum::circuit {

using error::fail;

namespace {

// Appends a gate whose qubits the caller has already checked.
void put(Circuit& c, gate::Gate g, std::vector<uint64_t> qubits) {
    c.instructions.push_back(Instruction::Gate{std::move(g), std::move(qubits)});
}

// Where qubit q of a copied circuit lands in a receiver of n qubits. Circuits
// made by the builders always land in range; the checks keep a hand-assembled
// source from planting out-of-range qubits in the receiver.
Result<uint64_t> place(uint64_t q, const std::vector<uint64_t>* mapping, uint64_t n) {
    if (mapping) {
        if (q >= mapping->size()) return fail(TesviError::QubitOutOfRange{q, mapping->size()});
        q = (*mapping)[q];
    }
    if (q >= n) return fail(TesviError::QubitOutOfRange{q, n});
    return q;
}

Result<std::vector<uint64_t>> place(const std::vector<uint64_t>& qubits,
                                    const std::vector<uint64_t>* mapping, uint64_t n) {
    std::vector<uint64_t> out;
    out.reserve(qubits.size());
    for (uint64_t q : qubits) {
        auto p = place(q, mapping, n);
        if (!p) return fail(std::move(p).error());
        out.push_back(*p);
    }
    return out;
}

// The qubits an instruction acts on as a gate, or null for measurements and barriers.
const std::vector<uint64_t>* gate_qubits(const Instruction& ins) {
    if (const auto* g = ins.get<Instruction::Gate>()) return &g->qubits;
    if (const auto* c = ins.get<Instruction::Conditional>()) return &c->qubits;
    return nullptr;
}

}  // namespace

Result<Circuit&> Circuit::crk(uint64_t control, uint64_t target, uint64_t k) {
    return add2(gate::crk(k), control, target);
}

Result<Circuit&> Circuit::qft(const std::vector<uint64_t>& q) {
    if (auto r = check_qubit_list(q); !r) return fail(std::move(r).error());
    const size_t m = q.size();
    for (size_t i = 0; i < m; ++i) {
        put(*this, gate::h(), {q[i]});
        for (size_t j = i + 1; j < m; ++j) put(*this, gate::crk(j - i + 1), {q[j], q[i]});
    }
    for (size_t j = 0; j < m / 2; ++j) put(*this, gate::swap(), {q[j], q[m - 1 - j]});
    return *this;
}

Result<Circuit&> Circuit::iqft(const std::vector<uint64_t>& q) {
    if (auto r = check_qubit_list(q); !r) return fail(std::move(r).error());
    const size_t m = q.size();
    for (size_t k = 0; k < m / 2; ++k) put(*this, gate::swap(), {q[k], q[m - 1 - k]});
    for (size_t i = m; i-- > 0;) {
        for (size_t j = m - 1; j > i; --j) put(*this, gate::crk(j - i + 1).dagger(), {q[j], q[i]});
        put(*this, gate::h(), {q[i]});
    }
    return *this;
}

uint64_t Circuit::depth() const {
    std::vector<uint64_t> level(num_qubits, 0);
    uint64_t deepest = 0;
    for (const auto& ins : instructions) {
        const auto* qubits = gate_qubits(ins);
        if (!qubits) continue;
        uint64_t h = 0;
        for (uint64_t q : *qubits) {
            if (q >= num_qubits)
                throw error::InternalFault("instruction qubit beyond the register");
            h = std::max(h, level[q]);
        }
        for (uint64_t q : *qubits) level[q] = h + 1;
        deepest = std::max(deepest, h + 1);
    }
    return deepest;
}

Result<Circuit&> Circuit::append(const Circuit& other) {
    if (other.num_qubits != num_qubits)
        return fail(TesviError::QubitCountMismatch{num_qubits, other.num_qubits});
    return copy_from(other, nullptr);
}

Result<Circuit&> Circuit::compose(const Circuit& other,
                                  const std::vector<uint64_t>& qubit_mapping) {
    if (qubit_mapping.size() != other.num_qubits)
        return fail(TesviError::MappingLengthMismatch{qubit_mapping.size(), other.num_qubits});
    if (auto r = check_qubit_list(qubit_mapping); !r) return fail(std::move(r).error());
    return copy_from(other, &qubit_mapping);
}

Result<Circuit&> Circuit::copy_from(const Circuit& other, const std::vector<uint64_t>* mapping) {
    // Walk by index over the count at entry: other may be this very circuit,
    // whose list grows (and may move) while it is copied.
    const size_t n = other.instructions.size();
    for (size_t i = 0; i < n; ++i)
        if (auto r = append_instruction(other.instructions[i], mapping); !r)
            return fail(std::move(r).error());
    return *this;
}

Result<void> Circuit::append_instruction(const Instruction& ins,
                                         const std::vector<uint64_t>* mapping) {
    if (const auto* m = ins.get<Instruction::Measure>()) {
        // The copied measurement takes a fresh bit; its own bit is dropped.
        auto q = place(m->qubit, mapping, num_qubits);
        if (!q) return fail(std::move(q).error());
        instructions.push_back(Instruction::Measure{*q, num_classical_bits++});
        return {};
    }
    const auto* b = ins.get<Instruction::Barrier>();
    auto qubits = place(b ? b->qubits : *gate_qubits(ins), mapping, num_qubits);
    if (!qubits) return fail(std::move(qubits).error());
    if (b) {
        instructions.push_back(Instruction::Barrier{std::move(*qubits)});
    } else if (const auto* g = ins.get<Instruction::Gate>()) {
        instructions.push_back(Instruction::Gate{g->gate, std::move(*qubits)});
    } else {
        // A conditional keeps its absolute bit numbers, so the receiver's
        // register must reach them.
        const auto* c = ins.get<Instruction::Conditional>();
        uint64_t needed = num_classical_bits;
        for (uint64_t bit : c->classical_bits) needed = std::max(needed, bit + 1);
        instructions.push_back(
            Instruction::Conditional{c->classical_bits, c->value, c->gate, std::move(*qubits)});
        num_classical_bits = needed;
    }
    return {};
}

}  // namespace tesvi_quantum::circuit
