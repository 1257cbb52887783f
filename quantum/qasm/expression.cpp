#include "quantum/qasm/expression.hpp"

#include <charconv>
#include <limits>
#include <optional>

#include "common/text.hpp"

namespace tesvi_quantum::qasm::parser {

namespace text = tesvi::text;
namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
bool is_identifier_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
// A literal run takes "+" and "-" too, so "1+2" is one (bad) literal.
bool is_literal_char(char c, bool first) {
    return is_digit(c) || c == '.' || c == 'e' || c == 'E' || c == '+' || (c == '-' && !first);
}

size_t skip_digits(std::string_view run, size_t i) {
    while (i < run.size() && is_digit(run[i])) ++i;
    return i;
}

// digits ["." digits] [("e" | "E") ["+" | "-"] digits], with at least one
// mantissa digit and at least one exponent digit when there is an exponent.
bool is_decimal(std::string_view run) {
    size_t i = skip_digits(run, 0);
    size_t mantissa_digits = i;
    if (i < run.size() && run[i] == '.') {
        const size_t fraction = i + 1;
        i = skip_digits(run, fraction);
        mantissa_digits += i - fraction;
    }
    if (mantissa_digits == 0) return false;
    if (i < run.size() && (run[i] == 'e' || run[i] == 'E')) {
        ++i;
        if (i < run.size() && (run[i] == '+' || run[i] == '-')) ++i;
        const size_t exponent = i;
        i = skip_digits(run, exponent);
        if (i == exponent) return false;
    }
    return i == run.size();
}

// For a valid literal that does not fit a double: whether its magnitude is at
// least 1, so it overflowed, rather than below 1, so it underflowed. Only the
// sign of the leading digit's power of ten matters, so the exponent saturates.
bool overflows(std::string_view run) {
    const size_t e = run.find_first_of("eE");
    const std::string_view mantissa = run.substr(0, e);
    int64_t exponent = 0;
    if (e != std::string_view::npos) {
        std::string_view digits = run.substr(e + 1);
        const bool negative = text::starts_with(digits, "-");
        if (negative || text::starts_with(digits, "+")) digits.remove_prefix(1);
        for (char c : digits) exponent = std::min<int64_t>(exponent * 10 + (c - '0'), 1LL << 50);
        if (negative) exponent = -exponent;
    }
    const size_t lead = mantissa.find_first_of("123456789");
    if (lead == std::string_view::npos) return false;
    const size_t point = std::min(mantissa.find('.'), mantissa.size());
    const int64_t lead_power =
        lead < point ? static_cast<int64_t>(point - 1 - lead) : -static_cast<int64_t>(lead - point);
    return lead_power + exponent >= 0;
}

// The literal correctly rounded to the nearest double; beyond the range it
// reads as infinity, below it as zero.
std::optional<double> read_decimal(std::string_view run) {
    if (!is_decimal(run)) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(run.data(), run.data() + run.size(), value);
    if (ec == std::errc::result_out_of_range)
        return overflows(run) ? std::numeric_limits<double>::infinity() : 0.0;
    if (ec != std::errc{} || end != run.data() + run.size()) return std::nullopt;
    return value;
}

}  // namespace

Result<double> ExpressionParser::parse_expression() {
    Result<double> value = parse_term();
    while (value) {
        if (consume('+')) {
            const Result<double> rhs = parse_term();
            if (!rhs) return rhs;
            *value += *rhs;
        } else if (consume('-')) {
            const Result<double> rhs = parse_term();
            if (!rhs) return rhs;
            *value -= *rhs;
        } else {
            break;
        }
    }
    return value;
}

Result<double> ExpressionParser::parse_term() {
    Result<double> value = parse_factor();
    while (value) {
        if (consume('*')) {
            const Result<double> rhs = parse_factor();
            if (!rhs) return rhs;
            *value *= *rhs;
        } else if (consume('/')) {
            const Result<double> rhs = parse_factor();
            if (!rhs) return rhs;
            *value /= *rhs;
        } else {
            break;
        }
    }
    return value;
}

Result<double> ExpressionParser::parse_factor() {
    skip_whitespace();
    while (pos < text.size() && text[pos] == '+') {
        ++pos;
        skip_whitespace();
    }
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '(')) return parse_nested();
    // A prefix test: "pix" reads pi and leaves "x".
    if (text.substr(pos, 2) == "pi") {
        pos += 2;
        return PI;
    }
    size_t length = 0;
    while (pos + length < text.size() && is_identifier_char(text[pos + length])) ++length;
    if (length > 0) return parse_identifier(length);
    return parse_literal();
}

Result<double> ExpressionParser::parse_nested() {
    if (depth == MAX_EXPRESSION_NESTING)
        return parse_error(line, "expression nested more than " +
                                     std::to_string(MAX_EXPRESSION_NESTING) + " levels deep");
    const bool negate = text[pos++] == '-';
    ++depth;
    Result<double> value = negate ? parse_factor() : parse_expression();
    --depth;
    if (!value) return value;
    if (negate) return -*value;
    if (!consume(')')) return parse_error(line, "missing closing ')' in expression");
    return value;
}

Result<double> ExpressionParser::parse_identifier(size_t length) {
    const std::string_view name = text.substr(pos, length);
    pos += length;
    const auto it = variables.find(name);
    if (it == variables.end())
        return parse_error(line, "unknown identifier '" + std::string(name) + "'");
    return it->second;
}

Result<double> ExpressionParser::parse_literal() {
    size_t end = pos;
    while (end < text.size() && is_literal_char(text[end], end == pos)) ++end;
    const std::string_view run = text.substr(pos, end - pos);
    pos = end;
    const std::optional<double> value = read_decimal(run);
    if (!value) return parse_error(line, "invalid numeric literal '" + std::string(run) + "'");
    return *value;
}

void ExpressionParser::skip_whitespace() {
    while (const size_t n = text::white_space_at(text, pos)) pos += n;
}

bool ExpressionParser::consume(char c) {
    skip_whitespace();
    if (pos >= text.size() || text[pos] != c) return false;
    ++pos;
    return true;
}

Result<double> evaluate_expression(uint64_t line, std::string_view text,
                                   const ParamBindings& bindings) {
    ExpressionParser parser{text, bindings, line};
    Result<double> value = parser.parse_expression();
    if (!value) return value;
    parser.skip_whitespace();
    if (parser.pos < text.size())
        return parse_error(
            line, "unexpected token in expression '" + std::string(text::trim(text)) + "'");
    return value;
}

}  // namespace tesvi_quantum::qasm::parser
