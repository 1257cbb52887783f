// Run (Release build): valgrind --error-exitcode=1 ./ct_mlkem
//
// Key generation, encapsulation and decapsulation of every parameter set with
// their secret inputs marked undefined for Memcheck, which then reports any
// conditional jump or memory index that depends on them. The secrets are the
// seed d || z, the message m, and the parts dk_PKE and z of the decapsulation
// key (its copies of ek and H(ek) are public). Decapsulation runs on a valid
// and on a damaged ciphertext, so both sides of the implicit rejection run.
// Every check runs on the portable build and, where the processor has AVX2,
// on the AVX2 build.
#include <valgrind/memcheck.h>

#include <cstdio>
#include <cstring>

#include "common/cpu.hpp"
#include "crypto/pqc/mlkem/kem.hpp"

namespace mlkem = tesvi_crypto::pqc::mlkem;
using tesvi_crypto::pqc::Build;

namespace {

void secret(const void* p, size_t bytes) {
    VALGRIND_MAKE_MEM_UNDEFINED(p, bytes);
}
void reveal(const void* p, size_t bytes) {
    VALGRIND_MAKE_MEM_DEFINED(p, bytes);
}

template <class S>
bool check(const char* name, Build build) {
    using P = typename S::P;
    uint8_t d_z[64], m[32];
    for (size_t i = 0; i < sizeof d_z; ++i) d_z[i] = static_cast<uint8_t>(i);
    for (size_t i = 0; i < sizeof m; ++i) m[i] = static_cast<uint8_t>(0x40 + i);

    secret(d_z, sizeof d_z);
    auto kp = S::keypair_derand(d_z, build);
    reveal(&kp.public_key, sizeof kp.public_key);

    secret(m, sizeof m);
    const auto enc = S::encapsulate_derand(kp.public_key, m, build);
    reveal(&enc.ciphertext, sizeof enc.ciphertext);

    // The secret key as it comes out of key generation is already undefined
    // where it derives from d || z; mark all of dk_PKE and z to be sure.
    uint8_t* sk = kp.secret_key.bytes.data();
    reveal(sk, P::SECRETKEYBYTES);
    secret(sk, P::INDCPA_SECRETKEYBYTES);
    secret(sk + P::SECRETKEYBYTES - mlkem::SYMBYTES, mlkem::SYMBYTES);

    auto damaged = enc.ciphertext;
    damaged.bytes[0] ^= 1;
    mlkem::SharedSecret good = S::decapsulate(enc.ciphertext, kp.secret_key, build);
    mlkem::SharedSecret rejected = S::decapsulate(damaged, kp.secret_key, build);

    mlkem::SharedSecret sent = enc.shared_secret;
    reveal(&sent, sizeof sent);
    reveal(&good, sizeof good);
    reveal(&rejected, sizeof rejected);
    const bool ok = sent == good && rejected != good;
    std::printf("%s, %s build: %s\n", name, build == Build::Avx2 ? "avx2" : "portable",
                ok ? "ok" : "MISMATCH");
    return ok;
}

}  // namespace

int main() {
    bool ok = true;
    for (Build build : {Build::Portable, Build::Avx2}) {
        if (build == Build::Avx2 && !tesvi::cpu::has_avx2()) {
            std::printf("no AVX2 on this processor: avx2 build not checked\n");
            continue;
        }
        ok = check<mlkem::MlKem512>("ML-KEM-512", build) && ok;
        ok = check<mlkem::MlKem768>("ML-KEM-768", build) && ok;
        ok = check<mlkem::MlKem1024>("ML-KEM-1024", build) && ok;
    }
    return ok ? 0 : 1;
}
