// Entry points generated from library signatures. A table row names the
// library operation (a member, a data member, or a free function whose first
// parameter is the receiver) and its Python signature; the generated entry
// parses the call, borrows the receiver (exclusively when the operation may
// change it), converts the arguments in order, calls, and converts the result.
#pragma once

#include <functional>
#include <tuple>
#include <type_traits>

#include "python/binding/args.hpp"
#include "python/binding/class.hpp"
#include "python/binding/convert.hpp"
#include "python/binding/docstring.hpp"
#include "python/binding/error.hpp"
#include "python/binding/python.hpp"

namespace tesvi_python {

// What a library operation takes: the receiver (when it has one) and the
// parameters that Python passes.
template <class F>
struct Operation;
template <class R, class... A>
struct Operation<R (*)(A...)> {
    using Params = std::tuple<A...>;
};
template <class R, class C, class... A>
struct Operation<R (C::*)(A...)> {
    using Receiver = C&;
    using Params = std::tuple<A...>;
};
template <class R, class C, class... A>
struct Operation<R (C::*)(A...) const> {
    using Receiver = const C&;
    using Params = std::tuple<A...>;
};
template <class T, class C>
requires(!std::is_function_v<T>) struct Operation<T C::*> {
    using Receiver = const C&;
    using Params = std::tuple<>;
};

// A free function used as a method: its first parameter is the receiver.
template <class F>
struct MethodOf : Operation<F> {};
template <class R, class Self, class... A>
struct MethodOf<R (*)(Self, A...)> {
    using Receiver = Self;
    using Params = std::tuple<A...>;
};

template <class Receiver>
using Value = std::remove_cvref_t<Receiver>;

// A const receiver is borrowed shared, any other exclusively.
template <class Receiver>
using Borrow = std::conditional_t<std::is_const_v<std::remove_reference_t<Receiver>>,
                                  Shared<Value<Receiver>>, Exclusive<Value<Receiver>>>;

template <const Signature& S, class... A, size_t... I, class Call>
PyObject* convert_args(PyObject** slots, std::index_sequence<I...>, Call& call) {
    std::tuple<Arg<A>...> args;
    if (!(std::get<I>(args).load(slots[I], S.params[I]) && ...)) return nullptr;
    return call(std::get<I>(args).get()...);
}

// Converts the arguments in parameter order, stopping at the first failure,
// then hands them to call. The tuple pointer only carries the parameter types.
template <const Signature& S, class... A, class Call>
PyObject* with_args(PyObject** slots, std::tuple<A...>*, Call&& call) {
    static_assert(S.count == sizeof...(A), "the signature must list every parameter");
    return convert_args<S, A...>(slots, std::index_sequence_for<A...>{}, call);
}

// An operation that returns its receiver only changed it: Python gets None.
// A result object that could not be allocated is an internal fault of the
// call, not the caller's MemoryError: it is raised as PanicException.
inline PyObject* result_object(PyObject* result) {
    if (!result && PyErr_ExceptionMatches(PyExc_MemoryError)) {
        PyErr_Clear();
        raise_panic("failed to allocate the result object");
    }
    return result;
}

template <class Self, class Thunk>
PyObject* result_of(Thunk&& thunk) {
    using R = decltype(thunk());
    if constexpr (std::is_void_v<R> || std::is_same_v<R, Self&>) {
        thunk();
        Py_RETURN_NONE;
    } else {
        return result_object(to_python(thunk()));
    }
}

template <auto Fn, class Receiver, class... A>
PyObject* invoke_on(Receiver& receiver, A&&... args) {
    using Self = Value<typename MethodOf<decltype(Fn)>::Receiver>;
    return result_of<Self>(
        [&]() -> decltype(auto) { return std::invoke(Fn, *receiver, std::forward<A>(args)...); });
}

template <const Signature& S, auto Fn>
PyObject* method_entry(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
    return trap<PyObject*>([&]() -> PyObject* {
        using M = MethodOf<decltype(Fn)>;
        PyObject* slots[S.count + 1];
        if (!parse_args(S, args, kwargs, slots)) return nullptr;
        Borrow<typename M::Receiver> receiver;
        if (!receiver.acquire(self)) return nullptr;
        return with_args<S>(slots, static_cast<typename M::Params*>(nullptr), [&](auto&&... a) {
            return invoke_on<Fn>(receiver, std::forward<decltype(a)>(a)...);
        });
    });
}

template <auto Fn>
PyObject* unary_entry(PyObject* self) noexcept {
    return trap<PyObject*>([&]() -> PyObject* {
        Borrow<typename MethodOf<decltype(Fn)>::Receiver> receiver;
        if (!receiver.acquire(self)) return nullptr;
        return invoke_on<Fn>(receiver);
    });
}

template <auto Fn>
PyObject* noargs_entry(PyObject* self, PyObject*) noexcept {
    return unary_entry<Fn>(self);
}

template <auto Fn>
PyObject* getter_entry(PyObject* self, void*) noexcept {
    return unary_entry<Fn>(self);
}

template <auto Fn>
Py_ssize_t length_entry(PyObject* self) noexcept {
    return trap<Py_ssize_t>([&]() -> Py_ssize_t {
        Borrow<typename MethodOf<decltype(Fn)>::Receiver> receiver;
        if (!receiver.acquire(self)) return -1;
        const auto n = std::invoke(Fn, *receiver);
        if (n > static_cast<decltype(n)>(PY_SSIZE_T_MAX)) {
            PyErr_SetString(PyExc_OverflowError, "length does not fit a Py_ssize_t");
            return -1;
        }
        return static_cast<Py_ssize_t>(n);
    });
}

// The key of a subscript is the one parameter of S.
template <const Signature& S, auto Fn>
PyObject* subscript_entry(PyObject* self, PyObject* key) noexcept {
    return trap<PyObject*>([&]() -> PyObject* {
        using M = MethodOf<decltype(Fn)>;
        Borrow<typename M::Receiver> receiver;
        if (!receiver.acquire(self)) return nullptr;
        return with_args<S>(&key, static_cast<typename M::Params*>(nullptr), [&](auto&&... a) {
            return invoke_on<Fn>(receiver, std::forward<decltype(a)>(a)...);
        });
    });
}

// Module functions, static methods and constructors: no receiver.
template <const Signature& S, auto Fn>
PyObject* function_entry(PyObject*, PyObject* args, PyObject* kwargs) noexcept {
    return trap<PyObject*>([&]() -> PyObject* {
        PyObject* slots[S.count + 1];
        if (!parse_args(S, args, kwargs, slots)) return nullptr;
        return with_args<S>(
            slots, static_cast<typename Operation<decltype(Fn)>::Params*>(nullptr),
            [&](auto&&... a) {
                return result_object(to_python(Fn(std::forward<decltype(a)>(a)...)));
            });
    });
}

template <auto Fn>
PyObject* function_noargs_entry(PyObject*, PyObject*) noexcept {
    return trap<PyObject*>([&]() -> PyObject* { return result_object(to_python(Fn())); });
}

template <const Signature& S, auto Fn>
PyObject* new_entry(PyTypeObject*, PyObject* args, PyObject* kwargs) noexcept {
    return function_entry<S, Fn>(nullptr, args, kwargs);
}

template <class F>
PyCFunction cfunction(F f) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

template <class F>
void* slot_function(F f) {
    return reinterpret_cast<void*>(f);
}

// Table rows. Each names its callable's Signature, from which the parser,
// the messages and the docstring all come.
template <const Signature& S, Form F, class Entry>
PyMethodDef row(Entry entry, int flags) {
    // METH_NOARGS entries get no arguments from the interpreter to parse.
    static_assert(S.count == 0 || !std::is_invocable_v<Entry, PyObject*, PyObject*>);
    return {S.name, cfunction(entry), flags, docstring<S, F>()};
}

template <const Signature& S, auto Fn>
PyMethodDef method() {
    return row<S, Form::Method>(&method_entry<S, Fn>, METH_VARARGS | METH_KEYWORDS);
}

template <const Signature& S, auto Fn>
PyMethodDef method_noargs() {
    return row<S, Form::Method>(&noargs_entry<Fn>, METH_NOARGS);
}

template <const Signature& S, auto Fn>
PyMethodDef static_method() {
    return row<S, Form::Function>(&function_entry<S, Fn>,
                                  METH_VARARGS | METH_KEYWORDS | METH_STATIC);
}

template <const Signature& S, auto Fn>
PyMethodDef static_noargs() {
    return row<S, Form::Function>(&function_noargs_entry<Fn>, METH_NOARGS | METH_STATIC);
}

template <const Signature& S, auto Fn>
PyMethodDef function() {
    return row<S, Form::Function>(&function_entry<S, Fn>, METH_VARARGS | METH_KEYWORDS);
}

template <const Signature& S, auto Fn>
PyMethodDef function_noargs() {
    return row<S, Form::Function>(&function_noargs_entry<Fn>, METH_NOARGS);
}

template <auto Fn>
PyGetSetDef property(const char* name, const char* doc) {
    return {name, &getter_entry<Fn>, nullptr, doc, nullptr};
}

template <const Signature& S, auto Fn>
PyType_Slot constructor() {
    return {Py_tp_new, slot_function(&new_entry<S, Fn>)};
}

// Py_tp_repr or Py_tp_str.
template <int Slot, auto Fn>
PyType_Slot text_slot() {
    return {Slot, slot_function(&unary_entry<Fn>)};
}

template <auto Fn>
PyType_Slot length_slot() {
    return {Py_mp_length, slot_function(&length_entry<Fn>)};
}

template <const Signature& S, auto Fn>
PyType_Slot subscript_slot() {
    return {Py_mp_subscript, slot_function(&subscript_entry<S, Fn>)};
}

}  // namespace tesvi_python
