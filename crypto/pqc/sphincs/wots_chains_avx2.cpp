#include <immintrin.h>

#include <cstdint>
#include <utility>

#include "common/cpu.hpp"
#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_f1600.hpp"
#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/sphincs/wots_chains.hpp"

TESVI_AVX2_BEGIN

#include "crypto/hash/keccak_lanes_avx2.hpp"
#include "crypto/pqc/sphincs/wots_chain_kernel.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

void walk_chains_avx2(uint64_t ends[2][kWays], uint64_t kept[2][kWays], const ChainWalk& walk) {
    walk_lanes<hash::FourStates>(ends, kept, walk, 0);
    walk_lanes<hash::FourStates>(ends, kept, walk, 4);
}

void walk_chains(uint64_t ends[2][kWays], uint64_t kept[2][kWays], const ChainWalk& walk) {
    static const ChainWalker form =
        tesvi::cpu::has_avx512() ? walk_chains_avx512 : walk_chains_avx2;
    form(ends, kept, walk);
}

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple

TESVI_AVX2_END
