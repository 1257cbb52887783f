// FORS few-time signatures: k trees of 2^a secret leaves; the message picks
// one leaf per tree, and the k roots compress into the FORS public key that
// the bottom hypertree layer signs.
#pragma once

#include <cstdint>

#include "crypto/pqc/sphincs/address.hpp"
#include "crypto/pqc/sphincs/hash.hpp"
#include "crypto/pqc/sphincs/params.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

// Writes the kForsBytes signature of the kForsMsgBytes message `msg` to sig
// and the FORS public key to pk. fors_addr names the key pair (layer 0, tree
// and leaf of the hypertree path).
void fors_sign(uint8_t* sig, uint8_t* pk, const uint8_t* msg, const Context& ctx,
               const Address& fors_addr);

// The FORS public key that sig implies for msg.
void fors_pk_from_sig(uint8_t* pk, const uint8_t* sig, const uint8_t* msg, const Context& ctx,
                      const Address& fors_addr);

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
