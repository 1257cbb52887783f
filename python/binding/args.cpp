#include "python/binding/args.hpp"

#include <vector>

#include "python/binding/error.hpp"

namespace tesvi_python {
namespace {

bool too_many_positional(const Signature& sig, size_t given) {
    size_t required_count = 0;
    for (size_t i = 0; i < sig.count; ++i) required_count += !sig.params[i].has_default();
    std::string message = sig.designation() + " takes ";
    if (required_count == sig.count)
        message += std::to_string(sig.count);
    else
        message += "from " + std::to_string(required_count) + " to " + std::to_string(sig.count);
    message += " positional arguments but " + std::to_string(given) +
               (given == 1 ? " was" : " were") + " given";
    raise({PyExc_TypeError, message});
    return false;
}

bool keyword_error(const Signature& sig, const char* what, PyObject* key) {
    // Keywords are str in every call the interpreter makes; anything else is shown by its str().
    Ref message(PyUnicode_FromFormat(PyUnicode_Check(key) ? "%s %s '%U'" : "%s %s '%S'",
                                     sig.designation().c_str(), what, key));
    if (message) PyErr_SetObject(PyExc_TypeError, message.get());
    return false;
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'".
std::string quoted_list(const std::vector<const char*>& names) {
    std::string out;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
        out += std::string("'") + names[i] + "'";
    }
    return out;
}

bool missing_required(const Signature& sig, PyObject** slots) {
    std::vector<const char*> missing;
    for (size_t i = 0; i < sig.count; ++i)
        if (!slots[i] && !sig.params[i].has_default()) missing.push_back(sig.params[i].name);
    if (missing.empty()) return true;
    const std::string message =
        sig.designation() + " missing " + std::to_string(missing.size()) + " required positional " +
        (missing.size() == 1 ? "argument" : "arguments") + ": " + quoted_list(missing);
    raise({PyExc_TypeError, message});
    return false;
}

// The parameter a keyword names, or count when it names none.
size_t find_param(const Signature& sig, PyObject* key) {
    if (!PyUnicode_Check(key)) return sig.count;
    for (size_t i = 0; i < sig.count; ++i)
        if (PyUnicode_CompareWithASCIIString(key, sig.params[i].name) == 0) return i;
    return sig.count;
}

}  // namespace

std::string Signature::designation() const {
    return owner ? std::string(owner) + "." + name + "()" : std::string(name) + "()";
}

bool parse_args(const Signature& sig, PyObject* args, PyObject* kwargs, PyObject** slots) {
    const size_t given = args ? static_cast<size_t>(PyTuple_Size(args)) : 0;
    if (given > sig.count) return too_many_positional(sig, given);
    for (size_t i = 0; i < sig.count; ++i)
        slots[i] = i < given ? PyTuple_GetItem(args, static_cast<Py_ssize_t>(i)) : nullptr;
    if (kwargs) {
        Py_ssize_t pos = 0;
        PyObject *key, *value;
        while (PyDict_Next(kwargs, &pos, &key, &value)) {
            const size_t i = find_param(sig, key);
            if (i == sig.count)
                return keyword_error(sig, "got an unexpected keyword argument", key);
            if (slots[i]) return keyword_error(sig, "got multiple values for argument", key);
            slots[i] = value;
        }
    }
    return missing_required(sig, slots);
}

}  // namespace tesvi_python
