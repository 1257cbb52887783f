// Matching a call's positional and keyword arguments to a parameter list.
// Every parameter may be given by position or by keyword; the failures carry
// the interpreter's customary TypeError texts.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

#include "python/binding/python.hpp"

namespace tesvi_python {

// One parameter: its name and what it takes when left out.
struct Param {
    enum class Default { Required, None, Int, Bool };
    const char* name;
    Default kind = Default::Required;
    // The value an omitted number or flag takes; optional types, pointers and
    // objects take "absent" or None instead.
    int64_t fallback = 0;

    constexpr bool has_default() const { return kind != Default::Required; }
};

constexpr Param required(const char* name) {
    return {name};
}
// Defaults to None.
constexpr Param defaulted(const char* name) {
    return {name, Param::Default::None};
}
// Defaults to the number or flag given, shown as Python writes it.
template <std::integral T>
constexpr Param defaulted(const char* name, T value) {
    return {name, std::is_same_v<T, bool> ? Param::Default::Bool : Param::Default::Int,
            static_cast<int64_t>(value)};
}

// The one declaration of a callable: its parameters for the parser and the
// messages, and its text signature and doc text for the docstring.
struct Signature {
    const char* owner;  // the class name, or null for a module function
    const char* name;   // "__new__" for a constructor
    const Param* params = nullptr;
    size_t count = 0;
    const char* doc = "";  // the text after the signature; empty: no __doc__

    constexpr Signature(const char* owner, const char* name, const char* doc = "")
        : owner(owner), name(name), doc(doc) {}
    template <size_t N>
    constexpr Signature(const char* owner, const char* name, const Param (&params)[N],
                        const char* doc = "")
        : owner(owner), name(name), params(params), count(N), doc(doc) {}

    // "Class.name()" or "name()", as the messages designate the callee.
    std::string designation() const;
};

// Fills slots[0..count) with borrowed references to the given arguments, null
// for parameters left out. Returns false with TypeError set when the call does
// not match the signature.
bool parse_args(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** slots);

}  // namespace tesvi_python
