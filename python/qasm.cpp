// parse_qasm and to_qasm: OpenQASM 2.0 text in and out of Python circuits.
#include "python/qasm.hpp"

#include "python/binding/call.hpp"
#include "python/binding/module.hpp"
#include "python/classes.hpp"
#include "quantum/qasm/parser.hpp"
#include "quantum/qasm/serializer.hpp"

namespace tesvi_python::qasm {
namespace {

using tesvi_quantum::circuit::Circuit;

constexpr Param kSource[] = {required("source")};
constexpr Param kCircuit[] = {required("circuit")};
constexpr Signature kParse{nullptr, "parse_qasm", kSource,
                           "Parse `OpenQASM` 2.0 source into a circuit."};
constexpr Signature kToQasm{nullptr, "to_qasm", kCircuit,
                            "Serialize a circuit into `OpenQASM` 2.0 source."};

auto parse(std::string_view source) {
    return tesvi_quantum::qasm::parse_qasm(source);
}
std::string write(const Circuit& circuit) {
    return tesvi_quantum::qasm::to_qasm(circuit);
}

PyMethodDef functions[] = {
    function<kParse, &parse>(),
    function<kToQasm, &write>(),
};

}  // namespace

int register_functions(PyObject* module) {
    return add_functions(module, functions);
}

}  // namespace tesvi_python::qasm
