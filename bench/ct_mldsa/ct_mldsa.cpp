// Run: valgrind --error-exitcode=1 ./ct_mldsa — any report is a branch or memory index on a secret.
//
// The key seed and the secret key are marked undefined, so memcheck reports
// every conditional jump and address computed from them. The outputs that are
// public (public key, signature) are marked defined again before use.
#include <valgrind/memcheck.h>

#include <cstdint>
#include <cstdio>

#include "crypto/pqc/mldsa/api.hpp"

namespace mldsa = tesvi_crypto::pqc::mldsa65;

int main() {
    int failures = 0;
    for (uint8_t key = 0; key < 4; ++key) {
        uint8_t xi[mldsa::SEEDBYTES];
        for (size_t i = 0; i < sizeof xi; ++i) xi[i] = static_cast<uint8_t>(key * 101 + i);
        VALGRIND_MAKE_MEM_UNDEFINED(xi, sizeof xi);
        mldsa::Keypair kp = mldsa::keypair_from_seed(xi);
        VALGRIND_MAKE_MEM_DEFINED(kp.public_key.bytes.data(), kp.public_key.size());

        for (uint8_t m = 0; m < 8; ++m) {
            const uint8_t msg[3] = {key, m, 0x5A};
            VALGRIND_MAKE_MEM_UNDEFINED(kp.secret_key.bytes.data(), kp.secret_key.size());
            mldsa::DetachedSignature sig = mldsa::detached_sign(msg, kp.secret_key);
            VALGRIND_MAKE_MEM_DEFINED(&sig, sizeof sig);
            if (!mldsa::verify_detached_signature(sig, msg, kp.public_key)) ++failures;
        }
    }
    std::printf("32 signatures, %d failed to verify\n", failures);
    return failures != 0;
}
