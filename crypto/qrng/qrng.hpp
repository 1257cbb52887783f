// Random numbers drawn from simulated measurements: qubits in equal
// superposition, measured eight at a time on an unseeded state-vector
// simulator whose every run is keyed from the operating system's entropy.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/expected.hpp"

namespace tesvi_crypto::qrng {

// The most bits one call draws (1 MiB of output). Every 8 bits cost one
// simulator run, so a larger request would mostly be a mistake that ties up
// the caller for minutes and its memory for the bit list.
inline constexpr uint64_t MAX_RANDOM_BITS = uint64_t{1} << 23;

// A request above MAX_RANDOM_BITS, in the caller's own unit.
struct RequestTooLarge {
    uint64_t requested;
    const char* unit;  // "bits" or "bytes"
    uint64_t limit;

    // "random request of {requested} {unit} exceeds the limit of {limit} {unit}"
    std::string message() const;
};

template <class T>
using Result = tesvi::Expected<T, RequestTooLarge>;

Result<std::vector<bool>> random_bits(uint64_t n);
uint64_t random_u64();
std::array<uint8_t, 32> random_seed();
Result<std::vector<uint8_t>> random_bytes(uint64_t n);

// Eight bits per byte, the first bit of each group in the least significant place.
std::vector<uint8_t> pack_bits(const std::vector<bool>& bits);

}  // namespace tesvi_crypto::qrng
