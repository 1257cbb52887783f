// Runs key generation and signing with the secret seeds marked undefined for
// Memcheck: a conditional jump or memory index that depends on them is then
// reported as a use of uninitialised memory. Each build the processor runs is
// checked.
//
// The randomiser R = PRF(SK_PRF, optrand, M) is published as the start of
// the signature, and everything the message digest selects (hypertree path,
// FORS leaves) follows from it. So SK_PRF is checked up to R, and the rest of
// signing is checked with SK_SEED secret and SK_PRF public.
//
// First, with nothing marked secret, a signature must come out fully
// defined: every byte is computed from the inputs, none is carried over from
// memory the signer never wrote.
#include <valgrind/memcheck.h>

#include <array>
#include <cstdio>
#include <vector>

#include "common/cpu.hpp"
#include "crypto/pqc/sphincs/hash.hpp"
#include "crypto/pqc/sphincs/sign.hpp"

namespace sp = tesvi_crypto::pqc::sphincs_shake_128f_simple;
using tesvi_crypto::pqc::Build;

namespace {

template <class T>
void secret(T* p, size_t bytes) {
    VALGRIND_MAKE_MEM_UNDEFINED(p, bytes);
}

template <class T>
void declassify(T* p, size_t bytes) {
    VALGRIND_MAKE_MEM_DEFINED(p, bytes);
}

const std::array<uint8_t, sp::kOptRandBytes> optrand{};
const std::array<uint8_t, 33> msg{0xa1, 0x1c, 0x8b};

std::array<uint8_t, sp::kSeedBytes> fixed_seed() {
    std::array<uint8_t, sp::kSeedBytes> seed;
    for (size_t i = 0; i < seed.size(); ++i) seed[i] = static_cast<uint8_t>(i);
    return seed;
}

// Whether a signature from fully defined inputs is fully defined.
bool signature_is_defined(Build build) {
    std::puts("signature from defined inputs");
    sp::Keypair kp = sp::keypair_from_seed(fixed_seed(), build);
    sp::DetachedSignature sig = sp::detached_sign_with_optrand(msg, kp.secret_key, optrand, build);
    auto bytes = sig.as_bytes();
    if (VALGRIND_CHECK_MEM_IS_DEFINED(bytes.data(), bytes.size()) == 0) return true;
    std::puts("SIGNATURE HOLDS UNDEFINED BYTES");
    return false;
}

bool secrets_stay_hidden(Build build) {
    std::array<uint8_t, sp::kSeedBytes> seed = fixed_seed();
    std::puts("key generation, SK_SEED and SK_PRF secret");
    secret(seed.data(), 2 * sp::kN);
    sp::Keypair kp = sp::keypair_from_seed(seed, build);
    // The root is the public key; the seeds in the secret key stay secret.
    declassify(kp.public_key.bytes.data(), sp::kPublicKeyBytes);
    declassify(kp.secret_key.bytes.data() + 2 * sp::kN, 2 * sp::kN);

    std::puts("randomiser, SK_PRF secret");
    secret(kp.secret_key.bytes.data() + sp::kN, sp::kN);
    uint8_t r[sp::kN];
    sp::prf_msg(r, kp.secret_key.bytes.data() + sp::kN, optrand.data(), msg);

    std::puts("signing, SK_SEED secret");
    // R is published as the signature's first bytes, so SK_PRF's only
    // effect on signing (the digest R selects) is public.
    declassify(kp.secret_key.bytes.data() + sp::kN, sp::kN);
    secret(kp.secret_key.bytes.data(), sp::kN);
    sp::DetachedSignature sig = sp::detached_sign_with_optrand(msg, kp.secret_key, optrand, build);

    // The signature is the output everyone sees.
    auto bytes = sig.as_bytes();
    declassify(bytes.data(), bytes.size());
    bool ok = sp::verify_detached_signature(sig, msg, kp.public_key, build);
    std::printf("signature %s\n", ok ? "verifies" : "DOES NOT VERIFY");
    return ok;
}

}  // namespace

int main() {
    if (!RUNNING_ON_VALGRIND) std::puts("not under valgrind: nothing is checked");
    std::vector<Build> builds = {Build::Portable};
    if (tesvi::cpu::has_avx2()) builds.push_back(Build::Avx2);
    bool ok = true;
    for (Build build : builds) {
        std::printf("== %s build\n", build == Build::Avx2 ? "AVX2" : "portable");
        ok &= signature_is_defined(build);
        ok &= secrets_stay_hidden(build);
    }
    return ok ? 0 : 1;
}
