#include "quantum/qasm/text.hpp"

#include <array>

namespace tesvi_quantum::qasm::text {
namespace {

// The multi-byte members of White_Space in UTF-8: U+0085, U+00A0, U+1680,
// U+2000..U+200A, U+2028, U+2029, U+202F, U+205F and U+3000.
constexpr std::array<std::string_view, 18> MULTI_BYTE = {
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81",
    "\xE2\x80\x82", "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86",
    "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8",
    "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F",
};
constexpr std::string_view IDEOGRAPHIC_SPACE = "\xE3\x80\x80";

bool ascii_white_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

size_t white_space_at(std::string_view text, size_t pos) {
    if (pos >= text.size()) return 0;
    if (ascii_white_space(text[pos])) return 1;
    const std::string_view rest = text.substr(pos);
    if (starts_with(rest, IDEOGRAPHIC_SPACE)) return IDEOGRAPHIC_SPACE.size();
    for (std::string_view w : MULTI_BYTE)
        if (starts_with(rest, w)) return w.size();
    return 0;
}

size_t white_space_before(std::string_view text, size_t end) {
    if (end == 0 || end > text.size()) return 0;
    if (ascii_white_space(text[end - 1])) return 1;
    const std::string_view head = text.substr(0, end);
    if (head.ends_with(IDEOGRAPHIC_SPACE)) return IDEOGRAPHIC_SPACE.size();
    for (std::string_view w : MULTI_BYTE)
        if (head.ends_with(w)) return w.size();
    return 0;
}

std::string_view trim_start(std::string_view text) {
    size_t pos = 0;
    while (size_t n = white_space_at(text, pos)) pos += n;
    return text.substr(pos);
}

std::string_view trim_end(std::string_view text) {
    size_t end = text.size();
    while (size_t n = white_space_before(text, end)) end -= n;
    return text.substr(0, end);
}

std::string_view trim(std::string_view text) { return trim_end(trim_start(text)); }

size_t find_white_space(std::string_view text, size_t pos) {
    for (; pos < text.size(); ++pos)
        if (white_space_at(text, pos)) return pos;
    return std::string_view::npos;
}

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::optional<uint64_t> parse_unsigned(std::string_view text) {
    if (starts_with(text, "+")) text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace tesvi_quantum::qasm::text
