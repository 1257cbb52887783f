// Centred binomial sampling of noise polynomials from uniform bytes.
#pragma once

#include <array>
#include <cstdint>

#include "crypto/pqc/mlkem/params.hpp"

namespace tesvi_crypto::pqc::mlkem {

// Coefficient i is (sum of eta bits) - (sum of the next eta bits), taken from
// bit 2 eta i of buf on; buf holds eta N / 4 bytes. Eta is 2 or 3.
template <unsigned ETA>
void cbd(std::array<int16_t, N>& r, const uint8_t* buf);

}  // namespace tesvi_crypto::pqc::mlkem
