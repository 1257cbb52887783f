// The single include of the CPython headers. Everything in the extension is
// written against the stable ABI of Python 3.9, so one built module loads into
// every later interpreter.
#pragma once

#define PY_SSIZE_T_CLEAN
#define Py_LIMITED_API 0x03090000
#include <Python.h>
