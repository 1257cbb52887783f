// Operating-system entropy for the post-quantum schemes. A failure of the
// source leaves no safe way on, so it ends the process with a message.
#pragma once

#include <cstdint>
#include <span>

namespace tesvi_crypto::pqc {

void randombytes(std::span<uint8_t> out);

}  // namespace tesvi_crypto::pqc
