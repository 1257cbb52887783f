#include "python/binding/module.hpp"

#include "python/binding/ref.hpp"

namespace tesvi_python {
namespace {

// The module's __all__, made an empty list when the module has none yet.
Ref all_list(PyObject* module) {
    Ref all(PyObject_GetAttrString(module, "__all__"));
    if (all || !PyErr_ExceptionMatches(PyExc_AttributeError)) return all;
    PyErr_Clear();
    all = Ref(PyList_New(0));
    if (all && PyObject_SetAttrString(module, "__all__", all.get()) < 0) return Ref();
    return all;
}

int add_named(PyObject* module, PyObject* name, PyObject* value) {
    Ref all = all_list(module);
    if (!all) return -1;
    if (!PyList_Check(all.get())) {
        PyErr_SetString(PyExc_TypeError, "`__all__` must be a list");
        return -1;
    }
    if (PyList_Append(all.get(), name) < 0) return -1;
    return PyObject_SetAttr(module, name, value);
}

}  // namespace

int add(PyObject* module, const char* name, PyObject* value) {
    Ref key(PyUnicode_FromString(name));
    if (!key) return -1;
    return add_named(module, key.get(), value);
}

int add_function(PyObject* module, PyMethodDef* def) {
    Ref module_name(PyModule_GetNameObject(module));
    if (!module_name) return -1;
    Ref function(PyCMethod_New(def, module, module_name.get(), nullptr));
    if (!function) return -1;
    return add(module, def->ml_name, function.get());
}

int add_functions(PyObject* module, std::span<PyMethodDef> defs) {
    for (PyMethodDef& def : defs)
        if (add_function(module, &def) < 0) return -1;
    return 0;
}

int add_submodule(PyObject* parent, PyObject* child) {
    Ref name(PyModule_GetNameObject(child));
    if (!name) return -1;
    return add_named(parent, name.get(), child);
}

}  // namespace tesvi_python
