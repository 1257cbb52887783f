// The one-shot hash functions of FIPS 202 over the sponge: fixed-size digests
// returned by value, SHAKE outputs of any length up to a bound.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/expected.hpp"

namespace tesvi_crypto::hash {

// The longest SHAKE output one call hands out (256 MiB). Each call allocates
// its whole output up front, so a bound keeps an absurd request from taking
// the process's memory; no use of an extendable-output function comes close.
inline constexpr size_t MAX_SHAKE_OUTPUT_LEN = size_t{1} << 28;

// A SHAKE request above MAX_SHAKE_OUTPUT_LEN.
struct OutputTooLong {
    size_t requested;

    // "SHAKE output length {requested} exceeds the limit of {MAX} bytes"
    std::string message() const;
};

using ShakeResult = tesvi::Expected<std::vector<uint8_t>, OutputTooLong>;

std::array<uint8_t, 32> sha3_256(std::span<const uint8_t> data);
std::array<uint8_t, 64> sha3_512(std::span<const uint8_t> data);
ShakeResult shake128(std::span<const uint8_t> data, size_t output_len);
ShakeResult shake256(std::span<const uint8_t> data, size_t output_len);

}  // namespace tesvi_crypto::hash
