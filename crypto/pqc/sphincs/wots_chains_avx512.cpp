#include <immintrin.h>

#include <cstdint>
#include <utility>

#include "common/target_avx512.hpp"
#include "crypto/hash/keccak_f1600.hpp"
#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/sphincs/wots_chains.hpp"

TESVI_AVX512_BEGIN

#include "crypto/hash/keccak_lanes_avx512.hpp"
#include "crypto/pqc/sphincs/wots_chain_kernel.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

void walk_chains_avx512(uint64_t ends[2][kWays], uint64_t kept[2][kWays], const ChainWalk& walk) {
    walk_lanes<hash::EightStates>(ends, kept, walk, 0);
}

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple

TESVI_AVX512_END
