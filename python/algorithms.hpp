// The six algorithm functions, registered at the module root and again in the
// submodule algorithms: phase_estimation, shor_factor, vqe_hydrogen,
// qaoa_maxcut, simon_hidden_xor, random_walk.
#pragma once

#include "python/binding/python.hpp"

namespace tesvi_python::algorithms {

// Adds new function objects for the six, in that order, to the module; 0, or
// -1 with the error set.
int register_impl(PyObject* module);

}  // namespace tesvi_python::algorithms
