#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "common/target_avx2.hpp"
#include "crypto/hash/keccak_x4.hpp"
#include "crypto/hash/multi_sponge.hpp"

namespace tesvi_crypto::hash::x4 {

TESVI_AVX2_BEGIN

void shake128_absorb_once(State& st, const uint8_t* in0, const uint8_t* in1, const uint8_t* in2,
                          const uint8_t* in3, size_t inlen) {
    const uint8_t* in[4] = {in0, in1, in2, in3};
    multi::absorb_once(st, SHAKE128_RATE, in, inlen, permute);
}

void shake128_squeezeblocks(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3,
                            size_t nblocks, State& st) {
    uint8_t* out[4] = {out0, out1, out2, out3};
    multi::squeezeblocks(out, SHAKE128_RATE, nblocks, st, permute);
}

void shake256_absorb_once(State& st, const uint8_t* in0, const uint8_t* in1, const uint8_t* in2,
                          const uint8_t* in3, size_t inlen) {
    const uint8_t* in[4] = {in0, in1, in2, in3};
    multi::absorb_once(st, SHAKE256_RATE, in, inlen, permute);
}

void shake256_squeezeblocks(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3,
                            size_t nblocks, State& st) {
    uint8_t* out[4] = {out0, out1, out2, out3};
    multi::squeezeblocks(out, SHAKE256_RATE, nblocks, st, permute);
}

void shake256(uint8_t* out0, uint8_t* out1, uint8_t* out2, uint8_t* out3, size_t outlen,
              const uint8_t* in0, const uint8_t* in1, const uint8_t* in2, const uint8_t* in3,
              size_t inlen) {
    uint8_t* out[4] = {out0, out1, out2, out3};
    const uint8_t* in[4] = {in0, in1, in2, in3};
    multi::shake(out, outlen, in, inlen, SHAKE256_RATE, permute);
}

namespace {

// Where a lane stands in its job: absorbing from byte `absorbed` of the
// message, or squeezing once the padded last block is in.
struct LaneJob {
    const Job* job = nullptr;
    size_t absorbed = 0;
    bool squeezing = false;
};

// One block per lane, in six groups of four rows: every rate (168 bytes at
// most) fits.
constexpr size_t kBlockRows = 24;
struct Blocks {
    alignas(32) uint8_t lane[4][8 * kBlockRows];
};

// Four words of each of four lanes to four words of each of four rows, and
// back: the 4x4 transpose of 64-bit words is its own inverse. Blocks and
// rows move as whole registers, so no narrow store is read back wide.
void transpose(__m256i& a0, __m256i& a1, __m256i& a2, __m256i& a3) {
    const __m256i t0 = _mm256_unpacklo_epi64(a0, a1), t1 = _mm256_unpackhi_epi64(a0, a1);
    const __m256i t2 = _mm256_unpacklo_epi64(a2, a3), t3 = _mm256_unpackhi_epi64(a2, a3);
    a0 = _mm256_permute2x128_si256(t0, t2, 0x20);
    a1 = _mm256_permute2x128_si256(t1, t3, 0x20);
    a2 = _mm256_permute2x128_si256(t0, t2, 0x31);
    a3 = _mm256_permute2x128_si256(t1, t3, 0x31);
}

__m256i load(const void* p) {
    return _mm256_load_si256(static_cast<const __m256i*>(p));
}
void store(void* p, __m256i x) {
    _mm256_store_si256(static_cast<__m256i*>(p), x);
}

void clear_block(uint8_t* block) {
    for (size_t g = 0; g < kBlockRows; g += 4) store(block + 8 * g, _mm256_setzero_si256());
}

// The next up-to-rate bytes of the message, padded when they are its last;
// zero past them.
void next_block(LaneJob& lane, uint8_t* block) {
    const Job& job = *lane.job;
    clear_block(block);
    size_t n = 0, skip = lane.absorbed;
    for (auto part : job.message) {
        if (skip >= part.size()) {
            skip -= part.size();
            continue;
        }
        const size_t k = std::min(part.size() - skip, job.rate - n);
        std::memcpy(block + n, part.data() + skip, k);
        n += k;
        skip = 0;
        if (n == job.rate) break;
    }
    lane.absorbed += n;
    if (n < job.rate) {
        block[n] ^= job.domain;
        block[job.rate - 1] ^= 0x80;
        lane.squeezing = true;
    }
}

void absorb_blocks(State& st, const Blocks& in) {
    for (size_t g = 0; g < kBlockRows; g += 4) {
        __m256i v[4];
        for (size_t j = 0; j < 4; ++j) v[j] = load(in.lane[j] + 8 * g);
        transpose(v[0], v[1], v[2], v[3]);
        for (size_t r = 0; r < 4; ++r)
            store(st.s[g + r], _mm256_xor_si256(load(st.s[g + r]), v[r]));
    }
}

void squeeze_blocks(Blocks& out, const State& st) {
    for (size_t g = 0; g < kBlockRows; g += 4) {
        __m256i v[4];
        for (size_t r = 0; r < 4; ++r) v[r] = load(st.s[g + r]);
        transpose(v[0], v[1], v[2], v[3]);
        for (size_t j = 0; j < 4; ++j) store(out.lane[j] + 8 * g, v[j]);
    }
}

// Zero lane j of every row, for the lane's next job.
void clear_lane(State& st, size_t j) {
    const __m256i lane = _mm256_cmpeq_epi64(_mm256_setr_epi64x(0, 1, 2, 3),
                                            _mm256_set1_epi64x(static_cast<long long>(j)));
    for (auto& row : st.s) store(row, _mm256_andnot_si256(lane, load(row)));
}

}  // namespace

void run(std::span<const Job> jobs) {
    State st;
    std::memset(&st, 0, sizeof st);
    LaneJob lanes[4];
    size_t next = 0;
    auto take_next = [&](size_t j) {
        lanes[j] = {next < jobs.size() ? &jobs[next++] : nullptr, 0, false};
    };
    for (size_t j = 0; j < 4; ++j) take_next(j);
    Blocks blocks;
    while (std::any_of(lanes, lanes + 4, [](const LaneJob& l) { return l.job != nullptr; })) {
        auto absorbing = [](const LaneJob& l) { return l.job != nullptr && !l.squeezing; };
        // Most steps only squeeze: matrix entries take several blocks each.
        if (std::any_of(lanes, lanes + 4, absorbing)) {
            for (size_t j = 0; j < 4; ++j) {
                if (absorbing(lanes[j]))
                    next_block(lanes[j], blocks.lane[j]);
                else
                    clear_block(blocks.lane[j]);
            }
            absorb_blocks(st, blocks);
        }
        permute(st);
        squeeze_blocks(blocks, st);
        for (size_t j = 0; j < 4; ++j) {
            const Job* job = lanes[j].job;
            if (job == nullptr || !lanes[j].squeezing) continue;
            if (job->take(job->sink, {blocks.lane[j], job->rate})) {
                clear_lane(st, j);
                take_next(j);
            }
        }
    }
}

TESVI_AVX2_END

}  // namespace tesvi_crypto::hash::x4
