#include "quantum/qasm/error.hpp"

namespace tesvi_quantum::qasm {
namespace {

using std::to_string;

struct Render {
    std::string operator()(const QasmError::ParseError& e) const {
        return "Parse error at line " + to_string(e.line) + ": " + e.message;
    }
    std::string operator()(const QasmError::UnknownGate& e) const {
        return "Unknown gate '" + e.name + "'";
    }
    std::string operator()(const QasmError::UndeclaredRegister& e) const {
        return "Register '" + e.name + "' not declared";
    }
    // "Qubit" also for classical registers: the text is shared by both tables.
    std::string operator()(const QasmError::RegisterIndexOutOfRange& e) const {
        return "Qubit index " + to_string(e.index) + " out of range for register '" +
               e.register_name + "' (size " + to_string(e.size) + ")";
    }
};

}  // namespace

std::string QasmError::message() const {
    return std::visit(Render{}, value);
}

}  // namespace tesvi_quantum::qasm
