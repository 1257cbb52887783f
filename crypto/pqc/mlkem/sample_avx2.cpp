// Matrix sampling as jobs on the lanes of the four-way Keccak, beside the
// other hashes of the same operation. Rejection sampling takes sixteen 12-bit
// candidates per step and packs the accepted ones together with a byte
// shuffle chosen by their mask; the candidates come from the public seed, so
// the mask may index a table.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <span>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/pqc/mlkem/avx2.hpp"
#include "crypto/pqc/mlkem/sample.hpp"

namespace tesvi_crypto::pqc::mlkem::avx2 {
namespace {

// For each 8-bit acceptance mask, the byte shuffle that moves the accepted
// 16-bit lanes, in order, to the front.
constexpr auto PACK_ACCEPTED = [] {
    std::array<std::array<uint8_t, 16>, 256> t{};
    for (unsigned m = 0; m < 256; ++m) {
        t[m].fill(0x80);  // zero the unused tail
        unsigned n = 0;
        for (unsigned i = 0; i < 8; ++i) {
            if ((m >> i) & 1) {
                t[m][2 * n] = static_cast<uint8_t>(2 * i);
                t[m][2 * n + 1] = static_cast<uint8_t>(2 * i + 1);
                ++n;
            }
        }
    }
    return t;
}();

}  // namespace

TESVI_AVX2_BEGIN

namespace {

// Stores the accepted lanes of v (bits of mask) at r; returns how many.
size_t pack_accepted(int16_t* r, __m128i v, unsigned mask) {
    const __m128i shuf =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(PACK_ACCEPTED[mask].data()));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(r), _mm_shuffle_epi8(v, shuf));
    return static_cast<size_t>(__builtin_popcount(mask));
}

// The sixteen 12-bit candidates of the 24 bytes at p, masked to 12 bits:
// candidate 2k is bytes 3k, 3k+1 masked, candidate 2k+1 bytes 3k+1, 3k+2
// shifted; the upper half works on bytes 12-23, loaded from byte 8 on.
__m256i candidates(const uint8_t* p) {
    const __m256i expand = _mm256_setr_epi8(0, 1, 1, 2, 3, 4, 4, 5, 6, 7, 7, 8, 9, 10, 10, 11, 4, 5,
                                            5, 6, 7, 8, 8, 9, 10, 11, 11, 12, 13, 14, 14, 15);
    const __m256i raw = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 8),
                                            reinterpret_cast<const __m128i*>(p));
    const __m256i v = _mm256_shuffle_epi8(raw, expand);
    return _mm256_and_si256(_mm256_blend_epi16(v, _mm256_srli_epi16(v, 4), 0xAA),
                            _mm256_set1_epi16(0xFFF));
}

}  // namespace

size_t rej_uniform(int16_t* r, size_t len, const uint8_t* buf, size_t buflen) {
    const __m256i q = _mm256_set1_epi16(Q);
    size_t ctr = 0, pos = 0;
    // Two groups of sixteen at a time while both fit: one movemask of the
    // packed comparisons holds the halves' acceptance bytes in the order
    // first low, second low, first high, second high.
    for (; ctr + 32 <= len && pos + 48 <= buflen; pos += 48) {
        const __m256i a = candidates(buf + pos), b = candidates(buf + pos + 24);
        const auto accepted = static_cast<uint32_t>(_mm256_movemask_epi8(
            _mm256_packs_epi16(_mm256_cmpgt_epi16(q, a), _mm256_cmpgt_epi16(q, b))));
        ctr += pack_accepted(r + ctr, _mm256_castsi256_si128(a), accepted & 0xFF);
        ctr += pack_accepted(r + ctr, _mm256_extracti128_si256(a, 1), (accepted >> 16) & 0xFF);
        ctr += pack_accepted(r + ctr, _mm256_castsi256_si128(b), (accepted >> 8) & 0xFF);
        ctr += pack_accepted(r + ctr, _mm256_extracti128_si256(b, 1), accepted >> 24);
    }
    for (; ctr < len && pos + 24 <= buflen; pos += 24) {
        const __m256i v = candidates(buf + pos);
        const auto bytes = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpgt_epi16(q, v)));
        const unsigned accepted = _pext_u32(bytes, 0x55555555);
        // Near the end the candidates go through a spare buffer, and those
        // past len are dropped: the same as stopping at the group that fills r.
        int16_t spare[16];
        int16_t* out = ctr + 16 <= len ? r + ctr : spare;
        size_t n = pack_accepted(out, _mm256_castsi256_si128(v), accepted & 0xFF);
        n += pack_accepted(out + n, _mm256_extracti128_si256(v, 1), accepted >> 8);
        if (out == spare) {
            n = std::min(n, len - ctr);
            std::copy_n(spare, n, r + ctr);
        }
        ctr += n;
    }
    return ctr + mlkem::rej_uniform(r + ctr, len - ctr, buf + pos, buflen - pos);
}

namespace {

// One matrix entry as a job's sink: candidates from each block in turn until
// all N coefficients are in (168-byte blocks hold whole three-byte groups).
struct Entry {
    int16_t* coeffs;
    size_t filled = 0;
    uint8_t xy[2];

    static bool take(void* self, std::span<const uint8_t> block) {
        auto& e = *static_cast<Entry*>(self);
        e.filled += rej_uniform(e.coeffs + e.filled, N - e.filled, block.data(), block.size());
        return e.filled == N;
    }
};
static_assert(XOF_BLOCKBYTES % 3 == 0);

}  // namespace

template <unsigned K>
void draw(Matrix<K>* a, const uint8_t seed[SYMBYTES], bool transposed,
          std::span<const hash::Job> first, std::span<const hash::Job> then) {
    constexpr unsigned kEntries = K * K;
    // The longest list: the matrix, H(ek) or J, and the 2K + 1 noise PRFs.
    constexpr size_t kMaxJobs = kEntries + 2 * K + 2;
    Entry entries[kEntries];
    hash::Job jobs[kMaxJobs];
    size_t count = 0;
    auto add = [&](std::span<const hash::Job> list) {
        for (const hash::Job& job : list) jobs[count++] = job;
    };
    add(first);
    const hash::Sponge shake128 = hash::shake128_sponge();
    for (unsigned e = 0; a != nullptr && e < kEntries; ++e) {
        // Entry e is row e / K, column e % K, from XOF(seed, j, i) or, transposed, XOF(seed, i, j).
        const auto i = static_cast<uint8_t>(e / K), j = static_cast<uint8_t>(e % K);
        entries[e].coeffs = (*a)[i].vec[j].coeffs.data();
        entries[e].xy[0] = transposed ? i : j;
        entries[e].xy[1] = transposed ? j : i;
        jobs[count++] = {{std::span(seed, SYMBYTES), entries[e].xy},
                         shake128.rate(),
                         shake128.domain(),
                         Entry::take,
                         &entries[e]};
    }
    add(then);
    hash::x4::run({jobs, count});
}

template void draw<2>(Matrix<2>*, const uint8_t*, bool, std::span<const hash::Job>,
                      std::span<const hash::Job>);
template void draw<3>(Matrix<3>*, const uint8_t*, bool, std::span<const hash::Job>,
                      std::span<const hash::Job>);
template void draw<4>(Matrix<4>*, const uint8_t*, bool, std::span<const hash::Job>,
                      std::span<const hash::Job>);

TESVI_AVX2_END

}  // namespace tesvi_crypto::pqc::mlkem::avx2
