// Exact-length byte conversions shared by the schemes' key, ciphertext and
// signature types.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "common/expected.hpp"

namespace tesvi_crypto::pqc {

// "error: {name} expected {expected} bytes, got {got}"
inline std::string length_error(const char* name, size_t expected, size_t got) {
    return std::string("error: ") + name + " expected " + std::to_string(expected) +
           " bytes, got " + std::to_string(got);
}

// A fixed-length byte string that can only be made from exactly N bytes.
template <size_t N>
struct FixedBytes {
    std::array<uint8_t, N> bytes{};

    static constexpr size_t size() { return N; }
    std::span<const uint8_t> as_bytes() const { return bytes; }

    template <class Self>
    static tesvi::Expected<Self, std::string> from_bytes_as(const char* name,
                                                            std::span<const uint8_t> in) {
        if (in.size() != N) return tesvi::unexpected(length_error(name, N, in.size()));
        Self out;
        std::copy(in.begin(), in.end(), out.bytes.begin());
        return out;
    }
};

}  // namespace tesvi_crypto::pqc
