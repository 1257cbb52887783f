#include "common/text.hpp"

namespace tesvi::text {
namespace {

bool ascii_white_space(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The multi-byte members of White_Space in UTF-8: U+0085 and U+00A0
// (C2 85, C2 A0), U+1680 (E1 9A 80), U+2000..U+200A (E2 80 80..8A), U+2028,
// U+2029, U+202F (E2 80 A8, A9, AF), U+205F (E2 81 9F) and U+3000 (E3 80 80).
size_t multi_byte_white_space(unsigned char b0, unsigned char b1, unsigned char b2) {
    switch (b0) {
        case 0xC2:
            return b1 == 0x85 || b1 == 0xA0 ? 2 : 0;
        case 0xE1:
            return b1 == 0x9A && b2 == 0x80 ? 3 : 0;
        case 0xE2:
            if (b1 == 0x80)
                return (b2 >= 0x80 && b2 <= 0x8A) || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF ? 3 : 0;
            return b1 == 0x81 && b2 == 0x9F ? 3 : 0;
        case 0xE3:
            return b1 == 0x80 && b2 == 0x80 ? 3 : 0;
        default:
            return 0;
    }
}

}  // namespace

size_t white_space_at(std::string_view text, size_t pos) {
    if (pos >= text.size()) return 0;
    if (ascii_white_space(text[pos])) return 1;
    // Bytes past the end read as 0, which no sequence continues with.
    auto byte = [&](size_t i) -> unsigned char { return i < text.size() ? text[i] : 0; };
    return multi_byte_white_space(byte(pos), byte(pos + 1), byte(pos + 2));
}

size_t white_space_before(std::string_view text, size_t end) {
    if (end == 0 || end > text.size()) return 0;
    const std::string_view head = text.substr(0, end);
    for (size_t n = 1; n <= 3 && n <= end; ++n)
        if (white_space_at(head, end - n) == n) return n;
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

std::string_view trim(std::string_view text) {
    return trim_end(trim_start(text));
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

}  // namespace tesvi::text
