// Parameters of SPHINCS+-SHAKE-128f-simple (round 3.1): a hypertree of 22
// layers of height-3 trees over FORS with 33 trees of height 6, Winternitz 16.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

inline constexpr size_t kN = 16;  // hash output and seed length
inline constexpr uint32_t kFullHeight = 66;
inline constexpr uint32_t kLayers = 22;
inline constexpr uint32_t kTreeHeight = kFullHeight / kLayers;
inline constexpr uint32_t kForsHeight = 6;
inline constexpr uint32_t kForsTrees = 33;

inline constexpr uint32_t kWotsW = 16;
inline constexpr uint32_t kWotsLogW = 4;
inline constexpr uint32_t kWotsLen1 = 8 * kN / kWotsLogW;
inline constexpr uint32_t kWotsLen2 = 3;  // floor(log2(len1 * (w - 1)) / log2(w)) + 1
inline constexpr uint32_t kWotsLen = kWotsLen1 + kWotsLen2;
inline constexpr size_t kWotsBytes = kWotsLen * kN;

inline constexpr size_t kForsMsgBytes = (kForsHeight * kForsTrees + 7) / 8;
inline constexpr size_t kForsBytes = (kForsHeight + 1) * kForsTrees * kN;

inline constexpr uint32_t kTreeBits = kTreeHeight * (kLayers - 1);
inline constexpr size_t kTreeBytes = (kTreeBits + 7) / 8;
inline constexpr uint32_t kLeafBits = kTreeHeight;
inline constexpr size_t kLeafBytes = (kLeafBits + 7) / 8;
inline constexpr size_t kDigestBytes = kForsMsgBytes + kTreeBytes + kLeafBytes;

inline constexpr size_t kAddrBytes = 32;
inline constexpr size_t kPublicKeyBytes = 2 * kN;
inline constexpr size_t kSecretKeyBytes = 4 * kN;
inline constexpr size_t kSeedBytes = 3 * kN;
inline constexpr size_t kOptRandBytes = kN;
inline constexpr size_t kSignatureBytes =
    kN + kForsBytes + kLayers * (kWotsBytes + kTreeHeight * kN);

static_assert(kSignatureBytes == 17088);
static_assert(kDigestBytes == 34);

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
