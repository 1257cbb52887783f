// Conversions between Python values and the C++ types of the library's
// signatures. from_python leaves the interpreter's own exception on failure;
// Arg adds the parameter's name and the default, and to_python builds the
// result of a call.
#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <ranges>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "common/expected.hpp"
#include "python/binding/args.hpp"
#include "python/binding/class.hpp"
#include "python/binding/error.hpp"
#include "python/binding/python.hpp"
#include "python/binding/ref.hpp"

namespace tesvi_python {

// Unsigned 64 bits: an int, an int subclass or anything with __index__.
bool from_python(PyObject* obj, uint64_t& out);
// Unsigned 32 bits, read first as a signed 64-bit integer.
bool from_python(PyObject* obj, uint32_t& out);
// A float, an int, or anything with __float__ or __index__.
bool from_python(PyObject* obj, double& out);
// True or False only, or numpy's boolean scalar.
bool from_python(PyObject* obj, bool& out);
// A str or str subclass, as UTF-8.
bool from_python(PyObject* obj, std::string& out);
// A bytes object or subclass; the view lives as long as the object.
bool from_python(PyObject* obj, std::span<const uint8_t>& out);
// Any object, unconverted and borrowed.
inline bool from_python(PyObject* obj, PyObject*& out) {
    out = obj;
    return true;
}

// A str is refused before the sequence check: it would pass as a sequence of characters.
bool sequence_check(PyObject* obj);

// Whether obj is a tuple (or tuple subclass) of exactly `size` items; false
// with TypeError set otherwise.
bool tuple_check(PyObject* obj, Py_ssize_t size);

template <class Tuple, size_t... I>
bool items_from_python(PyObject* tuple, Tuple& out, std::index_sequence<I...>) {
    return (from_python(PyTuple_GetItem(tuple, I), std::get<I>(out)) && ...);
}

// A tuple of exactly as many items as T has, each converted as its kind.
template <class... T>
bool from_python(PyObject* obj, std::tuple<T...>& out) {
    return tuple_check(obj, sizeof...(T)) &&
           items_from_python(obj, out, std::index_sequence_for<T...>{});
}

// Any sequence but a str, element by element in iteration order. A list of
// which a valid call uses at most `limit` elements is cut after element
// limit + 1: that one already makes it invalid, and a lazy sequence such as
// range(10**12) is never expanded.
template <class T>
bool from_python(PyObject* obj, std::vector<T>& out, size_t limit = SIZE_MAX - 1) {
    if (!sequence_check(obj)) return false;
    Ref iterator(PyObject_GetIter(obj));
    if (!iterator) return false;
    out.clear();
    while (out.size() <= limit) {
        Ref item(PyIter_Next(iterator.get()));
        if (!item) break;
        T element;
        if (!from_python(item.get(), element)) return false;
        out.push_back(std::move(element));
    }
    return !PyErr_Occurred();
}

// The number of elements of a sequence: its len(), or for one without a
// length, the count of its iteration. -1 with the error set on failure.
Py_ssize_t sequence_length(PyObject* obj);

// None or the value.
template <class T>
bool from_python(PyObject* obj, std::optional<T>& out) {
    if (obj == Py_None) {
        out.reset();
        return true;
    }
    T value;
    if (!from_python(obj, value)) return false;
    out = std::move(value);
    return true;
}

// One argument of C++ type T, converted and kept alive for the call.
template <class T>
struct Arg {
    using Stored = std::conditional_t<std::is_same_v<T, std::string_view>, std::string,
                                      std::remove_cvref_t<T>>;
    Stored value{};

    // obj is null when the parameter was left out (it then has a default).
    bool load(PyObject* obj, const Param& param) {
        if (!obj) {
            value = omitted(param);
            return true;
        }
        if (from_python(obj, value)) return true;
        argument_error(param.name);
        return false;
    }
    T get() {
        if constexpr (std::is_reference_v<T> || std::is_same_v<T, std::string_view>)
            return value;
        else
            return std::move(value);
    }

  private:
    static Stored omitted(const Param& param) {
        if constexpr (std::is_arithmetic_v<Stored>)
            return static_cast<Stored>(param.fallback);
        else if constexpr (std::is_same_v<Stored, PyObject*>)
            return Py_None;
        else
            return Stored{};
    }
};

// An instance of a class, borrowed shared for the call.
template <Wrapped T>
struct Arg<const T&> {
    Shared<T> borrow;
    bool load(PyObject* obj, const Param& param) {
        if (downcast<T>(obj) && borrow.acquire(obj)) return true;
        argument_error(param.name);
        return false;
    }
    const T& get() { return *borrow; }
};

// An instance of a class or None (also when left out).
template <Wrapped T>
struct Arg<const T*> {
    Shared<T> borrow;
    bool present = false;
    bool load(PyObject* obj, const Param& param) {
        if (!obj || obj == Py_None) return true;
        if (downcast<T>(obj) && borrow.acquire(obj)) return present = true;
        argument_error(param.name);
        return false;
    }
    const T* get() { return present ? &*borrow : nullptr; }
};

template <class T>
struct ExpectedOf : std::false_type {};
template <class T, class E>
struct ExpectedOf<tesvi::Expected<T, E>> : std::true_type {
    using Value = T;
};

inline const Error& as_error(const Error& e) {
    return e;
}
template <class E>
Error as_error(const E& e) {
    return value_error(e);
}

template <class T>
concept Map = requires {
    typename T::key_type;
    typename T::mapped_type;
};

template <class T>
concept ByteRange =
    std::ranges::contiguous_range<T> && std::is_same_v<std::ranges::range_value_t<T>, uint8_t>;

template <class T>
concept TupleLike = requires {
    std::tuple_size<T>::value;
};

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <class T>
PyObject* to_python(T&& v);

template <class Tuple, size_t... I>
PyObject* tuple_to_python(const Tuple& t, std::index_sequence<I...>) {
    const Ref items[] = {Ref(to_python(std::get<I>(t)))...};  // converted left to right
    for (const Ref& item : items)
        if (!item) return nullptr;
    return PyTuple_Pack(sizeof...(I), items[I].get()...);
}

// A range element; std::vector<bool> hands out proxy references, read as bool.
template <class Element, class E>
PyObject* element_to_python(E&& element) {
    if constexpr (std::is_same_v<Element, bool>)
        return to_python(static_cast<bool>(element));
    else
        return to_python(std::forward<E>(element));
}

// The Python value of a library result as a new reference, or null with the
// error set. Text becomes str, numbers int or float, byte ranges bytes, maps
// dict, pairs and tuples tuple, other ranges list, a class's value a new
// instance that owns it. An Expected raises its error: an Error as it is,
// anything else as ValueError with its display text; an Expected of a
// reference (a builder's receiver) gives None.
template <class T>
PyObject* to_python(T&& v) {
    using V = std::remove_cvref_t<T>;
    if constexpr (std::is_same_v<V, Ref>) {
        return v.release();
    } else if constexpr (std::is_same_v<V, bool>) {
        return PyBool_FromLong(v);
    } else if constexpr (std::unsigned_integral<V>) {
        return PyLong_FromUnsignedLongLong(v);
    } else if constexpr (std::signed_integral<V>) {
        return PyLong_FromLongLong(v);
    } else if constexpr (std::floating_point<V>) {
        return PyFloat_FromDouble(v);
    } else if constexpr (std::is_convertible_v<const V&, std::string_view>) {
        return text(v).release();
    } else if constexpr (ExpectedOf<V>::value) {
        if (!v.has_value()) return raise(as_error(v.error()));
        using Value = typename ExpectedOf<V>::Value;
        if constexpr (std::is_void_v<Value> || std::is_reference_v<Value>)
            Py_RETURN_NONE;
        else
            return to_python(std::move(v).value());
    } else if constexpr (IsOptional<V>::value) {
        if (!v) Py_RETURN_NONE;
        return to_python(*std::forward<T>(v));
    } else if constexpr (Wrapped<V>) {
        return new_instance<V>(V(std::forward<T>(v)));
    } else if constexpr (Map<V>) {
        Ref dict(PyDict_New());
        if (!dict) return nullptr;
        for (const auto& [key, value] : v) {
            Ref k(to_python(key)), item(to_python(value));
            if (!k || !item || PyDict_SetItem(dict.get(), k.get(), item.get()) < 0) return nullptr;
        }
        return dict.release();
    } else if constexpr (ByteRange<V>) {
        return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(std::ranges::data(v)),
                                         static_cast<Py_ssize_t>(std::ranges::size(v)));
    } else if constexpr (TupleLike<V>) {
        return tuple_to_python(v, std::make_index_sequence<std::tuple_size_v<V>>{});
    } else if constexpr (std::ranges::sized_range<V>) {
        Ref list(PyList_New(static_cast<Py_ssize_t>(std::ranges::size(v))));
        if (!list) return nullptr;
        Py_ssize_t i = 0;
        for (auto&& element : v) {
            PyObject* item = element_to_python<std::ranges::range_value_t<V>>(element);
            if (!item || PyList_SetItem(list.get(), i++, item) < 0) return nullptr;
        }
        return list.release();
    } else {
        static_assert(!sizeof(V), "no Python form for this type");
    }
}

// One entry of a dict whose keys come in a fixed order.
template <class V>
struct Field {
    const char* key;
    const V& value;
};
template <class V>
Field(const char*, const V&) -> Field<V>;

// Sets dict[key] = value, taking the new reference value (null: an error already set).
bool set_field(PyObject* dict, const char* key, Ref value);

// A new dict holding the fields in the order given: Python dicts keep
// insertion order, so the keys read back in that order. Null on failure.
template <class... V>
Ref fixed_dict(const Field<V>&... fields) {
    Ref dict(PyDict_New());
    if (dict && !(set_field(dict.get(), fields.key, Ref(to_python(fields.value))) && ...))
        return Ref();
    return dict;
}

}  // namespace tesvi_python
