// The boundary between C++ and the interpreter: a C++ exception escaping an
// entry point becomes PanicException, a call stopped by a signal raises what
// the signal's handler raised, the borrows taken by the call are released,
// and the interpreter keeps running. Also the docstrings that signatures render.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "common/expected.hpp"
#include "common/interrupt.hpp"
#include "python/binding/class.hpp"
#include "python/binding/docstring.hpp"
#include "python/binding/error.hpp"
#include "python/binding/ref.hpp"
#include "quantum/error.hpp"

namespace {

using tesvi_python::Ref;

class Interpreter : public ::testing::Environment {
  public:
    void SetUp() override { Py_Initialize(); }
    void TearDown() override { Py_FinalizeEx(); }
};

const auto* interpreter = ::testing::AddGlobalTestEnvironment(new Interpreter);

struct Raised {
    std::string type_name;
    std::string text;
    bool base_exception_only;
};

// Takes the pending exception apart; the error indicator is clear afterwards.
Raised take_error() {
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    Ref t(type), v(value), tb(traceback);
    Ref name(PyObject_GetAttrString(type, "__name__"));
    Ref text(PyObject_Str(value));
    Ref name_utf8(PyUnicode_AsUTF8String(name.get())),
        text_utf8(PyUnicode_AsUTF8String(text.get()));
    const bool base_only = PyObject_IsSubclass(type, PyExc_BaseException) == 1 &&
                           PyObject_IsSubclass(type, PyExc_Exception) == 0;
    return {PyBytes_AsString(name_utf8.get()), PyBytes_AsString(text_utf8.get()), base_only};
}

struct Case {
    const char* label;
    void (*thrower)();
    const char* text;
};

const Case cases[] = {
    {"internal fault", [] { throw tesvi_quantum::error::InternalFault("from_entropy failed: x"); },
     "from_entropy failed: x"},
    {"standard exception", [] { throw std::length_error("vector too long"); }, "vector too long"},
    {"fault without text", [] { throw tesvi_quantum::error::InternalFault(""); },
     "internal fault without a message"},
    {"not an exception class", [] { throw 42; }, "internal fault without a message"},
    {"value of a failed result",
     [] {
         const tesvi::Expected<int, std::string> failed = tesvi::unexpected(std::string("no"));
         static_cast<void>(failed.value());
     },
     "internal error: read the missing side of a result"},
    {"error of a successful result",
     [] {
         const tesvi::Expected<void, std::string> done;
         static_cast<void>(done.error());
     },
     "internal error: read the missing side of a result"},
};

TEST(Trap, EscapingExceptionsBecomePanicException) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        PyObject* result = tesvi_python::trap<PyObject*>([&]() -> PyObject* {
            c.thrower();
            return Py_None;
        });
        EXPECT_EQ(result, nullptr);
        ASSERT_TRUE(PyErr_Occurred());
        const Raised raised = take_error();
        EXPECT_EQ(raised.type_name, "PanicException");
        EXPECT_EQ(raised.text, c.text);
        EXPECT_TRUE(raised.base_exception_only);
    }
    // The interpreter is still usable.
    EXPECT_FALSE(PyErr_Occurred());
    Ref math(PyImport_ImportModule("math"));
    Ref root(PyObject_CallMethod(math.get(), "sqrt", "d", 4.0));
    ASSERT_TRUE(root);
    EXPECT_EQ(PyFloat_AsDouble(root.get()), 2.0);
}

TEST(Trap, BorrowsAreReleasedOnTheFaultPath) {
    tesvi_python::Instance<int> cell{};
    auto* obj = reinterpret_cast<PyObject*>(&cell);
    const Py_ssize_t length = tesvi_python::trap<Py_ssize_t>([&]() -> Py_ssize_t {
        tesvi_python::Exclusive<int> borrow;
        EXPECT_TRUE(borrow.acquire(obj));
        EXPECT_EQ(cell.borrow, -1);
        throw tesvi_quantum::error::InternalFault("broken invariant");
    });
    EXPECT_EQ(length, -1);
    EXPECT_EQ(take_error().type_name, "PanicException");
    EXPECT_EQ(cell.borrow, 0);

    tesvi_python::trap<PyObject*>([&]() -> PyObject* {
        tesvi_python::Shared<int> a, b;
        EXPECT_TRUE(a.acquire(obj) && b.acquire(obj));
        EXPECT_EQ(cell.borrow, 2);
        throw std::runtime_error("second");
    });
    take_error();
    EXPECT_EQ(cell.borrow, 0);
}

TEST(Trap, FailureWithoutAnExceptionIsSystemError) {
    PyObject* result = tesvi_python::trap<PyObject*>([]() -> PyObject* { return nullptr; });
    EXPECT_EQ(result, nullptr);
    const Raised raised = take_error();
    EXPECT_EQ(raised.type_name, "SystemError");
    EXPECT_EQ(raised.text, "attempted to fetch exception but none was set");
}

// A stopped call is not a fault: the exception the handler set is what Python
// sees, and KeyboardInterrupt when the host set none.
TEST(Trap, InterruptedCallRaisesTheHandlersException) {
    const struct {
        PyObject* pending;
        const char* type_name;
    } cases[] = {{PyExc_KeyboardInterrupt, "KeyboardInterrupt"},
                 {PyExc_ValueError, "ValueError"},
                 {nullptr, "KeyboardInterrupt"}};
    for (const auto& c : cases) {
        tesvi_python::Instance<int> cell{};
        PyObject* obj = reinterpret_cast<PyObject*>(&cell);
        PyObject* result = tesvi_python::trap<PyObject*>([&]() -> PyObject* {
            tesvi_python::Exclusive<int> borrow;
            EXPECT_TRUE(borrow.acquire(obj));
            if (c.pending) PyErr_SetNone(c.pending);
            throw tesvi::interrupt::Interrupted{};
        });
        EXPECT_EQ(result, nullptr);
        EXPECT_EQ(cell.borrow, 0);
        const Raised raised = take_error();
        EXPECT_EQ(raised.type_name, c.type_name);
    }
}

using tesvi_python::defaulted;
using tesvi_python::Form;
using tesvi_python::Param;
using tesvi_python::required;
using tesvi_python::Signature;

constexpr Param kMixed[] = {required("a"),  defaulted("b", 3),    defaulted("c", -42),
                            defaulted("d"), defaulted("e", true), defaulted("f", false)};
constexpr Signature kMethod{"Thing", "go", kMixed, "Do it."};
constexpr Signature kBare{"Thing", "__new__", "A thing."};
constexpr Signature kFunction{nullptr, "run", kMixed};

TEST(Docstring, RendersTheSignatureOnce) {
    const struct {
        const char* got;
        const char* want;
    } cases[] = {
        {tesvi_python::docstring<kMethod, Form::Method>(),
         "go($self, a, b=3, c=-42, d=None, e=True, f=False)\n--\n\nDo it."},
        {tesvi_python::docstring<kBare, Form::Method>(), "__new__($self)\n--\n\nA thing."},
        {tesvi_python::docstring<kBare, Form::Class>(), "Thing()\n--\n\nA thing."},
        {tesvi_python::docstring<kFunction, Form::Function>(),
         "run(a, b=3, c=-42, d=None, e=True, f=False)\n--\n\n"},
    };
    for (const auto& c : cases) EXPECT_STREQ(c.got, c.want);
    static_assert(kMixed[4].fallback == 1 && kMixed[2].fallback == -42 && !kMixed[3].fallback);
}

}  // namespace
