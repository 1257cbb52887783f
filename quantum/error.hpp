// The quantum library's error type: ten variants, each rendering one fixed
// English message with its payload.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "common/expected.hpp"
#include "common/variant_access.hpp"

namespace tesvi_quantum::error {

struct TesviError : tesvi::VariantAccess<TesviError> {
    struct EmptyCircuit {};
    struct QubitOutOfRange {
        uint64_t qubit, num_qubits;
    };
    struct DuplicateQubits {
        uint64_t a, b;
    };
    struct TooManyQubits {
        uint64_t requested, limit;
    };
    struct QubitCountMismatch {
        uint64_t left, right;
    };
    struct MappingLengthMismatch {
        uint64_t left, right;
    };
    struct InsufficientMemory {
        uint64_t num_qubits, bytes;
    };
    struct InvalidShots {
        uint32_t shots;
    };
    struct NumericalInstability {
        const char* step;
    };
    struct SimulationError {
        std::string message;
    };

    using Variant = std::variant<EmptyCircuit, QubitOutOfRange, DuplicateQubits, TooManyQubits,
                                 QubitCountMismatch, MappingLengthMismatch, InsufficientMemory,
                                 InvalidShots, NumericalInstability, SimulationError>;
    Variant value;

    template <class V>
    TesviError(V v) : value(std::move(v)) {}

    // The display text.
    std::string message() const;
};

// Shorthand for the failure side of a result: `return fail(TesviError::EmptyCircuit{});`
inline tesvi::Unexpected<TesviError> fail(TesviError e) {
    return {std::move(e)};
}

template <class T>
using Result = tesvi::Expected<T, TesviError>;

// Raised for broken internal invariants; the Python boundary turns it into PanicException.
struct InternalFault : std::exception {
    std::string text;
    explicit InternalFault(std::string t) : text(std::move(t)) {}
    const char* what() const noexcept override { return text.c_str(); }
};

}  // namespace tesvi_quantum::error
