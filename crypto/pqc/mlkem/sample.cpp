#include "crypto/pqc/mlkem/sample.hpp"

#include "crypto/pqc/mlkem/symmetric.hpp"

namespace tesvi_crypto::pqc::mlkem {

size_t rej_uniform(int16_t* r, size_t len, const uint8_t* buf, size_t buflen) {
    size_t ctr = 0;
    for (size_t pos = 0; ctr < len && pos + 3 <= buflen; pos += 3) {
        const uint16_t val0 = (buf[pos] | (uint16_t{buf[pos + 1]} << 8)) & 0xFFF;
        const uint16_t val1 = ((buf[pos + 1] >> 4) | (uint16_t{buf[pos + 2]} << 4)) & 0xFFF;
        if (val0 < Q) r[ctr++] = static_cast<int16_t>(val0);
        if (ctr < len && val1 < Q) r[ctr++] = static_cast<int16_t>(val1);
    }
    return ctr;
}

template <unsigned K>
void gen_matrix(Matrix<K>& a, const uint8_t seed[SYMBYTES], bool transposed) {
    uint8_t buf[GEN_MATRIX_NBLOCKS * XOF_BLOCKBYTES];
    for (unsigned i = 0; i < K; ++i) {
        for (unsigned j = 0; j < K; ++j) {
            hash::Sponge s =
                transposed ? xof(seed, uint8_t(i), uint8_t(j)) : xof(seed, uint8_t(j), uint8_t(i));
            int16_t* coeffs = a[i].vec[j].coeffs.data();
            s.squeeze_blocks(buf, GEN_MATRIX_NBLOCKS);
            size_t ctr = rej_uniform(coeffs, N, buf, sizeof buf);
            while (ctr < N) {
                s.squeeze_blocks(buf, 1);
                ctr += rej_uniform(coeffs + ctr, N - ctr, buf, XOF_BLOCKBYTES);
            }
        }
    }
}

template void gen_matrix<2>(Matrix<2>&, const uint8_t*, bool);
template void gen_matrix<3>(Matrix<3>&, const uint8_t*, bool);
template void gen_matrix<4>(Matrix<4>&, const uint8_t*, bool);

}  // namespace tesvi_crypto::pqc::mlkem
