#include "crypto/qrng/qrng.hpp"

#include <algorithm>

#include "common/interrupt.hpp"
#include "quantum/circuit/circuit.hpp"
#include "quantum/simulator/simulator.hpp"

namespace tesvi_crypto::qrng {
namespace {

using tesvi_quantum::circuit::Circuit;
using tesvi_quantum::simulator::Simulator;

constexpr uint64_t BATCH = 8;

// k measured Hadamard qubits, run once; the key's character i is qubit i.
void draw_batch(const Simulator& sim, uint64_t k, std::vector<bool>& out) {
    // 1 to 8 qubits, each measured once: every builder call below succeeds,
    // and one shot of such a circuit on an ideal simulator cannot fail.
    Circuit c = Circuit::create(k).value();
    for (uint64_t q = 0; q < k; ++q) c.h(q).value();
    c.measure_all().value();
    auto result = sim.run(c, 1);
    if (!result) throw tesvi_quantum::error::InternalFault(result.error().message());
    const std::string_view key = result->most_probable().first;
    for (size_t i = 0; i < std::min<size_t>(k, key.size()); ++i) out.push_back(key[i] == '1');
}

}  // namespace

std::string RequestTooLarge::message() const {
    return "random request of " + std::to_string(requested) + " " + unit +
           " exceeds the limit of " + std::to_string(limit) + " " + unit;
}

Result<std::vector<bool>> random_bits(uint64_t n) {
    if (n > MAX_RANDOM_BITS) return tesvi::unexpected(RequestTooLarge{n, "bits", MAX_RANDOM_BITS});
    std::vector<bool> bits;
    bits.reserve(n);
    const Simulator sim{};  // no seed: every run keys its stream from entropy
    while (bits.size() < n) {
        tesvi::interrupt::poll();
        draw_batch(sim, std::min(n - bits.size(), BATCH), bits);
    }
    return bits;
}

std::vector<uint8_t> pack_bits(const std::vector<bool>& bits) {
    std::vector<uint8_t> bytes((bits.size() + 7) / 8);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i]) bytes[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
    return bytes;
}

uint64_t random_u64() {
    const auto bytes = pack_bits(random_bits(64).value());
    uint64_t v = 0;
    for (size_t b = 0; b < 8; ++b) v |= uint64_t{bytes[b]} << (8 * b);
    return v;
}

std::array<uint8_t, 32> random_seed() {
    const auto bytes = pack_bits(random_bits(256).value());
    std::array<uint8_t, 32> seed{};
    std::copy(bytes.begin(), bytes.end(), seed.begin());
    return seed;
}

Result<std::vector<uint8_t>> random_bytes(uint64_t n) {
    if (n > MAX_RANDOM_BITS / 8)
        return tesvi::unexpected(RequestTooLarge{n, "bytes", MAX_RANDOM_BITS / 8});
    return pack_bits(random_bits(8 * n).value());
}

}  // namespace tesvi_crypto::qrng
