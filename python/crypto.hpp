// The submodule crypto: key encapsulation, signatures, hashing and random numbers.
#pragma once

#include "python/binding/python.hpp"

namespace tesvi_python::crypto {

// Adds the fourteen functions to the module in their fixed order; 0, or -1
// with the error set.
int register_functions(PyObject* module);

}  // namespace tesvi_python::crypto
