#include "crypto/pqc/sphincs/sign.hpp"

#include <algorithm>

#include "common/cpu.hpp"
#include "crypto/pqc/common/randombytes.hpp"
#include "crypto/pqc/sphincs/fors.hpp"
#include "crypto/pqc/sphincs/hash.hpp"
#include "crypto/pqc/sphincs/merkle.hpp"
#include "crypto/pqc/sphincs/wots.hpp"

namespace tesvi_crypto::pqc::sphincs_shake_128f_simple {

namespace {

constexpr size_t kLayerBytes = kWotsBytes + kTreeHeight * kN;
constexpr uint32_t kLeafMask = (1u << kTreeHeight) - 1;

// Layer 0's WOTS key pair on the digest's path, which the FORS key hangs under.
Address fors_address(const MessageDigest& d) {
    Address addr;
    addr.set_tree(d.tree);
    addr.set_type(AddrType::Wots);
    addr.set_keypair(d.leaf);
    return addr;
}

// The components that differ between the builds.
struct Components {
    Build build;
    decltype(&merkle_gen_root) gen_root;
    decltype(&merkle_sign) sign_subtree;
    LeafRow fors_leaves;
    RowHash fors_row;
    decltype(&fors_pk_from_sig) fors_pk;
    decltype(&wots_pk_from_sig) wots_pk;
};

thread_local Build last_run = Build::Portable;

const Components& components(Build build) {
    static constexpr Components portable = {Build::Portable, merkle_gen_root, merkle_sign,
                                            fors_leaves,     hash_row,        fors_pk_from_sig,
                                            wots_pk_from_sig};
#if defined(__x86_64__)
    static constexpr Components avx2 = {
        Build::Avx2, merkle_gen_root_avx2,  merkle_sign_avx2,     fors_leaves_x8,
        hash_row_x8, fors_pk_from_sig_avx2, wots_pk_from_sig_avx2};
    const Components& chosen = runs_avx2(build) ? avx2 : portable;
#else
    const Components& chosen = portable;
#endif
    last_run = chosen.build;
    return chosen;
}

}  // namespace

Build testing::last_build_run() {
    return last_run;
}

tesvi::Expected<DetachedSignature, std::string> DetachedSignature::from_bytes(
    std::span<const uint8_t> in) {
    if (in.size() > kSignatureBytes) {
        return tesvi::unexpected(length_error("DetachedSignature", kSignatureBytes, in.size()));
    }
    DetachedSignature sig;
    std::copy(in.begin(), in.end(), sig.bytes_.begin());
    sig.size_ = in.size();
    return sig;
}

Keypair keypair_from_seed(std::span<const uint8_t, kSeedBytes> seed, Build build) {
    Context ctx;
    std::copy(seed.begin(), seed.begin() + kN, ctx.sk_seed.begin());
    std::copy(seed.begin() + 2 * kN, seed.end(), ctx.pub_seed.begin());
    Keypair kp;
    uint8_t* sk = kp.secret_key.bytes.data();
    std::copy(seed.begin(), seed.end(), sk);
    components(build).gen_root(sk + kSeedBytes, ctx);
    std::copy(sk + 2 * kN, sk + kSecretKeyBytes, kp.public_key.bytes.begin());
    return kp;
}

Keypair keypair() {
    std::array<uint8_t, kSeedBytes> seed;
    randombytes(seed);
    return keypair_from_seed(seed);
}

DetachedSignature detached_sign_with_optrand(std::span<const uint8_t> msg, const SecretKey& sk,
                                             std::span<const uint8_t, kOptRandBytes> optrand,
                                             Build build) {
    const Components& use = components(build);
    const uint8_t* key = sk.bytes.data();
    const uint8_t* pk = key + 2 * kN;
    Context ctx;
    std::copy(key, key + kN, ctx.sk_seed.begin());
    std::copy(pk, pk + kN, ctx.pub_seed.begin());

    std::array<uint8_t, kSignatureBytes> out;
    uint8_t* sig = out.data();
    prf_msg(sig, key + kN, optrand.data(), msg);
    MessageDigest d = hash_message(sig, pk, msg);
    sig += kN;

    uint8_t root[kN];
    fors_sign(sig, root, d.fors_msg.data(), ctx, fors_address(d), use.fors_leaves, use.fors_row);
    sig += kForsBytes;

    uint64_t tree = d.tree;
    uint32_t leaf = d.leaf;
    for (uint32_t layer = 0; layer < kLayers; ++layer, sig += kLayerBytes) {
        use.sign_subtree(sig, root, ctx, layer, tree, leaf);
        leaf = static_cast<uint32_t>(tree & kLeafMask);
        tree >>= kTreeHeight;
    }
    return DetachedSignature(out);
}

DetachedSignature detached_sign(std::span<const uint8_t> msg, const SecretKey& sk) {
    std::array<uint8_t, kOptRandBytes> optrand;
    randombytes(optrand);
    return detached_sign_with_optrand(msg, sk, optrand);
}

bool verify_detached_signature(const DetachedSignature& signature, std::span<const uint8_t> msg,
                               const PublicKey& public_key, Build build) {
    const Components& use = components(build);
    if (signature.size() != kSignatureBytes) return false;
    const uint8_t* sig = signature.as_bytes().data();
    const uint8_t* pk = public_key.bytes.data();
    Context ctx;
    std::copy(pk, pk + kN, ctx.pub_seed.begin());

    MessageDigest d = hash_message(sig, pk, msg);
    sig += kN;

    uint8_t root[kN];
    use.fors_pk(root, sig, d.fors_msg.data(), ctx, fors_address(d));
    sig += kForsBytes;

    uint64_t tree = d.tree;
    uint32_t leaf = d.leaf;
    for (uint32_t layer = 0; layer < kLayers; ++layer, sig += kLayerBytes) {
        Address wots_addr;
        wots_addr.set_layer(layer);
        wots_addr.set_tree(tree);
        wots_addr.set_type(AddrType::Wots);
        wots_addr.set_keypair(leaf);
        uint8_t wots_pk[kWotsBytes];
        use.wots_pk(wots_pk, sig, root, ctx, wots_addr);

        Address pk_addr;
        pk_addr.copy_keypair(wots_addr);
        pk_addr.set_type(AddrType::WotsPk);
        uint8_t leaf_node[kN];
        thash(leaf_node, wots_pk, kWotsLen, ctx, pk_addr);

        Address tree_addr;
        tree_addr.copy_subtree(wots_addr);
        tree_addr.set_type(AddrType::HashTree);
        compute_root(root, leaf_node, leaf, 0, sig + kWotsBytes, kTreeHeight, ctx, tree_addr);

        leaf = static_cast<uint32_t>(tree & kLeafMask);
        tree >>= kTreeHeight;
    }
    return std::equal(root, root + kN, pk + kN);
}

}  // namespace tesvi_crypto::pqc::sphincs_shake_128f_simple
