// ML-KEM-512, ML-KEM-768 and ML-KEM-1024 (FIPS 203): key generation,
// encapsulation and decapsulation with implicit rejection, over typed
// fixed-length keys and ciphertexts.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "common/expected.hpp"
#include "crypto/pqc/common/build.hpp"
#include "crypto/pqc/common/bytes.hpp"
#include "crypto/pqc/mlkem/params.hpp"

namespace tesvi_crypto::pqc::mlkem {

using SharedSecret = std::array<uint8_t, SSBYTES>;

template <unsigned K>
struct MlKem {
    using P = Params<K>;

    // Byte conversions accept exactly the parameter set's length and otherwise
    // fail with "error: {name} expected {N} bytes, got {n}".
    struct PublicKey : FixedBytes<P::PUBLICKEYBYTES> {
        static tesvi::Expected<PublicKey, std::string> from_bytes(std::span<const uint8_t> in) {
            return FixedBytes<P::PUBLICKEYBYTES>::template from_bytes_as<PublicKey>("PublicKey",
                                                                                    in);
        }
    };
    struct SecretKey : FixedBytes<P::SECRETKEYBYTES> {
        static tesvi::Expected<SecretKey, std::string> from_bytes(std::span<const uint8_t> in) {
            return FixedBytes<P::SECRETKEYBYTES>::template from_bytes_as<SecretKey>("SecretKey",
                                                                                    in);
        }
    };
    struct Ciphertext : FixedBytes<P::CIPHERTEXTBYTES> {
        static tesvi::Expected<Ciphertext, std::string> from_bytes(std::span<const uint8_t> in) {
            return FixedBytes<P::CIPHERTEXTBYTES>::template from_bytes_as<Ciphertext>("Ciphertext",
                                                                                      in);
        }
    };

    struct KeyPair {
        PublicKey public_key;
        SecretKey secret_key;
    };
    struct Encapsulation {
        Ciphertext ciphertext;
        SharedSecret shared_secret;
    };

    // Every operation runs the build given, by default the one chosen for this
    // processor; the builds give identical bytes. Build::Avx2 on a processor
    // without AVX2 runs the portable build.

    // Draws d || z (64 bytes) from the operating system in one request.
    static KeyPair keypair();
    // The deterministic key generation from d || z.
    static KeyPair keypair_derand(std::span<const uint8_t, 2 * SYMBYTES> d_z,
                                  Build build = selected_build());

    // Draws m (32 bytes) from the operating system.
    static Encapsulation encapsulate(const PublicKey& pk);
    // The deterministic encapsulation of the message m.
    static Encapsulation encapsulate_derand(const PublicKey& pk,
                                            std::span<const uint8_t, SYMBYTES> m,
                                            Build build = selected_build());

    // Never fails: a ciphertext that does not re-encrypt to itself yields the
    // pseudorandom secret J(z || ct) instead (implicit rejection).
    static SharedSecret decapsulate(const Ciphertext& ct, const SecretKey& sk,
                                    Build build = selected_build());
};

extern template struct MlKem<2>;
extern template struct MlKem<3>;
extern template struct MlKem<4>;

using MlKem512 = MlKem<2>;
using MlKem768 = MlKem<3>;
using MlKem1024 = MlKem<4>;

}  // namespace tesvi_crypto::pqc::mlkem
