// The error of the OpenQASM front end. Only a parse error carries a line; the
// register errors come from reference resolution, which has no line of its own
// to report.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "common/expected.hpp"
#include "common/variant_access.hpp"

namespace tesvi_quantum::qasm {

struct QasmError : tesvi::VariantAccess<QasmError> {
    struct ParseError {
        uint64_t line;  // 1-based source line of the statement
        std::string message;
        bool operator==(const ParseError&) const = default;
    };
    struct UnknownGate {
        std::string name;  // lower-cased
        bool operator==(const UnknownGate&) const = default;
    };
    struct UndeclaredRegister {
        std::string name;  // as written
        bool operator==(const UndeclaredRegister&) const = default;
    };
    struct RegisterIndexOutOfRange {
        std::string register_name;
        uint64_t index, size;
        bool operator==(const RegisterIndexOutOfRange&) const = default;
    };

    using Variant =
        std::variant<ParseError, UnknownGate, UndeclaredRegister, RegisterIndexOutOfRange>;
    Variant value;

    template <class V>
    QasmError(V v) : value(std::move(v)) {}

    bool operator==(const QasmError&) const = default;

    // The display text.
    std::string message() const;
};

// Shorthand for the failure side of a result.
inline tesvi::Unexpected<QasmError> fail(QasmError e) {
    return {std::move(e)};
}

inline tesvi::Unexpected<QasmError> parse_error(uint64_t line, std::string message) {
    return fail(QasmError::ParseError{line, std::move(message)});
}

template <class T>
using Result = tesvi::Expected<T, QasmError>;

}  // namespace tesvi_quantum::qasm
