// Hex strings of the test vectors as bytes. A malformed string throws rather
// than decoding to a shorter or partly zero value that could still compare.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tesvi_test {

inline std::vector<uint8_t> unhex(const std::string& hex) {
    auto digit = [&](char c) -> uint8_t {
        if (c >= '0' && c <= '9') return uint8_t(c - '0');
        if (c >= 'a' && c <= 'f') return uint8_t(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') return uint8_t(c - 'A' + 10);
        throw std::runtime_error("not a hex digit in \"" + hex.substr(0, 16) + "...\"");
    };
    if (hex.size() % 2) throw std::runtime_error("odd hex length " + std::to_string(hex.size()));
    std::vector<uint8_t> out(hex.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = uint8_t(digit(hex[2 * i]) << 4 | digit(hex[2 * i + 1]));
    return out;
}

}  // namespace tesvi_test
