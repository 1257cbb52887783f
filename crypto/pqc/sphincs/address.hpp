// The 32-byte hash address (ADRS) of round 3.1: eight big-endian 32-bit words,
//   word 0 layer | words 1-3 tree (the low 64 bits used) | word 4 type |
//   word 5 key pair | word 6 chain or tree height | word 7 hash or tree index.
// Every tweakable hash call is bound to one of these, so each field's place
// and width are part of the signature format.
#pragma once

#include <array>
#include <cstdint>

#include "crypto/pqc/sphincs/params.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

enum class AddrType : uint8_t {
    Wots = 0,
    WotsPk = 1,
    HashTree = 2,
    ForsTree = 3,
    ForsPk = 4,
    WotsPrf = 5,
    ForsPrf = 6,
};

struct Address {
    std::array<uint8_t, kAddrBytes> bytes{};

    void set_layer(uint32_t layer) { put32(0, layer); }
    void set_tree(uint64_t tree) {
        put32(8, static_cast<uint32_t>(tree >> 32));
        put32(12, static_cast<uint32_t>(tree));
    }
    // Changing the type leaves the words after it as they are; callers set
    // the fields the new type uses.
    void set_type(AddrType type) { put32(16, static_cast<uint32_t>(type)); }
    void set_keypair(uint32_t keypair) { put32(20, keypair); }
    void set_chain(uint32_t chain) { put32(24, chain); }
    void set_hash(uint32_t hash) { put32(28, hash); }
    void set_tree_height(uint32_t height) { put32(24, height); }
    void set_tree_index(uint32_t index) { put32(28, index); }

    // Layer and tree: the subtree this address lies in.
    void copy_subtree(const Address& from) {
        for (int i = 0; i < 16; ++i) bytes[i] = from.bytes[i];
    }
    // Subtree and key pair: the WOTS or FORS instance this address lies in.
    void copy_keypair(const Address& from) {
        copy_subtree(from);
        for (int i = 20; i < 24; ++i) bytes[i] = from.bytes[i];
    }

  private:
    void put32(int at, uint32_t v) {
        bytes[at] = static_cast<uint8_t>(v >> 24);
        bytes[at + 1] = static_cast<uint8_t>(v >> 16);
        bytes[at + 2] = static_cast<uint8_t>(v >> 8);
        bytes[at + 3] = static_cast<uint8_t>(v);
    }
};

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
