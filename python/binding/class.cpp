#include "python/binding/class.hpp"

#include <cstring>
#include <string>
#include <vector>

namespace tesvi_python {
namespace {

PyObject* no_constructor(PyTypeObject* type, PyObject*, PyObject*) {
    Ref name(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__"));
    if (!name) return nullptr;
    Ref message(PyUnicode_FromFormat("No constructor defined for %U", name.get()));
    if (message) PyErr_SetObject(PyExc_TypeError, message.get());
    return nullptr;
}

void initialisation_error(const ClassSpec& spec) {
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    Ref owned_type(type), cause(value), owned_traceback(traceback);
    Ref message(PyUnicode_FromFormat("An error occurred while initializing class %s", spec.name()));
    if (!message) return;
    Ref error(PyObject_CallFunctionObjArgs(PyExc_RuntimeError, message.get(), nullptr));
    if (!error) return;
    PyException_SetCause(error.get(), cause.release());
    Py_INCREF(PyExc_RuntimeError);
    PyErr_Restore(PyExc_RuntimeError, error.release(), nullptr);
}

}  // namespace

const char* ClassSpec::name() const {
    const char* dot = std::strrchr(type_name, '.');
    return dot ? dot + 1 : type_name;
}

PyTypeObject* make_type(const ClassSpec& spec, size_t basicsize, destructor dealloc) {
    std::vector<PyType_Slot> slots;
    bool has_new = false;
    for (const PyType_Slot* s = spec.slots; s->slot != 0; ++s) {
        slots.push_back(*s);
        has_new = has_new || s->slot == Py_tp_new;
    }
    if (!has_new) slots.push_back({Py_tp_new, reinterpret_cast<void*>(&no_constructor)});
    slots.push_back({Py_tp_doc, const_cast<char*>(spec.doc)});
    slots.push_back({Py_tp_dealloc, reinterpret_cast<void*>(dealloc)});
    slots.push_back({0, nullptr});
    // No Py_TPFLAGS_BASETYPE: the classes cannot be subclassed. No dict or
    // weakref offsets, and no GC flag: instances refer to no other object.
    PyType_Spec type_spec{spec.type_name, static_cast<int>(basicsize), 0, Py_TPFLAGS_DEFAULT,
                          slots.data()};
    PyObject* type = PyType_FromSpec(&type_spec);
    if (!type) {
        if (!PyErr_Occurred())
            PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
        initialisation_error(spec);
    }
    return reinterpret_cast<PyTypeObject*>(type);
}

}  // namespace tesvi_python
