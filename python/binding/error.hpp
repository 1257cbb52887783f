// Python exceptions raised by the extension: errors made lazily from a type
// and a text, the re-raising of argument conversion failures under the
// parameter's name, and the trap that turns a C++ exception escaping an entry
// point into PanicException.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <type_traits>

#include "common/interrupt.hpp"
#include "python/binding/python.hpp"
#include "python/binding/ref.hpp"

namespace tesvi_python {

// An exception not made yet: the exception object exists only once raise()
// has handed the pair to the interpreter.
struct Error {
    PyObject* type;  // a built-in exception type, borrowed
    std::string text;
};

// The display text of a library error, or the text itself.
template <class E>
std::string display_text(const E& e) {
    if constexpr (requires { e.message(); })
        return std::string(e.message());
    else
        return std::string(std::string_view(e));
}

template <class E>
Error value_error(const E& e) {
    return {PyExc_ValueError, display_text(e)};
}

template <class E>
Error runtime_error(const E& e) {
    return {PyExc_RuntimeError, display_text(e)};
}

// Sets the error as the current exception and returns null for the caller to pass on.
PyObject* raise(const Error& error);

// A new str from UTF-8 text; a byte sequence that is not UTF-8 becomes U+FFFD.
Ref text(std::string_view s);

// The __qualname__ of an object's type, for conversion messages.
std::string type_qualname(PyObject* obj);

// TypeError "'{}' object cannot be converted to '{}'".
void downcast_error(PyObject* obj, const char* target);

// Re-raises a pending TypeError (exactly that type) as "argument '{}': {}",
// keeping the original's cause. Any other pending exception stays as it is.
void argument_error(const char* name);

// Sets PanicException (a BaseException, not an Exception) with the text.
void raise_panic(std::string_view text);

// Sets the panic for the exception being handled; called inside a catch block.
void raise_panic_from_current();

// The failure value of an entry point's return type: null or -1.
template <class R>
constexpr R failure() {
    if constexpr (std::is_pointer_v<R>)
        return nullptr;
    else
        return R(-1);
}

// Runs the body of one entry point. No C++ exception crosses back into the
// interpreter: whatever escapes the library is raised as PanicException, after
// the body's destructors have released its borrows and references; a call
// stopped by a signal raises the exception that the signal's handler set.
template <class R, class Body>
R trap(Body&& body) noexcept {
    R result;
    try {
        result = body();
    } catch (const tesvi::interrupt::Interrupted&) {
        // The hook stopped the call because the interpreter has an exception
        // to raise (KeyboardInterrupt, or whatever a signal handler raised).
        if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
        return failure<R>();
    } catch (...) {
        raise_panic_from_current();
        return failure<R>();
    }
    if (result == failure<R>() && !PyErr_Occurred())
        PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
    return result;
}

}  // namespace tesvi_python
