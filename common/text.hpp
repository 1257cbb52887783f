// Text primitives over UTF-8, where white space is the Unicode White_Space
// set. Every White_Space character begins with a lead byte, never a continuation byte, so a
// byte-wise walk that matches whole white-space sequences stays on character boundaries of valid
// UTF-8 and never misreads part of another character as white space.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tesvi::text {

// Byte length of the white-space character starting at `pos`, or 0 when the
// character there is not white space (or `pos` is at the end).
size_t white_space_at(std::string_view text, size_t pos);

// Byte length of the white-space character ending right at `end`, or 0.
size_t white_space_before(std::string_view text, size_t end);

std::string_view trim_start(std::string_view text);
std::string_view trim_end(std::string_view text);
std::string_view trim(std::string_view text);

std::string ascii_lower(std::string_view text);

// An unsigned decimal number: an optional "+", then digits only, below 2^64.
std::optional<uint64_t> parse_unsigned(std::string_view text);

inline bool starts_with(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace tesvi::text
