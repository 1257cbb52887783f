#include "python/binding/error.hpp"

namespace tesvi_python {

PyObject* raise(const Error& error) {
    Ref message = text(error.text);
    if (message) PyErr_SetObject(error.type, message.get());
    return nullptr;
}

Ref text(std::string_view s) {
    return Ref(PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "replace"));
}

std::string type_qualname(PyObject* obj) {
    // A metaclass can make __qualname__ raise or return a non-str; the message
    // then names the type generically instead of failing itself.
    Ref name(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), "__qualname__"));
    if (name && PyUnicode_Check(name.get())) {
        Ref utf8(PyUnicode_AsUTF8String(name.get()));
        if (utf8) return PyBytes_AsString(utf8.get());
    }
    PyErr_Clear();
    return "object";
}

void downcast_error(PyObject* obj, const char* target) {
    Ref message(PyUnicode_FromFormat("'%s' object cannot be converted to '%s'",
                                     type_qualname(obj).c_str(), target));
    if (message) PyErr_SetObject(PyExc_TypeError, message.get());
}

void argument_error(const char* name) {
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    if (!type) return;
    PyErr_NormalizeException(&type, &value, &traceback);
    Ref owned_type(type), owned_value(value), owned_traceback(traceback);
    if (!value || reinterpret_cast<PyObject*>(Py_TYPE(value)) != PyExc_TypeError) {
        PyErr_Restore(owned_type.release(), owned_value.release(), owned_traceback.release());
        return;
    }
    Ref message(PyUnicode_FromFormat("argument '%s': %S", name, value));
    if (!message) return;
    Ref wrapped(PyObject_CallFunctionObjArgs(PyExc_TypeError, message.get(), nullptr));
    if (!wrapped) return;
    PyException_SetCause(wrapped.get(), PyException_GetCause(value));  // steals the new reference
    Py_INCREF(PyExc_TypeError);
    PyErr_Restore(PyExc_TypeError, wrapped.release(), nullptr);
}

namespace {

PyObject* panic_type() {
    // Made on first use and kept for the life of the process.
    static PyObject* type = nullptr;
    if (!type)
        type = PyErr_NewExceptionWithDoc(
            "tesvi_runtime.PanicException",
            "An internal fault of the extension: a broken invariant, not a usage error.",
            PyExc_BaseException, nullptr);
    return type;
}

}  // namespace

void raise_panic(std::string_view message) {
    PyObject* type = panic_type();
    if (!type) return;
    Ref value = text(message.empty() ? "internal fault without a message" : message);
    if (value) PyErr_SetObject(type, value.get());
}

void raise_panic_from_current() {
    try {
        throw;
    } catch (const std::exception& e) {
        raise_panic(e.what());
    } catch (...) {
        raise_panic("");
    }
}

}  // namespace tesvi_python
