// Filling a module: every addition also appends its name to the module's
// __all__, which is created on the first addition. All return 0, or -1 with
// the Python error set.
#pragma once

#include <span>

#include "python/binding/class.hpp"
#include "python/binding/python.hpp"

namespace tesvi_python {

// Appends name to __all__, then sets the attribute (value is borrowed).
int add(PyObject* module, const char* name, PyObject* value);

// A builtin function bound to the module, so its __module__ is the module's
// __name__, added under its own name. def must outlive the function: a
// static table row. Each call makes a new function object.
int add_function(PyObject* module, PyMethodDef* def);

// add_function for every row of a table, in order, stopping at the first failure.
int add_functions(PyObject* module, std::span<PyMethodDef> defs);

// Adds child under its own __name__. The child is not entered in the
// interpreter's table of imported modules.
int add_submodule(PyObject* parent, PyObject* child);

template <Wrapped T>
int add_class(PyObject* module) {
    PyTypeObject* type = type_object<T>();
    if (!type) return -1;
    return add(module, Class<T>::spec.name(), reinterpret_cast<PyObject*>(type));
}

}  // namespace tesvi_python
