// Python classes that each own one library value: the instance layout with
// its borrow flag, the type objects made from a spec once per process, and
// the shared and exclusive borrows taken for the length of a call.
#pragma once

#include <cstdint>
#include <new>
#include <utility>

#include "python/binding/error.hpp"
#include "python/binding/python.hpp"

namespace tesvi_python {

template <class T>
struct Instance {
    PyObject ob_base;
    int64_t borrow;  // 0 free, n > 0 shared n times, -1 exclusive
    T value;
};

struct ClassSpec {
    const char* type_name;  // "tesvi.Name": the module part becomes __module__
    const char* doc;        // "Name(signature)\n--\n\ntext", or the text alone
    PyType_Slot* slots;     // methods, getters, constructor, text forms; {0, nullptr} last

    // The class name, as Python shows it in __name__.
    const char* name() const;
};

// The Python class of a library value: each class file specialises it with
// `static const ClassSpec spec;`.
template <class T>
struct Class;

template <class T>
concept Wrapped = requires {
    Class<T>::spec;
};

// PyType_FromSpec over the class's type spec plus the layout's size and destructor. A type
// without a constructor slot refuses construction from Python. On failure:
// RuntimeError "An error occurred while initializing class {}" caused by the
// underlying error.
PyTypeObject* make_type(const ClassSpec& spec, size_t basicsize, destructor dealloc);

template <class T>
void dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<Instance<T>*>(self)->value.~T();
    reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free))(self);
    Py_DECREF(type);
}

// The type object of T's class, made the first time it is needed.
template <Wrapped T>
PyTypeObject* type_object() {
    static PyTypeObject* type = nullptr;
    if (!type) type = make_type(Class<T>::spec, sizeof(Instance<T>), &dealloc<T>);
    return type;
}

// A new instance owning the value.
template <Wrapped T>
PyObject* new_instance(T value) {
    PyTypeObject* type = type_object<T>();
    if (!type) return nullptr;
    PyObject* obj = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc))(type, 0);
    if (!obj) return nullptr;
    auto* cell = reinterpret_cast<Instance<T>*>(obj);
    cell->borrow = 0;
    new (&cell->value) T(std::move(value));
    return obj;
}

// Whether obj is an instance of T's class; false with TypeError "'{}' object
// cannot be converted to '{}'" set otherwise.
template <Wrapped T>
bool downcast(PyObject* obj) {
    PyTypeObject* type = type_object<T>();
    if (!type) return false;
    if (PyObject_TypeCheck(obj, type)) return true;
    downcast_error(obj, Class<T>::spec.name());
    return false;
}

// A shared borrow: any number at once, none while an exclusive one is held.
template <class T>
class Shared {
  public:
    Shared() = default;
    Shared(const Shared&) = delete;
    Shared& operator=(const Shared&) = delete;
    ~Shared() {
        if (cell_) --cell_->borrow;
    }

    // obj must be an instance of T's class.
    bool acquire(PyObject* obj) {
        auto* cell = reinterpret_cast<Instance<T>*>(obj);
        if (cell->borrow < 0) {
            PyErr_SetString(PyExc_RuntimeError, "Already mutably borrowed");
            return false;
        }
        ++cell->borrow;
        cell_ = cell;
        return true;
    }
    const T& operator*() const { return cell_->value; }

  private:
    Instance<T>* cell_ = nullptr;
};

// An exclusive borrow: only when no other borrow is held.
template <class T>
class Exclusive {
  public:
    Exclusive() = default;
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;
    ~Exclusive() {
        if (cell_) cell_->borrow = 0;
    }

    bool acquire(PyObject* obj) {
        auto* cell = reinterpret_cast<Instance<T>*>(obj);
        if (cell->borrow != 0) {
            PyErr_SetString(PyExc_RuntimeError, "Already borrowed");
            return false;
        }
        cell->borrow = -1;
        cell_ = cell;
        return true;
    }
    T& operator*() const { return cell_->value; }

  private:
    Instance<T>* cell_ = nullptr;
};

}  // namespace tesvi_python
