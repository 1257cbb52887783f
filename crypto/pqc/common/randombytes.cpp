#include "crypto/pqc/common/randombytes.hpp"

#include <botan/system_rng.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace tesvi_crypto::pqc {

void randombytes(std::span<uint8_t> out) {
    try {
        Botan::system_rng().randomize(out.data(), out.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fatal: operating-system entropy source failed: %s\n", e.what());
        std::abort();
    }
}

}  // namespace tesvi_crypto::pqc
