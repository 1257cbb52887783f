#include "crypto/pqc/mlkem/cbd.hpp"

namespace tesvi_crypto::pqc::mlkem {
namespace {

unsigned bit(const uint8_t* buf, size_t i) {
    return (buf[i / 8] >> (i % 8)) & 1u;
}

}  // namespace

template <unsigned ETA>
void cbd(std::array<int16_t, N>& r, const uint8_t* buf) {
    for (size_t i = 0; i < N; ++i) {
        unsigned a = 0, b = 0;
        for (size_t j = 0; j < ETA; ++j) {
            a += bit(buf, 2 * ETA * i + j);
            b += bit(buf, 2 * ETA * i + ETA + j);
        }
        r[i] = static_cast<int16_t>(static_cast<int>(a) - static_cast<int>(b));
    }
}

template void cbd<2>(std::array<int16_t, N>&, const uint8_t*);
template void cbd<3>(std::array<int16_t, N>&, const uint8_t*);

}  // namespace tesvi_crypto::pqc::mlkem
