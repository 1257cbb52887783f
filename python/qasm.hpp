// The OpenQASM functions of the module root: parse_qasm, then to_qasm.
#pragma once

#include "python/binding/python.hpp"

namespace tesvi_python::qasm {

// Adds parse_qasm and to_qasm to the module; 0, or -1 with the error set.
int register_functions(PyObject* module);

}  // namespace tesvi_python::qasm
