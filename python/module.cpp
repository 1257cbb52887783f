// The extension's init entry and the module body that fills `_tesvi`.
#include <atomic>
#include <cstdint>

#include "common/interrupt.hpp"
#include "python/algorithms.hpp"  // tesvi_python::algorithms::register_impl: the six functions
#include "python/binding/error.hpp"
#include "python/binding/module.hpp"
#include "python/binding/ref.hpp"
#include "python/classes.hpp"
#include "python/crypto.hpp"  // tesvi_python::crypto::register_functions: the fourteen functions
#include "python/qasm.hpp"    // tesvi_python::qasm::register_functions: parse_qasm, to_qasm

namespace tesvi_python {

// The module body: the classes, the functions and submodules, the version.
int _tesvi(PyObject* module);

namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::noise::NoiseModel;
using tesvi_quantum::result::QuantumResult;
using tesvi_quantum::simulator::Simulator;

PyModuleDef definition = {
    PyModuleDef_HEAD_INIT,
    "_tesvi",
    "",  // an empty docstring, not None
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

// The interpreter that first initialised the module; -1 until then.
std::atomic<int64_t> owner_interpreter{-1};
// The module made by the first successful initialisation.
PyObject* module_cell = nullptr;

// The library's interruption hook: pending signals run their Python handlers
// here, and a handler that raised (Ctrl-C: KeyboardInterrupt) stops the call.
// The library asks only on the thread that called into the module, which
// holds the interpreter lock for the whole call.
bool signal_raised() {
    return PyErr_CheckSignals() < 0;
}

PyObject* initialise() {
    const int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id == -1) return nullptr;
    int64_t expected = -1;
    if (!owner_interpreter.compare_exchange_strong(expected, id) && expected != id) {
        PyErr_SetString(PyExc_ImportError,
                        "_tesvi does not support subinterpreters: it can be imported only in the "
                        "interpreter that first imported it");
        return nullptr;
    }
    if (module_cell) {
        Py_INCREF(module_cell);
        return module_cell;
    }
    Ref module(PyModule_Create2(&definition, PYTHON_ABI_VERSION));
    if (!module || _tesvi(module.get()) < 0) return nullptr;
    tesvi::interrupt::install(&signal_raised);
    module_cell = module.get();
    Py_INCREF(module_cell);
    return module.release();
}

}  // namespace

int _tesvi(PyObject* module) {
    if (add_class<Circuit>(module) < 0 || add_class<Simulator>(module) < 0 ||
        add_class<QuantumResult>(module) < 0 || add_class<NoiseModel>(module) < 0)
        return -1;
    if (qasm::register_functions(module) < 0 || algorithms::register_impl(module) < 0) return -1;

    Ref crypto(PyModule_New("crypto"));
    if (!crypto || crypto::register_functions(crypto.get()) < 0) return -1;
    // Added once as a plain attribute and once more as a submodule: both
    // steps append "crypto" to __all__.
    if (add(module, "crypto", crypto.get()) < 0 || add_submodule(module, crypto.get()) < 0)
        return -1;

    Ref algorithms(PyModule_New("algorithms"));
    if (!algorithms || algorithms::register_impl(algorithms.get()) < 0 ||
        add_submodule(module, algorithms.get()) < 0)
        return -1;

    Ref version(PyUnicode_FromString(TESVI_VERSION));
    if (!version) return -1;
    return add(module, "__version__", version.get());
}

}  // namespace tesvi_python

PyMODINIT_FUNC PyInit__tesvi() {
    return tesvi_python::trap<PyObject*>([] { return tesvi_python::initialise(); });
}
