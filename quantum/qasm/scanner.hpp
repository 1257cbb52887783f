// The first phase of reading: comments are cut and the text is cut into
// statements, each with the source line of its first visible character.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "quantum/qasm/error.hpp"

namespace tesvi_quantum::qasm::parser {

struct Statement {
    uint64_t line;
    std::string text;  // trimmed, never empty, without its ";"
    bool operator==(const Statement&) const = default;
};

// Cuts every line at its first "//" and drops trailing white space; the line
// breaks stay, so line numbers are those of the source.
std::string remove_comments(std::string_view source);

// Statements end at ";" outside braces, or at the "}" that closes the
// outermost brace. A line break inside a statement reads as one space.
Result<std::vector<Statement>> scan_statements(std::string_view text);

}  // namespace tesvi_quantum::qasm::parser
