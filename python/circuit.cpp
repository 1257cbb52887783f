// The Python class Circuit: each member converts its arguments, calls the
// library builder or reader of the same name and converts the result.
#include <string>
#include <unordered_map>

#include "python/binding/call.hpp"
#include "python/classes.hpp"
#include "quantum/keyed_hash.hpp"
#include "quantum/qasm/serializer.hpp"

namespace tesvi_python {
namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::error::Result;
using tesvi_quantum::error::TesviError;

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

constexpr Signature kNew{"Circuit", "__new__", kNumQubits,
                         "Quantum circuit composed of gates, barriers, and measurements."};
constexpr Signature kH{"Circuit", "h", kQubit, "Apply a Hadamard gate."};
constexpr Signature kX{"Circuit", "x", kQubit, "Apply a Pauli-X gate."};
constexpr Signature kY{"Circuit", "y", kQubit, "Apply a Pauli-Y gate."};
constexpr Signature kZ{"Circuit", "z", kQubit, "Apply a Pauli-Z gate."};
constexpr Signature kS{"Circuit", "s", kQubit, "Apply an S gate."};
constexpr Signature kSdg{"Circuit", "sdg", kQubit, "Apply an S-dagger gate."};
constexpr Signature kT{"Circuit", "t", kQubit, "Apply a T gate."};
constexpr Signature kTdg{"Circuit", "tdg", kQubit, "Apply a T-dagger gate."};
constexpr Signature kRx{"Circuit", "rx", kRotation, "Apply an Rx rotation in radians."};
constexpr Signature kRy{"Circuit", "ry", kRotation, "Apply an Ry rotation in radians."};
constexpr Signature kRz{"Circuit", "rz", kRotation, "Apply an Rz rotation in radians."};
constexpr Signature kSx{"Circuit", "sx", kQubit, "Apply a square-root X gate."};
constexpr Signature kU3{"Circuit", "u3", kU3Params, "Apply a generic U3 rotation."};
constexpr Signature kCnot{"Circuit", "cnot", kControlled, "Apply a controlled-NOT gate."};
constexpr Signature kCx{"Circuit", "cx", kControlled, "Alias for `cnot`."};
constexpr Signature kCy{"Circuit", "cy", kControlled, "Apply a controlled-Y gate."};
constexpr Signature kCz{"Circuit", "cz", kControlled, "Apply a controlled-Z gate."};
constexpr Signature kSwap{"Circuit", "swap", kPair, "Apply a SWAP gate."};
constexpr Signature kRzz{"Circuit", "rzz", kPairRotation, "Apply an RZZ interaction in radians."};
constexpr Signature kToffoli{"Circuit", "toffoli", kToffoliParams,
                             "Apply a Toffoli gate using the library decomposition."};
constexpr Signature kCrk{"Circuit", "crk", kCrkParams,
                         "Apply a controlled phase rotation by `2*pi / 2^k`."};
constexpr Signature kQft{"Circuit", "qft", kQubits,
                         "Apply the Quantum Fourier Transform over the provided qubits."};
constexpr Signature kIqft{"Circuit", "iqft", kQubits,
                          "Apply the inverse Quantum Fourier Transform over the provided qubits."};
constexpr Signature kMeasure{
    "Circuit", "measure", kQubit,
    "Measure a qubit into the next classical bit and return that bit index."};
constexpr Signature kMeasureIntoSig{"Circuit", "measure_into", kMeasureInto,
                                    "Measure a qubit into an explicit classical bit."};
constexpr Signature kBarrier{"Circuit", "barrier", kQubits,
                             "Insert a logical barrier across the provided qubits."};
constexpr Signature kAppend{"Circuit", "append", kOther,
                            "Append another circuit with the same width."};
constexpr Signature kCompose{"Circuit", "compose", kComposeParams,
                             "Compose another circuit onto a mapped set of qubits."};
constexpr Signature kDeepCopy{"Circuit", "__deepcopy__", kMemo};
constexpr Signature kCopy{"Circuit", "copy", "Return a shallow copy of the circuit."};
constexpr Signature kStats{"Circuit", "stats", "Return basic circuit statistics."};
constexpr Signature kMeasureAll{"Circuit", "measure_all", "Measure every qubit in order."};
constexpr Signature kBarrierAll{"Circuit", "barrier_all", "Insert a barrier across all qubits."};
constexpr Signature kDraw{"Circuit", "draw", "Return the ASCII circuit diagram."};
constexpr Signature kToQasm{"Circuit", "to_qasm", "Export the circuit as `OpenQASM` 2.0 source."};
constexpr Signature kDunderCopy{"Circuit", "__copy__"};
constexpr Signature kReprHtml{"Circuit", "_repr_html_"};

tesvi_quantum::error::Result<Circuit> new_circuit(uint64_t num_qubits) {
    return Circuit::create(num_qubits);
}

Circuit copy_of(const Circuit& c) {
    return c;
}
Circuit deep_copy(const Circuit& c, PyObject*) {
    return c;
}

// The list argument of a builder, of which a valid call uses at most `limit`
// entries; null with the error set when it does not convert.
bool qubit_list(PyObject* obj, uint64_t limit, const char* name, std::vector<uint64_t>& out) {
    if (from_python(obj, out, limit)) return true;
    argument_error(name);
    return false;
}

// qft, iqft and barrier: a list longer than the register repeats an index or
// holds one out of range, and its first num_qubits + 1 entries show which.
template <Result<Circuit&> (Circuit::*Builder)(const std::vector<uint64_t>&)>
Ref with_qubits(Circuit& c, PyObject* qubits) {
    std::vector<uint64_t> list;
    if (!qubit_list(qubits, c.num_qubits(), "qubits", list)) return Ref();
    return Ref(to_python((c.*Builder)(list)));
}

// A mapping longer than other's width fails on its length alone, which
// len() gives without converting the rest.
Ref compose(Circuit& c, const Circuit& other, PyObject* qubit_mapping) {
    std::vector<uint64_t> mapping;
    if (!qubit_list(qubit_mapping, other.num_qubits(), "qubit_mapping", mapping)) return Ref();
    if (mapping.size() <= other.num_qubits()) return Ref(to_python(c.compose(other, mapping)));
    const Py_ssize_t length = sequence_length(qubit_mapping);
    if (length < 0) return Ref();
    const TesviError mismatch =
        TesviError::MappingLengthMismatch{static_cast<uint64_t>(length), other.num_qubits()};
    return Ref(raise(value_error(mismatch)));
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
    method_noargs<kCopy, &copy_of>(),
    method_noargs<kStats, &stats>(),
    method<kH, &Circuit::h>(),
    method<kX, &Circuit::x>(),
    method<kY, &Circuit::y>(),
    method<kZ, &Circuit::z>(),
    method<kS, &Circuit::s>(),
    method<kSdg, &Circuit::sdg>(),
    method<kT, &Circuit::t>(),
    method<kTdg, &Circuit::tdg>(),
    method<kRx, &Circuit::rx>(),
    method<kRy, &Circuit::ry>(),
    method<kRz, &Circuit::rz>(),
    method<kSx, &Circuit::sx>(),
    method<kU3, &Circuit::u3>(),
    method<kCnot, &Circuit::cnot>(),
    method<kCx, &Circuit::cnot>(),
    method<kCy, &Circuit::cy>(),
    method<kCz, &Circuit::cz>(),
    method<kSwap, &Circuit::swap>(),
    method<kRzz, &Circuit::rzz>(),
    method<kToffoli, &Circuit::toffoli>(),
    method<kCrk, &Circuit::crk>(),
    method<kQft, &with_qubits<&Circuit::qft>>(),
    method<kIqft, &with_qubits<&Circuit::iqft>>(),
    method<kMeasure, &Circuit::measure>(),
    method<kMeasureIntoSig, &Circuit::measure_into>(),
    method_noargs<kMeasureAll, &Circuit::measure_all>(),
    method<kBarrier, &with_qubits<&Circuit::barrier>>(),
    method_noargs<kBarrierAll, &Circuit::barrier_all>(),
    method<kAppend, &Circuit::append>(),
    method<kCompose, &compose>(),
    method_noargs<kDraw, &Circuit::to_ascii>(),
    method_noargs<kToQasm, &tesvi_quantum::qasm::to_qasm>(),
    method_noargs<kDunderCopy, &copy_of>(),
    method<kDeepCopy, &deep_copy>(),
    method_noargs<kReprHtml, &html>(),
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
    docstring<kNew, Form::Class>(),
    slots,
};

}  // namespace tesvi_python
