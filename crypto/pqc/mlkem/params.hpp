// The ML-KEM parameter sets, told apart by the module rank K: 2, 3 and 4 for
// ML-KEM-512, ML-KEM-768 and ML-KEM-1024. Everything else follows from K.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesvi_crypto::pqc::mlkem {

inline constexpr size_t N = 256;
inline constexpr int16_t Q = 3329;
inline constexpr size_t SYMBYTES = 32;  // seeds, messages, hashes
inline constexpr size_t SSBYTES = 32;   // shared secrets
inline constexpr size_t POLYBYTES = 384;

template <unsigned K>
struct Params {
    static_assert(K == 2 || K == 3 || K == 4, "ML-KEM is defined for ranks 2, 3 and 4");

    static constexpr unsigned ETA1 = K == 2 ? 3 : 2;
    static constexpr unsigned ETA2 = 2;
    static constexpr unsigned DU = K == 4 ? 11 : 10;
    static constexpr unsigned DV = K == 4 ? 5 : 4;

    static constexpr size_t POLYVECBYTES = K * POLYBYTES;
    static constexpr size_t POLYCOMPRESSEDBYTES = N * DV / 8;
    static constexpr size_t POLYVECCOMPRESSEDBYTES = K * N * DU / 8;

    static constexpr size_t INDCPA_PUBLICKEYBYTES = POLYVECBYTES + SYMBYTES;
    static constexpr size_t INDCPA_SECRETKEYBYTES = POLYVECBYTES;
    static constexpr size_t INDCPA_BYTES = POLYVECCOMPRESSEDBYTES + POLYCOMPRESSEDBYTES;

    static constexpr size_t PUBLICKEYBYTES = INDCPA_PUBLICKEYBYTES;
    // dk_PKE || ek || H(ek) || z
    static constexpr size_t SECRETKEYBYTES =
        INDCPA_SECRETKEYBYTES + INDCPA_PUBLICKEYBYTES + 2 * SYMBYTES;
    static constexpr size_t CIPHERTEXTBYTES = INDCPA_BYTES;
};

}  // namespace tesvi_crypto::pqc::mlkem
