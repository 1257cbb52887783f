#include "crypto/hash/keccak_f1600.hpp"

#include <botan/sha3.h>

#include "common/cpu.hpp"

namespace tesvi_crypto::hash {

void keccak_f1600_portable(uint64_t state[25]) {
    Botan::SHA_3::permute(state);
}

void keccak_f1600(uint64_t state[25]) {
#if defined(__x86_64__)
    static const auto kernel = tesvi::cpu::has_avx2() ? keccak_f1600_avx2 : keccak_f1600_portable;
    kernel(state);
#else
    keccak_f1600_portable(state);
#endif
}

}  // namespace tesvi_crypto::hash
