#include "python/binding/convert.hpp"

#include <cstring>

namespace tesvi_python {
namespace {

// True when the attribute of the type is a str equal to one of the texts.
bool type_attr_is(PyObject* obj, const char* attr, std::initializer_list<const char*> texts) {
    Ref value(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(obj)), attr));
    if (!value || !PyUnicode_Check(value.get())) {
        PyErr_Clear();
        return false;
    }
    for (const char* t : texts)
        if (PyUnicode_CompareWithASCIIString(value.get(), t) == 0) return true;
    return false;
}

// numpy's boolean scalar, told by its type's name: numpy itself is not needed.
bool is_numpy_bool(PyObject* obj) {
    return type_attr_is(obj, "__module__", {"numpy"}) &&
           type_attr_is(obj, "__name__", {"bool_", "bool"});
}

}  // namespace

bool from_python(PyObject* obj, uint64_t& out) {
    Ref index(PyNumber_Index(obj));
    if (!index) return false;
    out = PyLong_AsUnsignedLongLong(index.get());
    return !(out == static_cast<uint64_t>(-1) && PyErr_Occurred());
}

bool from_python(PyObject* obj, uint32_t& out) {
    Ref index(PyNumber_Index(obj));
    if (!index) return false;
    const long long wide = PyLong_AsLongLong(index.get());
    if (wide == -1 && PyErr_Occurred()) return false;
    if (wide < 0 || wide > static_cast<long long>(UINT32_MAX)) {
        PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
        return false;
    }
    out = static_cast<uint32_t>(wide);
    return true;
}

bool from_python(PyObject* obj, double& out) {
    out = PyFloat_AsDouble(obj);
    return !(out == -1.0 && PyErr_Occurred());
}

bool from_python(PyObject* obj, bool& out) {
    if (obj == Py_True || obj == Py_False) {
        out = obj == Py_True;
        return true;
    }
    if (is_numpy_bool(obj)) {
        const int truth = PyObject_IsTrue(obj);
        out = truth == 1;
        return truth >= 0;
    }
    downcast_error(obj, "PyBool");
    return false;
}

bool from_python(PyObject* obj, std::string& out) {
    if (!PyUnicode_Check(obj)) {
        downcast_error(obj, "PyString");
        return false;
    }
    Ref utf8(PyUnicode_AsUTF8String(obj));
    if (!utf8) return false;
    char* data;
    Py_ssize_t size;
    if (PyBytes_AsStringAndSize(utf8.get(), &data, &size) < 0) return false;
    out.assign(data, static_cast<size_t>(size));
    return true;
}

bool from_python(PyObject* obj, std::span<const uint8_t>& out) {
    if (!PyBytes_Check(obj)) {
        downcast_error(obj, "PyBytes");
        return false;
    }
    out = {reinterpret_cast<const uint8_t*>(PyBytes_AsString(obj)),
           static_cast<size_t>(PyBytes_Size(obj))};
    return true;
}

bool sequence_check(PyObject* obj) {
    if (PyUnicode_Check(obj)) {
        PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
        return false;
    }
    if (!PySequence_Check(obj)) {
        downcast_error(obj, "Sequence");
        return false;
    }
    return true;
}

Py_ssize_t sequence_length(PyObject* obj) {
    const Py_ssize_t length = PyObject_Size(obj);
    if (length >= 0 || !PyErr_ExceptionMatches(PyExc_TypeError)) return length;
    PyErr_Clear();
    Ref iterator(PyObject_GetIter(obj));
    if (!iterator) return -1;
    Py_ssize_t count = 0;
    while (Ref item{PyIter_Next(iterator.get())}) ++count;
    return PyErr_Occurred() ? -1 : count;
}

bool tuple_check(PyObject* obj, Py_ssize_t size) {
    if (!PyTuple_Check(obj)) {
        downcast_error(obj, "PyTuple");
        return false;
    }
    const Py_ssize_t got = PyTuple_Size(obj);
    if (got == size) return true;
    PyErr_Format(PyExc_TypeError, "expected tuple of length %zd, but got tuple of length %zd", size,
                 got);
    return false;
}

bool set_field(PyObject* dict, const char* key, Ref value) {
    return value && PyDict_SetItemString(dict, key, value.get()) == 0;
}

}  // namespace tesvi_python
