// Parameter expressions of gate calls: "+", "-", "*", "/", parentheses, "pi"
// and the parameters of the enclosing gate calls, evaluated over doubles by
// recursive descent. Division by zero and the like follow IEEE arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "quantum/qasm/error.hpp"

namespace tesvi_quantum::qasm::parser {

// Parameter name -> value, for the gate calls enclosing an expansion.
using ParamBindings = std::map<std::string, double, std::less<>>;

// Parentheses and unary minus signs recurse; hostile text must not exhaust
// the stack, so their nesting is bounded.
inline constexpr uint64_t MAX_EXPRESSION_NESTING = 256;

inline constexpr double PI = 3.141592653589793;

struct ExpressionParser {
    std::string_view text;
    const ParamBindings& variables;
    uint64_t line;       // statement line for errors
    size_t pos = 0;      // byte offset, always on a character boundary
    uint64_t depth = 0;  // parentheses and minus signs open at pos

    // expression: term (("+" | "-") term)*, left to right.
    Result<double> parse_expression();
    // term: factor (("*" | "/") factor)*, left to right.
    Result<double> parse_term();
    // factor: "+"* then "-" factor, "(" expression ")", pi, a parameter or a literal.
    Result<double> parse_factor();
    void skip_whitespace();
    // Skips white space, then takes `c` if it comes next.
    bool consume(char c);

  private:
    Result<double> parse_nested();
    Result<double> parse_identifier(size_t length);
    Result<double> parse_literal();
};

// One whole expression; text left after it is an error.
Result<double> evaluate_expression(uint64_t line, std::string_view text,
                                   const ParamBindings& bindings);

}  // namespace tesvi_quantum::qasm::parser
