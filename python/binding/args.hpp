// Matching a call's positional and keyword arguments to a parameter list.
// Every parameter may be given by position or by keyword; the failures carry
// the interpreter's customary TypeError texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "python/binding/python.hpp"

namespace _tesvi {

struct Param {
    const char* name;
    bool has_default = false;
    // What an omitted parameter takes when its C++ type is a number or flag;
    // optional types, pointers and objects take "absent" or None instead.
    int64_t fallback = 0;
};

constexpr Param required(const char* name) {
    return {name};
}
constexpr Param defaulted(const char* name, int64_t fallback = 0) {
    return {name, true, fallback};
}

struct Signature {
    const char* owner;  // the class name, or null for a module function
    const char* name;
    const Param* params = nullptr;
    size_t count = 0;

    constexpr Signature(const char* owner, const char* name) : owner(owner), name(name) {}
    template <size_t N>
    constexpr Signature(const char* owner, const char* name, const Param (&params)[N])
        : owner(owner), name(name), params(params), count(N) {}

    // "Class.name()" or "name()", as the messages designate the callee.
    std::string designation() const;
};

// Fills slots[0..count) with borrowed references to the given arguments, null
// for parameters left out. Returns false with TypeError set when the call does
// not match the signature.
bool parse_args(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** slots);

}  // namespace _tesvi
