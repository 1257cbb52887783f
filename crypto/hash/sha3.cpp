#include "crypto/hash/sha3.hpp"

#include "crypto/hash/sponge.hpp"

namespace tesvi_crypto::hash {
namespace {

template <size_t N>
std::array<uint8_t, N> digest(Sponge sponge, std::span<const uint8_t> data) {
    std::array<uint8_t, N> out;
    sponge.absorb(data);
    sponge.squeeze(out);
    return out;
}

ShakeResult shake(Sponge sponge, std::span<const uint8_t> data, size_t output_len) {
    if (output_len > MAX_SHAKE_OUTPUT_LEN) return tesvi::unexpected(OutputTooLong{output_len});
    std::vector<uint8_t> out(output_len);
    sponge.absorb(data);
    sponge.squeeze(out);
    return out;
}

}  // namespace

std::string OutputTooLong::message() const {
    return "SHAKE output length " + std::to_string(requested) + " exceeds the limit of " +
           std::to_string(MAX_SHAKE_OUTPUT_LEN) + " bytes";
}

std::array<uint8_t, 32> sha3_256(std::span<const uint8_t> data) {
    return digest<32>(sha3_256_sponge(), data);
}

std::array<uint8_t, 64> sha3_512(std::span<const uint8_t> data) {
    return digest<64>(sha3_512_sponge(), data);
}

ShakeResult shake128(std::span<const uint8_t> data, size_t output_len) {
    return shake(shake128_sponge(), data, output_len);
}

ShakeResult shake256(std::span<const uint8_t> data, size_t output_len) {
    return shake(shake256_sponge(), data, output_len);
}

}  // namespace tesvi_crypto::hash
