// An owned Python reference. Holding every new reference in one of these
// makes each early return release what the function had acquired so far.
#pragma once

#include <utility>

#include "python/binding/python.hpp"

namespace tesvi_python {

class Ref {
  public:
    Ref() = default;
    // Takes over a new reference (or null, which stands for a raised error).
    explicit Ref(PyObject* owned) : p_(owned) {}
    static Ref borrowed(PyObject* p) {
        Py_XINCREF(p);
        return Ref(p);
    }

    Ref(Ref&& other) noexcept : p_(other.release()) {}
    Ref& operator=(Ref&& other) noexcept {
        Ref old(std::exchange(p_, other.release()));
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(p_); }

    PyObject* get() const { return p_; }
    // Hands the reference to the caller.
    PyObject* release() { return std::exchange(p_, nullptr); }
    explicit operator bool() const { return p_ != nullptr; }

  private:
    PyObject* p_ = nullptr;
};

}  // namespace tesvi_python
