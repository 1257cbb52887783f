// The Python class Circuit: each member converts its arguments, calls the
// library builder or reader of the same name and converts the result.
#include <string>
#include <unordered_map>

#include "python/binding/call.hpp"
#include "python/classes.hpp"
#include "quantum/keyed_hash.hpp"
#include "quantum/qasm/serializer.hpp"

namespace _tesvi {
namespace {

using tesvi_quantum::circuit::Circuit;

constexpr Param kNumQubits[] = {required("num_qubits")};
constexpr Param kQubit[] = {required("qubit")};
constexpr Param kRotation[] = {required("qubit"), required("theta")};
constexpr Param kU3Params[] = {required("qubit"), required("theta"), required("phi"),
                               required("lambda")};
constexpr Param kControlled[] = {required("control"), required("target")};
constexpr Param kPair[] = {required("q0"), required("q1")};
constexpr Param kPairRotation[] = {required("q0"), required("q1"), required("theta")};
constexpr Param kToffoliParams[] = {required("control_0"), required("control_1"),
                                    required("target")};
constexpr Param kCrkParams[] = {required("control"), required("target"), required("k")};
constexpr Param kQubits[] = {required("qubits")};
constexpr Param kMeasureInto[] = {required("qubit"), required("classical_bit")};
constexpr Param kOther[] = {required("other")};
constexpr Param kComposeParams[] = {required("other"), required("qubit_mapping")};
constexpr Param kMemo[] = {required("_memo")};

constexpr Signature kNew{"Circuit", "__new__", kNumQubits};
constexpr Signature kH{"Circuit", "h", kQubit};
constexpr Signature kX{"Circuit", "x", kQubit};
constexpr Signature kY{"Circuit", "y", kQubit};
constexpr Signature kZ{"Circuit", "z", kQubit};
constexpr Signature kS{"Circuit", "s", kQubit};
constexpr Signature kSdg{"Circuit", "sdg", kQubit};
constexpr Signature kT{"Circuit", "t", kQubit};
constexpr Signature kTdg{"Circuit", "tdg", kQubit};
constexpr Signature kRx{"Circuit", "rx", kRotation};
constexpr Signature kRy{"Circuit", "ry", kRotation};
constexpr Signature kRz{"Circuit", "rz", kRotation};
constexpr Signature kSx{"Circuit", "sx", kQubit};
constexpr Signature kU3{"Circuit", "u3", kU3Params};
constexpr Signature kCnot{"Circuit", "cnot", kControlled};
constexpr Signature kCx{"Circuit", "cx", kControlled};
constexpr Signature kCy{"Circuit", "cy", kControlled};
constexpr Signature kCz{"Circuit", "cz", kControlled};
constexpr Signature kSwap{"Circuit", "swap", kPair};
constexpr Signature kRzz{"Circuit", "rzz", kPairRotation};
constexpr Signature kToffoli{"Circuit", "toffoli", kToffoliParams};
constexpr Signature kCrk{"Circuit", "crk", kCrkParams};
constexpr Signature kQft{"Circuit", "qft", kQubits};
constexpr Signature kIqft{"Circuit", "iqft", kQubits};
constexpr Signature kMeasure{"Circuit", "measure", kQubit};
constexpr Signature kMeasureIntoSig{"Circuit", "measure_into", kMeasureInto};
constexpr Signature kBarrier{"Circuit", "barrier", kQubits};
constexpr Signature kAppend{"Circuit", "append", kOther};
constexpr Signature kCompose{"Circuit", "compose", kComposeParams};
constexpr Signature kDeepCopy{"Circuit", "__deepcopy__", kMemo};

tesvi_quantum::error::Result<Circuit> new_circuit(uint64_t num_qubits) {
    return Circuit::create(num_qubits);
}

Circuit copy_of(const Circuit& c) {
    return c;
}
Circuit deep_copy(const Circuit& c, PyObject*) {
    return c;
}

std::unordered_map<std::string, uint64_t, tesvi_quantum::KeyedHash> stats(const Circuit& c) {
    return {{"qubits", c.num_qubits()},
            {"gates", c.gate_count()},
            {"depth", c.depth()},
            {"measurements", c.measurement_count()}};
}

std::string repr(const Circuit& c) {
    return "Circuit(" + std::to_string(c.num_qubits()) + " qubits, " +
           std::to_string(c.gate_count()) + " gates, depth " + std::to_string(c.depth()) + ")";
}

// One pass over the drawing escapes exactly as replacing "&", then "<", then
// ">" would: no entity made here is escaped again.
std::string html(const Circuit& c) {
    std::string out = "<div><strong>Circuit</strong><pre>";
    for (char ch : c.to_ascii()) {
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += ch;
        }
    }
    return out + "</pre></div>";
}

PyGetSetDef getters[] = {
    property<&Circuit::num_qubits>("num_qubits", "Number of qubits in the circuit."),
    property<&Circuit::num_classical_bits>("num_classical_bits",
                                           "Number of classical bits allocated by measurements."),
    property<&Circuit::gate_count>("gate_count", "Number of gate operations in the circuit."),
    property<&Circuit::depth>("depth", "Circuit depth measured in sequential gate layers."),
    {},
};

PyMethodDef methods[] = {
    method_noargs<&copy_of>("copy", "copy($self)\n--\n\nReturn a shallow copy of the circuit."),
    method_noargs<&stats>("stats", "stats($self)\n--\n\nReturn basic circuit statistics."),
    method<kH, &Circuit::h>("h($self, qubit)\n--\n\nApply a Hadamard gate."),
    method<kX, &Circuit::x>("x($self, qubit)\n--\n\nApply a Pauli-X gate."),
    method<kY, &Circuit::y>("y($self, qubit)\n--\n\nApply a Pauli-Y gate."),
    method<kZ, &Circuit::z>("z($self, qubit)\n--\n\nApply a Pauli-Z gate."),
    method<kS, &Circuit::s>("s($self, qubit)\n--\n\nApply an S gate."),
    method<kSdg, &Circuit::sdg>("sdg($self, qubit)\n--\n\nApply an S-dagger gate."),
    method<kT, &Circuit::t>("t($self, qubit)\n--\n\nApply a T gate."),
    method<kTdg, &Circuit::tdg>("tdg($self, qubit)\n--\n\nApply a T-dagger gate."),
    method<kRx, &Circuit::rx>("rx($self, qubit, theta)\n--\n\nApply an Rx rotation in radians."),
    method<kRy, &Circuit::ry>("ry($self, qubit, theta)\n--\n\nApply an Ry rotation in radians."),
    method<kRz, &Circuit::rz>("rz($self, qubit, theta)\n--\n\nApply an Rz rotation in radians."),
    method<kSx, &Circuit::sx>("sx($self, qubit)\n--\n\nApply a square-root X gate."),
    method<kU3, &Circuit::u3>(
        "u3($self, qubit, theta, phi, lambda)\n--\n\nApply a generic U3 rotation."),
    method<kCnot, &Circuit::cnot>(
        "cnot($self, control, target)\n--\n\nApply a controlled-NOT gate."),
    method<kCx, &Circuit::cnot>("cx($self, control, target)\n--\n\nAlias for `cnot`."),
    method<kCy, &Circuit::cy>("cy($self, control, target)\n--\n\nApply a controlled-Y gate."),
    method<kCz, &Circuit::cz>("cz($self, control, target)\n--\n\nApply a controlled-Z gate."),
    method<kSwap, &Circuit::swap>("swap($self, q0, q1)\n--\n\nApply a SWAP gate."),
    method<kRzz, &Circuit::rzz>(
        "rzz($self, q0, q1, theta)\n--\n\nApply an RZZ interaction in radians."),
    method<kToffoli, &Circuit::toffoli>(
        "toffoli($self, control_0, control_1, target)\n--\n\nApply a Toffoli gate using the "
        "library decomposition."),
    method<kCrk, &Circuit::crk>(
        "crk($self, control, target, k)\n--\n\nApply a controlled phase rotation by `2*pi / "
        "2^k`."),
    method<kQft, &Circuit::qft>(
        "qft($self, qubits)\n--\n\nApply the Quantum Fourier Transform over the provided qubits."),
    method<kIqft, &Circuit::iqft>(
        "iqft($self, qubits)\n--\n\nApply the inverse Quantum Fourier Transform over the provided "
        "qubits."),
    method<kMeasure, &Circuit::measure>(
        "measure($self, qubit)\n--\n\nMeasure a qubit into the next classical bit and return that "
        "bit index."),
    method<kMeasureIntoSig, &Circuit::measure_into>(
        "measure_into($self, qubit, classical_bit)\n--\n\nMeasure a qubit into an explicit "
        "classical bit."),
    method_noargs<&Circuit::measure_all>("measure_all",
                                         "measure_all($self)\n--\n\nMeasure every qubit in order."),
    method<kBarrier, &Circuit::barrier>(
        "barrier($self, qubits)\n--\n\nInsert a logical barrier across the provided qubits."),
    method_noargs<&Circuit::barrier_all>(
        "barrier_all", "barrier_all($self)\n--\n\nInsert a barrier across all qubits."),
    method<kAppend, &Circuit::append>(
        "append($self, other)\n--\n\nAppend another circuit with the same width."),
    method<kCompose, &Circuit::compose>(
        "compose($self, other, qubit_mapping)\n--\n\nCompose another circuit onto a mapped set of "
        "qubits."),
    method_noargs<&Circuit::to_ascii>("draw",
                                      "draw($self)\n--\n\nReturn the ASCII circuit diagram."),
    method_noargs<&tesvi_quantum::qasm::to_qasm>(
        "to_qasm", "to_qasm($self)\n--\n\nExport the circuit as `OpenQASM` 2.0 source."),
    method_noargs<&copy_of>("__copy__", "__copy__($self)\n--\n\n"),
    method<kDeepCopy, &deep_copy>("__deepcopy__($self, _memo)\n--\n\n"),
    method_noargs<&html>("_repr_html_", "_repr_html_($self)\n--\n\n"),
    {},
};

PyType_Slot slots[] = {
    {Py_tp_getset, getters},
    {Py_tp_methods, methods},
    constructor<kNew, &new_circuit>(),
    text_slot<Py_tp_repr, &repr>(),
    text_slot<Py_tp_str, &Circuit::to_ascii>(),
    length_slot<&Circuit::gate_count>(),
    {0, nullptr},
};

}  // namespace

const ClassSpec Class<Circuit>::spec = {
    "tesvi.Circuit",
    "Circuit(num_qubits)\n--\n\nQuantum circuit composed of gates, barriers, and measurements.",
    slots,
};

}  // namespace _tesvi
