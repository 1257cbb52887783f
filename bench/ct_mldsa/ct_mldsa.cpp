// Run: valgrind --error-exitcode=1 ./ct_mldsa — any report is a branch or memory index on a secret.
//
// The key seed and the secret key are marked undefined, so memcheck reports
// every conditional jump and address computed from them. The outputs that are
// public (public key, signature) are marked defined again before use. Both
// builds run, the AVX2 one where the processor (or valgrind's model of it)
// has AVX2.
#include <valgrind/memcheck.h>

#include <cstdint>
#include <cstdio>

#include "common/cpu.hpp"
#include "crypto/pqc/mldsa/api.hpp"

namespace mldsa = tesvi_crypto::pqc::mldsa65;
using tesvi_crypto::pqc::Build;

int check(Build build, const char* name) {
    int failures = 0;
    for (uint8_t key = 0; key < 4; ++key) {
        uint8_t xi[mldsa::SEEDBYTES];
        for (size_t i = 0; i < sizeof xi; ++i) xi[i] = static_cast<uint8_t>(key * 101 + i);
        VALGRIND_MAKE_MEM_UNDEFINED(xi, sizeof xi);
        mldsa::Keypair kp = mldsa::keypair_from_seed(xi, build);
        VALGRIND_MAKE_MEM_DEFINED(kp.public_key.bytes.data(), kp.public_key.size());

        for (uint8_t m = 0; m < 8; ++m) {
            const uint8_t msg[3] = {key, m, 0x5A};
            VALGRIND_MAKE_MEM_UNDEFINED(kp.secret_key.bytes.data(), kp.secret_key.size());
            mldsa::DetachedSignature sig = mldsa::detached_sign(msg, kp.secret_key, build);
            VALGRIND_MAKE_MEM_DEFINED(&sig, sizeof sig);
            if (!mldsa::verify_detached_signature(sig, msg, kp.public_key, build)) ++failures;
        }
    }
    std::printf("%s: 32 signatures, %d failed to verify\n", name, failures);
    return failures;
}

int main() {
    int failures = check(Build::Portable, "portable");
    if (tesvi::cpu::has_avx2())
        failures += check(Build::Avx2, "AVX2");
    else
        std::puts("AVX2: not available, not checked");
    return failures != 0;
}
