#include <algorithm>

#include "quantum/circuit/circuit.hpp"

namespace tesvi_quantum::circuit {

using error::fail;

namespace {

// Where the qubits of a copied instruction land. The source's qubits are below
// its width, which append and compose have matched to the receiver's width or
// to the mapping's length, so every result is a receiver qubit.
uint64_t place(uint64_t q, const std::vector<uint64_t>* mapping) {
    return mapping ? (*mapping)[q] : q;
}

std::vector<uint64_t> place(std::vector<uint64_t> qubits, const std::vector<uint64_t>* mapping) {
    for (uint64_t& q : qubits) q = place(q, mapping);
    return qubits;
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
        put(gate::h(), {q[i]});
        for (size_t j = i + 1; j < m; ++j) put(gate::crk(j - i + 1), {q[j], q[i]});
    }
    for (size_t j = 0; j < m / 2; ++j) put(gate::swap(), {q[j], q[m - 1 - j]});
    return *this;
}

Result<Circuit&> Circuit::iqft(const std::vector<uint64_t>& q) {
    if (auto r = check_qubit_list(q); !r) return fail(std::move(r).error());
    const size_t m = q.size();
    for (size_t k = 0; k < m / 2; ++k) put(gate::swap(), {q[k], q[m - 1 - k]});
    for (size_t i = m; i-- > 0;) {
        for (size_t j = m - 1; j > i; --j) put(gate::crk(j - i + 1).dagger(), {q[j], q[i]});
        put(gate::h(), {q[i]});
    }
    return *this;
}

uint64_t Circuit::depth() const {
    std::vector<uint64_t> level(num_qubits_, 0);
    uint64_t deepest = 0;
    for (const auto& ins : instructions_) {
        const auto* qubits = gate_qubits(ins);
        if (!qubits) continue;
        uint64_t h = 0;
        for (uint64_t q : *qubits) h = std::max(h, level[q]);
        for (uint64_t q : *qubits) level[q] = h + 1;
        deepest = std::max(deepest, h + 1);
    }
    return deepest;
}

Result<Circuit&> Circuit::append(const Circuit& other) {
    if (other.num_qubits_ != num_qubits_)
        return fail(TesviError::QubitCountMismatch{num_qubits_, other.num_qubits_});
    copy_from(other, nullptr);
    return *this;
}

Result<Circuit&> Circuit::compose(const Circuit& other,
                                  const std::vector<uint64_t>& qubit_mapping) {
    if (qubit_mapping.size() != other.num_qubits_)
        return fail(TesviError::MappingLengthMismatch{qubit_mapping.size(), other.num_qubits_});
    if (auto r = check_qubit_list(qubit_mapping); !r) return fail(std::move(r).error());
    copy_from(other, &qubit_mapping);
    return *this;
}

void Circuit::copy_from(const Circuit& other, const std::vector<uint64_t>* mapping) {
    // Walk by index over the count at entry: other may be this very circuit,
    // whose list grows (and may move) while it is copied.
    const size_t n = other.instructions_.size();
    for (size_t i = 0; i < n; ++i) append_instruction(other.instructions_[i], mapping);
}

void Circuit::append_instruction(const Instruction& ins, const std::vector<uint64_t>* mapping) {
    if (const auto* m = ins.get<Instruction::Measure>()) {
        // The copied measurement takes a fresh bit; its own bit is dropped.
        instructions_.push_back(
            Instruction::Measure{place(m->qubit, mapping), num_classical_bits_++});
        return;
    }
    const auto* b = ins.get<Instruction::Barrier>();
    auto qubits = place(b ? b->qubits : *gate_qubits(ins), mapping);
    if (b) {
        instructions_.push_back(Instruction::Barrier{std::move(qubits)});
    } else if (const auto* g = ins.get<Instruction::Gate>()) {
        instructions_.push_back(Instruction::Gate{g->gate, std::move(qubits)});
    } else {
        // A conditional keeps its absolute bit numbers, so the receiver's
        // register must reach them.
        const auto* c = ins.get<Instruction::Conditional>();
        uint64_t needed = num_classical_bits_;
        for (uint64_t bit : c->classical_bits) needed = std::max(needed, bit + 1);
        instructions_.push_back(
            Instruction::Conditional{c->classical_bits, c->value, c->gate, std::move(qubits)});
        num_classical_bits_ = needed;
    }
}

}  // namespace tesvi_quantum::circuit
