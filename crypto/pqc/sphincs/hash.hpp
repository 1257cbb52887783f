// The SHAKE256 instantiation of the scheme's keyed functions, "simple" variant:
// every tweakable hash is SHAKE256(PK.seed || ADRS || M), with no bitmasks.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "crypto/pqc/sphincs/address.hpp"
#include "crypto/pqc/sphincs/params.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

// The seeds every hash call is keyed with. sk_seed stays zero where only
// public computations run (verification).
struct Context {
    std::array<uint8_t, kN> pub_seed{};
    std::array<uint8_t, kN> sk_seed{};
};

// Tweakable hash of `blocks` n-byte blocks into n bytes. out may alias in.
void thash(uint8_t* out, const uint8_t* in, size_t blocks, const Context& ctx, const Address& addr);

// Secret WOTS or FORS key element for addr: SHAKE256(PK.seed || ADRS || SK.seed).
void prf_addr(uint8_t* out, const Context& ctx, const Address& addr);

// Eight of each in one eight-way permutation, lane j hashing in[j] under
// addr[j] into out[j] (out[j] may alias any in[l]: every input is read before
// any output is written). AVX2 build only (hash_avx2.cpp): call them only
// when tesvi::cpu::has_avx2().
inline constexpr uint32_t kWays = 8;
void thash_x8(uint8_t* const out[kWays], const uint8_t* const in[kWays], size_t blocks,
              const Context& ctx, const Address addr[kWays]);
void prf_addr_x8(uint8_t* const out[kWays], const Context& ctx, const Address addr[kWays]);

// Signature randomiser R = SHAKE256(SK.prf || optrand || M).
void prf_msg(uint8_t* out, const uint8_t* sk_prf, const uint8_t* optrand,
             std::span<const uint8_t> msg);

// The message digest split into what it selects: the FORS message, the
// hypertree path (tree) and the leaf within the bottom tree.
struct MessageDigest {
    std::array<uint8_t, kForsMsgBytes> fors_msg{};
    uint64_t tree = 0;
    uint32_t leaf = 0;
};

// H_msg(R, PK.seed || PK.root, M); pk is the 32-byte public key.
MessageDigest hash_message(const uint8_t* r, const uint8_t* pk, std::span<const uint8_t> msg);

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
