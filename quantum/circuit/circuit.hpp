// The quantum program: an ordered instruction list over a fixed register,
// grown only through checked builders. Every builder checks all of its
// arguments before its first change, so a failed call leaves the circuit as
// it was.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "quantum/error.hpp"
#include "quantum/gate.hpp"

namespace tesvi_quantum::circuit {

using error::Result;
using error::TesviError;

inline constexpr uint64_t MAX_QUBITS = 128;
// The widest classical register a circuit may hold. Every trajectory shot
// keeps and keys the whole register, so an unbounded one would let a circuit
// ask for gigabytes per shot.
inline constexpr uint64_t MAX_CLASSICAL_BITS = 65536;

struct Instruction {
    struct Gate {
        gate::Gate gate;
        std::vector<uint64_t> qubits;
        bool operator==(const Gate&) const = default;
    };
    struct Conditional {
        std::vector<uint64_t> classical_bits;
        uint64_t value;
        gate::Gate gate;
        std::vector<uint64_t> qubits;
        bool operator==(const Conditional&) const = default;
    };
    struct Measure {
        uint64_t qubit;
        uint64_t classical_bit;
        bool operator==(const Measure&) const = default;
    };
    struct Barrier {
        std::vector<uint64_t> qubits;
        bool operator==(const Barrier&) const = default;
    };

    std::variant<Gate, Conditional, Measure, Barrier> value;

    template <class V>
    Instruction(V v) : value(std::move(v)) {}

    template <class V>
    const V* get() const {
        return std::get_if<V>(&value);
    }
    bool operator==(const Instruction&) const = default;
};

class Circuit {
  public:
    // A register of num_qubits qubits and num_classical_bits classical bits
    // (the OpenQASM reader presets its declared classical registers).
    static Result<Circuit> create(uint64_t num_qubits, uint64_t num_classical_bits = 0);

    const std::vector<Instruction>& instructions() const { return instructions_; }
    uint64_t num_qubits() const { return num_qubits_; }
    uint64_t num_classical_bits() const { return num_classical_bits_; }

    // One-qubit builders.
    Result<Circuit&> h(uint64_t qubit);
    Result<Circuit&> s(uint64_t qubit);
    Result<Circuit&> t(uint64_t qubit);
    Result<Circuit&> x(uint64_t qubit);
    Result<Circuit&> y(uint64_t qubit);
    Result<Circuit&> z(uint64_t qubit);
    Result<Circuit&> sx(uint64_t qubit);
    Result<Circuit&> sdg(uint64_t qubit);
    Result<Circuit&> tdg(uint64_t qubit);
    Result<Circuit&> rx(uint64_t qubit, double theta);
    Result<Circuit&> ry(uint64_t qubit, double theta);
    Result<Circuit&> rz(uint64_t qubit, double theta);
    Result<Circuit&> u3(uint64_t qubit, double theta, double phi, double lambda);

    // Two- and three-qubit builders.
    Result<Circuit&> cnot(uint64_t control, uint64_t target);
    Result<Circuit&> cx(uint64_t control, uint64_t target) { return cnot(control, target); }
    Result<Circuit&> cy(uint64_t control, uint64_t target);
    Result<Circuit&> cz(uint64_t control, uint64_t target);
    Result<Circuit&> swap(uint64_t q0, uint64_t q1);
    Result<Circuit&> rzz(uint64_t q0, uint64_t q1, double theta);
    Result<Circuit&> toffoli(uint64_t control_0, uint64_t control_1, uint64_t target);

    Result<Circuit&> custom_gate(gate::Gate gate, const std::vector<uint64_t>& qubits);
    Result<Circuit&> conditional_gate(const std::vector<uint64_t>& classical_bits, uint64_t value,
                                      gate::Gate gate, const std::vector<uint64_t>& qubits);
    Result<Circuit&> barrier(const std::vector<uint64_t>& qubits);
    Circuit& barrier_all();

    // Measurement into the next free classical bit; returns that bit.
    Result<uint64_t> measure(uint64_t qubit);
    Result<Circuit&> measure_into(uint64_t qubit, uint64_t classical_bit);
    Circuit& measure_all();

    uint64_t gate_count() const;

    // Composition, QFT and depth (circuit/extensions.cpp).
    Result<Circuit&> crk(uint64_t control, uint64_t target, uint64_t k);
    Result<Circuit&> qft(const std::vector<uint64_t>& qubits);
    Result<Circuit&> iqft(const std::vector<uint64_t>& qubits);
    uint64_t depth() const;
    Result<Circuit&> append(const Circuit& other);
    Result<Circuit&> compose(const Circuit& other, const std::vector<uint64_t>& qubit_mapping);

    // The text drawing (circuit/drawing.cpp).
    std::string to_ascii() const;

  private:
    Circuit() = default;

    // The shared appends and checks of the builders.
    Result<Circuit&> add1(gate::Gate gate, uint64_t qubit);
    Result<Circuit&> add2(gate::Gate gate, uint64_t a, uint64_t b);
    Result<void> check_qubit_list(const std::vector<uint64_t>& qubits) const;
    // Whether count fresh classical bits still fit under MAX_CLASSICAL_BITS.
    Result<void> check_fresh_bits(uint64_t count) const;
    // Appends a gate whose qubits the caller has checked.
    void put(gate::Gate gate, std::vector<uint64_t> qubits);
    // Copies every instruction of other, in order, once append or compose has
    // checked that they all land in range.
    void copy_from(const Circuit& other, const std::vector<uint64_t>* mapping);
    // Copies one instruction of another circuit, sending its qubit i to
    // (*mapping)[i], or keeping it when there is no mapping.
    void append_instruction(const Instruction& instruction, const std::vector<uint64_t>* mapping);

    std::vector<Instruction> instructions_;
    uint64_t num_qubits_ = 0;
    uint64_t num_classical_bits_ = 0;
};

}  // namespace tesvi_quantum::circuit
