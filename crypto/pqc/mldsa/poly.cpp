#include "crypto/pqc/mldsa/poly.hpp"

#include <numeric>

#include "crypto/pqc/common/ct.hpp"
#include "crypto/pqc/mldsa/ntt.hpp"
#include "crypto/pqc/mldsa/reduce.hpp"
#include "crypto/pqc/mldsa/rounding.hpp"
#include "crypto/pqc/mldsa/symmetric.hpp"

namespace tesvi_crypto::pqc::mldsa65 {
namespace {

// Values packed `Bits` bits each fill whole bytes in groups of 8 / gcd(Bits, 8);
// a group of 13-bit values spans 104 bits, so it is gathered in 128.
template <int Bits>
struct Group {
    static constexpr size_t VALUES = 8 / std::gcd(Bits, 8);
    static constexpr size_t BYTES = Bits * VALUES / 8;
    static constexpr uint32_t MASK = (uint32_t{1} << Bits) - 1;
};

// Writes value(i) for i < N in Bits bits each, least significant bit first.
template <int Bits, class Value>
void pack_bits(uint8_t* r, Value value) {
    using G = Group<Bits>;
    for (size_t i = 0; i < N; i += G::VALUES, r += G::BYTES) {
        unsigned __int128 acc = 0;
        for (size_t j = 0; j < G::VALUES; ++j)
            acc |= static_cast<unsigned __int128>(static_cast<uint32_t>(value(i + j)) & G::MASK)
                   << (Bits * j);
        for (size_t k = 0; k < G::BYTES; ++k) r[k] = static_cast<uint8_t>(acc >> (8 * k));
    }
}

// Reads N values of Bits bits each, packed as by pack_bits, through store(i, v).
template <int Bits, class Store>
void unpack_bits(const uint8_t* r, Store store) {
    using G = Group<Bits>;
    for (size_t i = 0; i < N; i += G::VALUES, r += G::BYTES) {
        unsigned __int128 acc = 0;
        for (size_t k = 0; k < G::BYTES; ++k)
            acc |= static_cast<unsigned __int128>(r[k]) << (8 * k);
        for (size_t j = 0; j < G::VALUES; ++j)
            store(i + j, static_cast<int32_t>(static_cast<uint32_t>(acc >> (Bits * j)) & G::MASK));
    }
}

}  // namespace

// Candidates are 23-bit little-endian triples; those below q are kept. Runs on
// the public seed only.
size_t rej_uniform(int32_t* a, size_t len, const uint8_t* buf, size_t buflen) {
    size_t ctr = 0;
    for (size_t pos = 0; ctr < len && pos + 3 <= buflen; pos += 3) {
        uint32_t t =
            (buf[pos] | uint32_t{buf[pos + 1]} << 8 | uint32_t{buf[pos + 2]} << 16) & 0x7FFFFF;
        if (t < static_cast<uint32_t>(Q)) a[ctr++] = static_cast<int32_t>(t);
    }
    return ctr;
}

// Candidates are the nibbles, low one first; those below 2 ETA + 1 are kept.
// The nibbles are secret, but whether one is kept says nothing about the kept
// values (each is uniform whatever the pattern of rejections), so the accept
// decision alone is declassified and the kept value is stored without a branch.
size_t rej_eta(int32_t* a, size_t len, const uint8_t* buf, size_t buflen) {
    size_t ctr = 0;
    for (size_t n = 0; ctr < len && n < 2 * buflen; ++n) {
        uint32_t t = (buf[n / 2] >> (4 * (n % 2))) & 0x0F;
        uint32_t accept = (t - (2 * ETA + 1)) >> 31;
        ct::declassify(accept);
        if (accept) a[ctr++] = ETA - static_cast<int32_t>(t);
    }
    return ctr;
}

void poly_reduce(Poly& a) {
    for (int32_t& x : a.coeffs) x = reduce32(x);
}

void poly_caddq(Poly& a) {
    for (int32_t& x : a.coeffs) x = caddq(x);
}

void poly_add(Poly& c, const Poly& a, const Poly& b) {
    for (size_t i = 0; i < N; ++i) c.coeffs[i] = a.coeffs[i] + b.coeffs[i];
}

void poly_sub(Poly& c, const Poly& a, const Poly& b) {
    for (size_t i = 0; i < N; ++i) c.coeffs[i] = a.coeffs[i] - b.coeffs[i];
}

void poly_shiftl(Poly& a) {
    for (int32_t& x : a.coeffs) x *= 1 << D;
}

void poly_ntt(Poly& a) {
    ntt(a.coeffs);
}

void poly_invntt_tomont(Poly& a) {
    invntt_tomont(a.coeffs);
}

void poly_pointwise_montgomery(Poly& c, const Poly& a, const Poly& b) {
    for (size_t i = 0; i < N; ++i)
        c.coeffs[i] = montgomery_reduce(int64_t{a.coeffs[i]} * b.coeffs[i]);
}

void poly_pointwise_acc_montgomery(Poly& c, const Poly& a, const Poly& b) {
    for (size_t i = 0; i < N; ++i)
        c.coeffs[i] += montgomery_reduce(int64_t{a.coeffs[i]} * b.coeffs[i]);
}

void poly_power2round(Poly& a1, Poly& a0, const Poly& a) {
    for (size_t i = 0; i < N; ++i) a1.coeffs[i] = power2round(a0.coeffs[i], a.coeffs[i]);
}

void poly_decompose(Poly& a1, Poly& a0, const Poly& a) {
    for (size_t i = 0; i < N; ++i) a1.coeffs[i] = decompose(a0.coeffs[i], a.coeffs[i]);
}

unsigned poly_make_hint(Poly& h, const Poly& a0, const Poly& a1) {
    unsigned s = 0;
    for (size_t i = 0; i < N; ++i) {
        uint32_t bit = make_hint(a0.coeffs[i], a1.coeffs[i]);
        h.coeffs[i] = static_cast<int32_t>(bit);
        s += bit;
    }
    return s;
}

void poly_use_hint(Poly& b, const Poly& a, const Poly& h) {
    for (size_t i = 0; i < N; ++i)
        b.coeffs[i] = use_hint(a.coeffs[i], static_cast<uint32_t>(h.coeffs[i]));
}

bool poly_chknorm(const Poly& a, int32_t bound) {
    uint32_t over = 0;
    for (int32_t x : a.coeffs) {
        int32_t t = x - (ct::sign_mask(x) & 2 * x);  // |x|
        over |= static_cast<uint32_t>(bound - 1 - t) >> 31;
    }
    return over != 0;
}

void poly_uniform(Poly& a, std::span<const uint8_t, SEEDBYTES> rho, uint16_t nonce) {
    constexpr size_t BLOCKS = (3 * N + STREAM128_BLOCKBYTES - 1) / STREAM128_BLOCKBYTES;
    static_assert(STREAM128_BLOCKBYTES % 3 == 0, "no candidate straddles two squeezes");
    uint8_t buf[BLOCKS * STREAM128_BLOCKBYTES];
    hash::Sponge stream = stream128(rho, nonce);
    stream.squeeze_blocks(buf, BLOCKS);
    size_t ctr = rej_uniform(a.coeffs, N, buf, sizeof buf);
    while (ctr < N) {
        stream.squeeze_blocks(buf, 1);
        ctr += rej_uniform(a.coeffs + ctr, N - ctr, buf, STREAM128_BLOCKBYTES);
    }
}

void poly_uniform_eta(Poly& a, std::span<const uint8_t, CRHBYTES> rhoprime, uint16_t nonce) {
    constexpr size_t BLOCKS = 2;  // 544 candidates; about 7 polynomials in 10^6 need more
    uint8_t buf[BLOCKS * STREAM256_BLOCKBYTES];
    hash::Sponge stream = stream256(rhoprime, nonce);
    stream.squeeze_blocks(buf, BLOCKS);
    size_t ctr = rej_eta(a.coeffs, N, buf, sizeof buf);
    while (ctr < N) {
        stream.squeeze_blocks(buf, 1);
        ctr += rej_eta(a.coeffs + ctr, N - ctr, buf, STREAM256_BLOCKBYTES);
    }
}

void poly_uniform_gamma1(Poly& a, std::span<const uint8_t, CRHBYTES> rhoprime, uint16_t nonce) {
    uint8_t buf[POLYZ_PACKEDBYTES];
    stream256(rhoprime, nonce).squeeze(buf);
    polyz_unpack(a, buf);
}

// Fisher-Yates over the last TAU positions. Which bytes get rejected does not
// depend on the resulting challenge (an accepted byte is uniform below i+1
// whatever came before), so only that decision is declassified; the swap
// touches every position up to i with masks so the chosen index stays hidden.
void poly_challenge(Poly& c, std::span<const uint8_t, CTILDEBYTES> ctilde, ChallengePlace place) {
    uint8_t buf[STREAM256_BLOCKBYTES];
    hash::Sponge stream = hash::shake256_sponge();
    stream.absorb(ctilde);
    stream.squeeze_blocks(buf, 1);

    uint64_t signs = 0;
    for (size_t i = 0; i < 8; ++i) signs |= uint64_t{buf[i]} << (8 * i);
    size_t pos = 8;

    c = {};
    for (uint32_t i = N - TAU; i < N; ++i) {
        uint32_t b;
        for (;;) {
            if (pos == STREAM256_BLOCKBYTES) {
                stream.squeeze_blocks(buf, 1);
                pos = 0;
            }
            b = buf[pos++];
            uint32_t rejected = (i - b) >> 31;
            ct::declassify(rejected);
            if (!rejected) break;
        }
        place(c, i, b, 1 - 2 * static_cast<int32_t>(signs & 1));
        signs >>= 1;
    }
}

void challenge_place(Poly& c, uint32_t i, uint32_t b, int32_t sign) {
    int32_t cb = 0;
    for (uint32_t j = 0; j <= i; ++j) cb |= c.coeffs[j] & static_cast<int32_t>(ct::eq_mask(j, b));
    c.coeffs[i] = cb;
    for (uint32_t j = 0; j <= i; ++j) {
        int32_t m = static_cast<int32_t>(ct::eq_mask(j, b));
        c.coeffs[j] = ct::select(sign, c.coeffs[j], m);
    }
}

void polyeta_pack(uint8_t* r, const Poly& a) {
    pack_bits<ETA_BITS>(r, [&](size_t i) { return ETA - a.coeffs[i]; });
}

void polyeta_unpack(Poly& a, const uint8_t* r) {
    unpack_bits<ETA_BITS>(r, [&](size_t i, int32_t v) { a.coeffs[i] = ETA - v; });
}

void polyt1_pack(uint8_t* r, const Poly& a) {
    pack_bits<T1_BITS>(r, [&](size_t i) { return a.coeffs[i]; });
}

void polyt1_unpack(Poly& a, const uint8_t* r) {
    unpack_bits<T1_BITS>(r, [&](size_t i, int32_t v) { a.coeffs[i] = v; });
}

void polyt0_pack(uint8_t* r, const Poly& a) {
    pack_bits<T0_BITS>(r, [&](size_t i) { return (1 << (D - 1)) - a.coeffs[i]; });
}

void polyt0_unpack(Poly& a, const uint8_t* r) {
    unpack_bits<T0_BITS>(r, [&](size_t i, int32_t v) { a.coeffs[i] = (1 << (D - 1)) - v; });
}

void polyz_pack(uint8_t* r, const Poly& a) {
    pack_bits<Z_BITS>(r, [&](size_t i) { return GAMMA1 - a.coeffs[i]; });
}

void polyz_unpack(Poly& a, const uint8_t* r) {
    unpack_bits<Z_BITS>(r, [&](size_t i, int32_t v) { a.coeffs[i] = GAMMA1 - v; });
}

void polyw1_pack(uint8_t* r, const Poly& a) {
    pack_bits<W1_BITS>(r, [&](size_t i) { return a.coeffs[i]; });
}

}  // namespace tesvi_crypto::pqc::mldsa65
