#include "crypto/pqc/mlkem/poly.hpp"

#include "crypto/pqc/mlkem/cbd.hpp"
#include "crypto/pqc/mlkem/ntt.hpp"
#include "crypto/pqc/mlkem/reduce.hpp"
#include "crypto/pqc/mlkem/symmetric.hpp"

namespace tesvi_crypto::pqc::mlkem {
namespace {

// floor(t / q) for t < 2^23 as a multiply and shift: a division by q can
// compile to an instruction whose time depends on its (secret) operand.
constexpr uint64_t DIV_Q_SHIFT = 36;
constexpr uint64_t DIV_Q_MUL = ((uint64_t{1} << DIV_Q_SHIFT) + Q - 1) / Q;

// round(2^D x / q) mod 2^D for x in [0, q).
template <unsigned D>
constexpr uint16_t compress(uint16_t x) {
    const uint64_t t = (uint64_t{x} << D) + Q / 2;
    return static_cast<uint16_t>(((t * DIV_Q_MUL) >> DIV_Q_SHIFT) & ((1u << D) - 1));
}

// round(q y / 2^D) for y in [0, 2^D).
template <unsigned D>
constexpr int16_t decompress(uint16_t y) {
    return static_cast<int16_t>((uint32_t{y} * Q + (1u << (D - 1))) >> D);
}

template <unsigned D>
constexpr bool compress_is_exact() {
    for (uint32_t x = 0; x < uint32_t(Q); ++x) {
        if (compress<D>(static_cast<uint16_t>(x)) != (((x << D) + Q / 2) / Q) % (1u << D)) {
            return false;
        }
    }
    return true;
}
static_assert(compress_is_exact<1>() && compress_is_exact<4>() && compress_is_exact<5>() &&
              compress_is_exact<10>() && compress_is_exact<11>());

// ByteEncode_D: the D low bits of each value, least significant bit first.
template <unsigned D>
void encode(uint8_t* out, const std::array<uint16_t, N>& in) {
    uint32_t acc = 0;
    unsigned bits = 0;
    for (uint16_t v : in) {
        acc |= uint32_t{v} << bits;
        for (bits += D; bits >= 8; bits -= 8) {
            *out++ = static_cast<uint8_t>(acc);
            acc >>= 8;
        }
    }
}

// ByteDecode_D: 256 values of D bits.
template <unsigned D>
void decode(std::array<uint16_t, N>& out, const uint8_t* in) {
    uint32_t acc = 0;
    unsigned bits = 0;
    for (uint16_t& v : out) {
        for (; bits < D; bits += 8) acc |= uint32_t{*in++} << bits;
        v = static_cast<uint16_t>(acc & ((1u << D) - 1));
        acc >>= D;
        bits -= D;
    }
}

}  // namespace

template <unsigned D>
void poly_compress(uint8_t* r, const Poly& a) {
    std::array<uint16_t, N> t;
    for (size_t i = 0; i < N; ++i) t[i] = compress<D>(caddq(a.coeffs[i]));
    encode<D>(r, t);
}

template <unsigned D>
void poly_decompress(Poly& r, const uint8_t* a) {
    std::array<uint16_t, N> t;
    decode<D>(t, a);
    for (size_t i = 0; i < N; ++i) r.coeffs[i] = decompress<D>(t[i]);
}

template void poly_compress<4>(uint8_t*, const Poly&);
template void poly_compress<5>(uint8_t*, const Poly&);
template void poly_compress<10>(uint8_t*, const Poly&);
template void poly_compress<11>(uint8_t*, const Poly&);
template void poly_decompress<4>(Poly&, const uint8_t*);
template void poly_decompress<5>(Poly&, const uint8_t*);
template void poly_decompress<10>(Poly&, const uint8_t*);
template void poly_decompress<11>(Poly&, const uint8_t*);

void poly_tobytes(uint8_t r[POLYBYTES], const Poly& a) {
    std::array<uint16_t, N> t;
    for (size_t i = 0; i < N; ++i) t[i] = caddq(a.coeffs[i]);
    encode<12>(r, t);
}

void poly_frombytes(Poly& r, const uint8_t a[POLYBYTES]) {
    std::array<uint16_t, N> t;
    decode<12>(t, a);
    for (size_t i = 0; i < N; ++i) r.coeffs[i] = static_cast<int16_t>(t[i]);
}

void poly_frommsg(Poly& r, const uint8_t msg[SYMBYTES]) {
    poly_decompress<1>(r, msg);
}

void poly_tomsg(uint8_t msg[SYMBYTES], const Poly& a) {
    poly_compress<1>(msg, a);
}

void poly_ntt(Poly& r) {
    ntt(r.coeffs);
    poly_reduce(r);
}

void poly_invntt_tomont(Poly& r) {
    invntt(r.coeffs);
}

void poly_basemul_montgomery(Poly& r, const Poly& a, const Poly& b) {
    for (size_t i = 0; i < N / 4; ++i) {
        const int16_t zeta = ZETAS[64 + i];
        basemul(&r.coeffs[4 * i], &a.coeffs[4 * i], &b.coeffs[4 * i], zeta);
        basemul(&r.coeffs[4 * i + 2], &a.coeffs[4 * i + 2], &b.coeffs[4 * i + 2],
                static_cast<int16_t>(-zeta));
    }
}

void poly_basemul_acc_montgomery(Poly& r, const Poly* a, const Poly* b, unsigned k) {
    Poly t;
    poly_basemul_montgomery(r, a[0], b[0]);
    for (unsigned i = 1; i < k; ++i) {
        poly_basemul_montgomery(t, a[i], b[i]);
        poly_add(r, r, t);
    }
    poly_reduce(r);
}

void poly_tomont(Poly& r) {
    constexpr int16_t f = static_cast<int16_t>((int64_t{1} << 32) % Q);
    for (int16_t& c : r.coeffs) c = montgomery_reduce(int32_t{c} * f);
}

void poly_reduce(Poly& r) {
    for (int16_t& c : r.coeffs) c = barrett_reduce(c);
}

void poly_add(Poly& r, const Poly& a, const Poly& b) {
    for (size_t i = 0; i < N; ++i) r.coeffs[i] = static_cast<int16_t>(a.coeffs[i] + b.coeffs[i]);
}

void poly_sub(Poly& r, const Poly& a, const Poly& b) {
    for (size_t i = 0; i < N; ++i) r.coeffs[i] = static_cast<int16_t>(a.coeffs[i] - b.coeffs[i]);
}

}  // namespace tesvi_crypto::pqc::mlkem
