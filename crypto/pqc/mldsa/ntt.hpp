// The negacyclic number-theoretic transform over Z_q[X]/(X^256 + 1), with
// results in Montgomery form, in the coefficient order of the reference code.
#pragma once

#include <cstdint>

#include "crypto/pqc/mldsa/params.hpp"

namespace tesvi_crypto::pqc::mldsa65 {

// In place; no reduction, so inputs need |a| < q and outputs grow to |a| < 9q.
void ntt(int32_t a[N]);
// In place, multiplying by the Montgomery factor 2^32; |a| < q on output.
void invntt_tomont(int32_t a[N]);

}  // namespace tesvi_crypto::pqc::mldsa65
