#include "quantum/circuit/circuit.hpp"

#include <algorithm>

namespace tesvi_quantum::circuit {

using error::fail;

namespace {

TesviError classical_bit_out_of_range(uint64_t bit) {
    return TesviError::SimulationError{"classical bit " + std::to_string(bit) +
                                       " out of range (at most " +
                                       std::to_string(MAX_CLASSICAL_BITS) + " classical bits)"};
}

}  // namespace

Result<Circuit> Circuit::create(uint64_t num_qubits, uint64_t num_classical_bits) {
    if (num_qubits == 0) return fail(TesviError::EmptyCircuit{});
    if (num_qubits > MAX_QUBITS) return fail(TesviError::TooManyQubits{num_qubits, MAX_QUBITS});
    Circuit c;
    if (auto r = c.check_fresh_bits(num_classical_bits); !r) return fail(std::move(r).error());
    c.num_qubits_ = num_qubits;
    c.num_classical_bits_ = num_classical_bits;
    return c;
}

Result<void> Circuit::check_fresh_bits(uint64_t count) const {
    // The register never exceeds the limit, so the first fresh bit past it is
    // always the limit itself.
    if (count > MAX_CLASSICAL_BITS - num_classical_bits_)
        return fail(classical_bit_out_of_range(MAX_CLASSICAL_BITS));
    return {};
}

void Circuit::put(gate::Gate gate, std::vector<uint64_t> qubits) {
    instructions_.push_back(Instruction::Gate{std::move(gate), std::move(qubits)});
}

Result<Circuit&> Circuit::add1(gate::Gate gate, uint64_t qubit) {
    if (qubit >= num_qubits_) return fail(TesviError::QubitOutOfRange{qubit, num_qubits_});
    put(std::move(gate), {qubit});
    return *this;
}

Result<Circuit&> Circuit::add2(gate::Gate gate, uint64_t a, uint64_t b) {
    if (a >= num_qubits_) return fail(TesviError::QubitOutOfRange{a, num_qubits_});
    if (b >= num_qubits_) return fail(TesviError::QubitOutOfRange{b, num_qubits_});
    if (a == b) return fail(TesviError::DuplicateQubits{a, a});
    put(std::move(gate), {a, b});
    return *this;
}

Result<void> Circuit::check_qubit_list(const std::vector<uint64_t>& qubits) const {
    for (auto it = qubits.begin(); it != qubits.end(); ++it) {
        if (*it >= num_qubits_) return fail(TesviError::QubitOutOfRange{*it, num_qubits_});
        if (std::find(it + 1, qubits.end(), *it) != qubits.end())
            return fail(TesviError::DuplicateQubits{*it, *it});
    }
    return {};
}

Result<Circuit&> Circuit::h(uint64_t q) {
    return add1(gate::h(), q);
}
Result<Circuit&> Circuit::s(uint64_t q) {
    return add1(gate::s(), q);
}
Result<Circuit&> Circuit::t(uint64_t q) {
    return add1(gate::t(), q);
}
Result<Circuit&> Circuit::x(uint64_t q) {
    return add1(gate::x(), q);
}
Result<Circuit&> Circuit::y(uint64_t q) {
    return add1(gate::y(), q);
}
Result<Circuit&> Circuit::z(uint64_t q) {
    return add1(gate::z(), q);
}
Result<Circuit&> Circuit::sx(uint64_t q) {
    return add1(gate::sx(), q);
}
Result<Circuit&> Circuit::sdg(uint64_t q) {
    return add1(gate::sdg(), q);
}
Result<Circuit&> Circuit::tdg(uint64_t q) {
    return add1(gate::tdg(), q);
}
Result<Circuit&> Circuit::rx(uint64_t q, double theta) {
    return add1(gate::rx(theta), q);
}
Result<Circuit&> Circuit::ry(uint64_t q, double theta) {
    return add1(gate::ry(theta), q);
}
Result<Circuit&> Circuit::rz(uint64_t q, double theta) {
    return add1(gate::rz(theta), q);
}
Result<Circuit&> Circuit::u3(uint64_t q, double theta, double phi, double lambda) {
    return add1(gate::u3(theta, phi, lambda), q);
}

Result<Circuit&> Circuit::cnot(uint64_t c, uint64_t t) {
    return add2(gate::cnot(), c, t);
}
Result<Circuit&> Circuit::cy(uint64_t c, uint64_t t) {
    return add2(gate::cy(), c, t);
}
Result<Circuit&> Circuit::cz(uint64_t c, uint64_t t) {
    return add2(gate::cz(), c, t);
}
Result<Circuit&> Circuit::swap(uint64_t a, uint64_t b) {
    return add2(gate::swap(), a, b);
}
Result<Circuit&> Circuit::rzz(uint64_t a, uint64_t b, double theta) {
    return add2(gate::rzz(theta), a, b);
}

Result<Circuit&> Circuit::toffoli(uint64_t c0, uint64_t c1, uint64_t t) {
    for (uint64_t q : {c0, c1, t})
        if (q >= num_qubits_) return fail(TesviError::QubitOutOfRange{q, num_qubits_});
    if (c0 == c1 || c0 == t) return fail(TesviError::DuplicateQubits{c0, c0});
    if (c1 == t) return fail(TesviError::DuplicateQubits{c1, c1});

    // The standard decomposition into H, T, Tdg and six CNOTs.
    auto one = [this](gate::Gate g, uint64_t q) { put(std::move(g), {q}); };
    auto cx = [this](uint64_t a, uint64_t b) { put(gate::cnot(), {a, b}); };
    one(gate::h(), t);
    cx(c1, t);
    one(gate::tdg(), t);
    cx(c0, t);
    one(gate::t(), t);
    cx(c1, t);
    one(gate::tdg(), t);
    cx(c0, t);
    one(gate::t(), c1);
    one(gate::t(), t);
    one(gate::h(), t);
    cx(c0, c1);
    one(gate::t(), c0);
    one(gate::tdg(), c1);
    cx(c0, c1);
    return *this;
}

namespace {

Result<void> check_arity(const gate::Gate& gate, size_t targets) {
    if (targets != gate.num_qubits)
        return fail(TesviError::SimulationError{"gate '" + gate.name + "' expects " +
                                                std::to_string(gate.num_qubits) + " targets, got " +
                                                std::to_string(targets)});
    return {};
}

// The kernels read 4^k entries; a gate assembled by hand may hold fewer.
Result<void> check_matrix(const gate::Gate& gate) {
    const size_t expected = gate.num_qubits <= 2 ? size_t{1} << (2 * gate.num_qubits) : 0;
    if (expected != 0 && gate.matrix.size() != expected)
        return fail(TesviError::SimulationError{
            "gate '" + gate.name + "' has " + std::to_string(gate.matrix.size()) +
            " matrix entries, expected " + std::to_string(expected)});
    return {};
}

}  // namespace

Result<Circuit&> Circuit::custom_gate(gate::Gate gate, const std::vector<uint64_t>& qubits) {
    if (auto r = check_arity(gate, qubits.size()); !r) return fail(std::move(r).error());
    if (qubits.size() != 1 && qubits.size() != 2)
        return fail(TesviError::SimulationError{"gate '" + gate.name + "' uses unsupported width " +
                                                std::to_string(gate.num_qubits)});
    if (auto r = check_matrix(gate); !r) return fail(std::move(r).error());
    if (auto r = check_qubit_list(qubits); !r) return fail(std::move(r).error());
    put(std::move(gate), qubits);
    return *this;
}

Result<Circuit&> Circuit::conditional_gate(const std::vector<uint64_t>& classical_bits,
                                           uint64_t value, gate::Gate gate,
                                           const std::vector<uint64_t>& qubits) {
    if (classical_bits.empty())
        return fail(
            TesviError::SimulationError{"conditional gates require at least one classical bit"});
    for (uint64_t bit : classical_bits)
        if (bit >= num_classical_bits_)
            return fail(TesviError::SimulationError{
                "classical bit " + std::to_string(bit) + " out of range (circuit has " +
                std::to_string(num_classical_bits_) + " classical bits)"});
    if (auto r = check_arity(gate, qubits.size()); !r) return fail(std::move(r).error());
    if (auto r = check_matrix(gate); !r) return fail(std::move(r).error());
    if (auto r = check_qubit_list(qubits); !r) return fail(std::move(r).error());
    instructions_.push_back(
        Instruction::Conditional{classical_bits, value, std::move(gate), qubits});
    return *this;
}

Result<Circuit&> Circuit::barrier(const std::vector<uint64_t>& qubits) {
    if (auto r = check_qubit_list(qubits); !r) return fail(std::move(r).error());
    instructions_.push_back(Instruction::Barrier{qubits});
    return *this;
}

Circuit& Circuit::barrier_all() {
    std::vector<uint64_t> all(num_qubits_);
    for (uint64_t q = 0; q < num_qubits_; ++q) all[q] = q;
    instructions_.push_back(Instruction::Barrier{std::move(all)});
    return *this;
}

Result<uint64_t> Circuit::measure(uint64_t qubit) {
    if (qubit >= num_qubits_) return fail(TesviError::QubitOutOfRange{qubit, num_qubits_});
    const uint64_t bit = num_classical_bits_++;
    instructions_.push_back(Instruction::Measure{qubit, bit});
    return bit;
}

Result<Circuit&> Circuit::measure_into(uint64_t qubit, uint64_t classical_bit) {
    if (qubit >= num_qubits_) return fail(TesviError::QubitOutOfRange{qubit, num_qubits_});
    if (classical_bit >= MAX_CLASSICAL_BITS) return fail(classical_bit_out_of_range(classical_bit));
    num_classical_bits_ = std::max(num_classical_bits_, classical_bit + 1);
    instructions_.push_back(Instruction::Measure{qubit, classical_bit});
    return *this;
}

Circuit& Circuit::measure_all() {
    for (uint64_t q = 0; q < num_qubits_; ++q)
        instructions_.push_back(Instruction::Measure{q, num_classical_bits_++});
    return *this;
}

uint64_t Circuit::gate_count() const {
    uint64_t n = 0;
    for (const auto& ins : instructions_)
        n += ins.get<Instruction::Gate>() || ins.get<Instruction::Conditional>();
    return n;
}

}  // namespace tesvi_quantum::circuit
