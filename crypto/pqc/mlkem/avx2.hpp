// The AVX2 build of the arithmetic and sampling under K-PKE. Every function
// gives the same coefficients and bytes as its portable namesake in poly.hpp,
// cbd.hpp and sample.hpp, and keeps the same coefficient order: the transforms
// undo their lane shuffles in registers, so nothing is ever reordered in
// memory. Callers check tesvi::cpu::has_avx2() first; off x86-64 none exists.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "crypto/hash/sponge.hpp"
#include "crypto/pqc/mlkem/params.hpp"
#include "crypto/pqc/mlkem/poly.hpp"
#include "crypto/pqc/mlkem/polyvec.hpp"

namespace tesvi_crypto::pqc::mlkem::avx2 {

void poly_ntt(Poly& r);
void poly_invntt_tomont(Poly& r);
// r = sum of the k products a[i] b[i] in the NTT domain, with a factor 2^-16, reduced.
void poly_basemul_acc_montgomery(Poly& r, const Poly* a, const Poly* b, unsigned k);

void poly_tomont(Poly& r);
void poly_reduce(Poly& r);
void poly_add(Poly& r, const Poly& a, const Poly& b);
void poly_sub(Poly& r, const Poly& a, const Poly& b);

template <unsigned D>
void poly_compress(uint8_t* r, const Poly& a);
template <unsigned D>
void poly_decompress(Poly& r, const uint8_t* a);
void poly_tobytes(uint8_t r[POLYBYTES], const Poly& a);
void poly_frombytes(Poly& r, const uint8_t a[POLYBYTES]);
void poly_frommsg(Poly& r, const uint8_t msg[SYMBYTES]);
void poly_tomsg(uint8_t msg[SYMBYTES], const Poly& a);

template <unsigned ETA>
void cbd(std::array<int16_t, N>& r, const uint8_t* buf);

// As the portable rej_uniform, sixteen or thirty-two candidates per step.
size_t rej_uniform(int16_t* r, size_t len, const uint8_t* buf, size_t buflen);
// The jobs of `first`, the matrix entries (when a is non-null: as
// gen_matrix), then the jobs of `then`, all on the lanes of the four-way
// Keccak in that order: a long hash in `first` runs beside the matrix.
template <unsigned K>
void draw(Matrix<K>* a, const uint8_t seed[SYMBYTES], bool transposed,
          std::span<const hash::Job> first, std::span<const hash::Job> then);

}  // namespace tesvi_crypto::pqc::mlkem::avx2
