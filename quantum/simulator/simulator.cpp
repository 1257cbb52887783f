#include "quantum/simulator/simulator.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <ranges>
#include <span>
#include <string>
#include <type_traits>
#include <utility>

#include "common/interrupt.hpp"
#include "common/memory.hpp"
#include "quantum/simulator/mps.hpp"
#include "quantum/simulator/statevector.hpp"
#include "quantum/simulator/trajectory.hpp"

namespace tesvi_quantum::simulator {
namespace {

using circuit::Circuit;
using circuit::Instruction;
using complex::Complex;
using error::fail;
using error::Result;
using error::TesviError;

// A gate after a measurement, or a conditional anywhere.
bool has_mid_circuit_operation(const Circuit& c) {
    bool measured = false;
    for (const auto& ins : c.instructions()) {
        if (ins.get<Instruction::Measure>()) measured = true;
        if (ins.get<Instruction::Conditional>()) return true;
        if (measured && ins.get<Instruction::Gate>()) return true;
    }
    return false;
}

// The bond limit when the backend resolves to the matrix-product-state road.
std::optional<uint64_t> resolve_mps(const Backend& backend, uint64_t num_qubits) {
    if (const auto* m = std::get_if<Backend::Mps>(&backend.value)) return m->max_bond_dim;
    if (std::holds_alternative<Backend::Auto>(backend.value) && num_qubits >= AUTO_MPS_MIN_QUBITS)
        return AUTO_MPS_BOND_DIM;
    return std::nullopt;
}

// The product state |0...0> with the circuit applied.
Result<mps::MPSSimulator> evolve_mps(const Circuit& c, uint64_t bond) {
    if (bond == 0)
        return fail(TesviError::SimulationError{"MPS backend requires max_bond_dim >= 1"});
    mps::MPSSimulator chain(c.num_qubits(), bond);
    if (auto r = chain.apply_instructions(c.instructions()); !r) return fail(std::move(r).error());
    return chain;
}

bool parallel_for(const Circuit& c, bool parallel) {
    return parallel && c.num_qubits() >= statevector::PARALLEL_MIN_QUBITS;
}

// The measured qubits in instruction order, or every qubit when none is measured.
std::vector<uint64_t> measured_list(const Circuit& c) {
    std::vector<uint64_t> list;
    for (const auto& ins : c.instructions())
        if (const auto* m = ins.get<Instruction::Measure>()) list.push_back(m->qubit);
    if (list.empty())
        for (uint64_t q = 0; q < c.num_qubits(); ++q) list.push_back(q);
    return list;
}

// Eight key characters in one word: bit j of `bits` becomes byte j, '0' or
// '1'. The multiply copies the bits to every byte, the mask keeps bit j in
// byte j, and adding 0x7f carries any set bit to the byte's top.
uint64_t key_chars(uint64_t bits) {
    static_assert(std::endian::native == std::endian::little);
    const uint64_t spread = (bits * 0x0101010101010101ULL) & 0x8040201008040201ULL;
    return 0x3030303030303030ULL |
           (((spread + 0x7f7f7f7f7f7f7f7fULL) >> 7) & 0x0101010101010101ULL);
}

// Writes the keys of basis indices, sized to the measured list: a 64-bit
// index on the exact road and a 128-bit one on the MPS road. A qubit beyond
// the index's width reads 0. When qubit i is measured i-th (no measurement,
// or all in order) the index's bytes are the key's bits as they stand.
class KeyWriter {
  public:
    explicit KeyWriter(const std::vector<uint64_t>& measured)
        : measured_(measured),
          in_order_(std::ranges::equal(measured, std::views::iota(uint64_t{0}, measured.size()))) {}

    template <class Index>
    void write(Index b, std::string& key) const {
        const uint64_t* m = measured_.data();
        const size_t n = measured_.size();
        const bool in_order = in_order_ && n <= 8 * sizeof(Index);
        char* out = key.data();
        for (size_t i = 0; i < n; i += 8) {
            const size_t len = std::min<size_t>(8, n - i);
            uint64_t bits = 0;
            if (in_order)
                bits = static_cast<uint64_t>(b >> i) & 0xff;
            else
                for (size_t j = 0; j < len; ++j)
                    bits |= uint64_t{m[i + j] < 8 * sizeof(Index) && ((b >> m[i + j]) & 1)} << j;
            const uint64_t chars = key_chars(bits);
            if (len == 8)
                std::memcpy(out + i, &chars, 8);
            else
                for (size_t j = 0; j < len; ++j) out[i + j] = static_cast<char>(chars >> (8 * j));
        }
    }

  private:
    const std::vector<uint64_t>& measured_;
    bool in_order_;
};

Result<result::QuantumResult> run_mps(const Simulator& sim, const Circuit& c, uint64_t bond,
                                      uint32_t shots) {
    auto chain = evolve_mps(c, bond);
    if (!chain) return fail(std::move(chain).error());
    const auto measured = measured_list(c);
    if (auto r = result::reserve_counts(c.num_qubits(),
                                        std::min<uint64_t>(shots, result::key_outcomes(measured)),
                                        measured.size());
        !r)
        return fail(std::move(r).error());
    RandomStream rng = sim.make_stream();
    result::QuantumResult out;
    out.num_qubits = measured.size();
    out.total_shots = shots;
    const KeyWriter keys(measured);
    std::string key(measured.size(), '0');
    try {
        auto samples = chain->measure(shots, rng);
        if (!samples) return fail(std::move(samples).error());
        out.counts.reserve(samples->size(), key.size());
        for (const auto& [basis, count] : *samples) {
            keys.write(basis, key);
            uint32_t& slot = out.counts[key];
            if (count > UINT32_MAX - slot)
                return fail(TesviError::SimulationError{"MPS measurement count overflowed u32"});
            slot += static_cast<uint32_t>(count);
        }
    } catch (const std::bad_alloc&) {
        // Sampling holds a scaled copy of the chain and the right environments
        // beside it: about its size twice again.
        return fail(TesviError::InsufficientMemory{c.num_qubits(),
                                                   3 * chain->stored_entries() * sizeof(Complex)});
    }
    return out;
}

Result<StateArray<Complex>> mps_statevector(const Circuit& c, uint64_t bond) {
    auto chain = evolve_mps(c, bond);
    if (!chain) return fail(std::move(chain).error());
    if (c.num_qubits() > MPS_DENSE_MAX_QUBITS)
        return fail(TesviError::TooManyQubits{c.num_qubits(), MPS_DENSE_MAX_QUBITS});
    return mps::dense_amplitudes(chain->tensors);
}

// Runs the gates of c from |0...0> in the simulator's storage and hands the
// final state (a vector of Complex, or the split storage) to `use`.
template <class T, class Use>
Result<T> with_final_state(const Simulator& sim, const Circuit& c, const Use& use) {
    const bool par = parallel_for(c, sim.parallel);
    try {
        if (sim.use_soa) {
            auto state = statevector::zero_state_soa(c.num_qubits());
            if (!state) return fail(std::move(state).error());
            statevector::apply_gate_sequence_soa(*state, c.instructions(), par);
            return use(*state);
        }
        auto state = statevector::zero_state(c.num_qubits());
        if (!state) return fail(std::move(state).error());
        statevector::apply_gates(*state, c.instructions(), par);
        return use(*state);
    } catch (const std::bad_alloc&) {
        return fail(TesviError::InsufficientMemory{c.num_qubits(),
                                                   statevector::state_bytes(c.num_qubits())});
    }
}

// The left-to-right running sums of the final probabilities, written over the
// state's own memory (sum b lands on double b, which the walk has already read),
// so sampling needs no second array.
struct Cumulative {
    StateArray<double> split;         // the split storage's real half
    StateArray<Complex> interleaved;  // or the interleaved state
    std::span<const double> sums;
    size_t valid = 0;       // the sums before the first NaN
    uint64_t drawable = 0;  // indices a draw can land on: the strict rises and the last

    // `sums` points into this object's own vectors: a move keeps it valid, a
    // copy would leave it pointing into the original.
    Cumulative() = default;
    Cumulative(Cumulative&&) = default;
    Cumulative& operator=(Cumulative&&) = default;
    Cumulative(const Cumulative&) = delete;
    Cumulative& operator=(const Cumulative&) = delete;
};

static_assert(sizeof(Complex) == 2 * sizeof(double) && std::is_standard_layout_v<Complex>);

struct PrefixSums {
    Cumulative operator()(StateArray<Complex>& s) const {
        Cumulative c;
        c.interleaved = std::move(s);
        double* d = reinterpret_cast<double*>(c.interleaved.data());
        finish(c, d, c.interleaved.size(),
               [d](size_t b) { return d[2 * b] * d[2 * b] + d[2 * b + 1] * d[2 * b + 1]; });
        return c;
    }
    Cumulative operator()(statevector::StateVectorSoA& s) const {
        Cumulative c;
        c.split = std::move(s.re);
        double* re = c.split.data();
        const double* im = s.im.data();
        finish(c, re, c.split.size(), [re, im](size_t b) { return re[b] * re[b] + im[b] * im[b]; });
        return c;
    }

    template <class Probability>
    static void finish(Cumulative& c, double* out, size_t size, const Probability& p) {
        double sum = 0.0;
        uint64_t rises = 0;
        for (size_t b = 0; b < size; ++b) {
            const double next = sum + p(b);
            rises += next > sum;
            out[b] = sum = next;
        }
        c.sums = {out, size};
        // A NaN sum stays NaN to the end, so the first one is found by bisection.
        c.valid =
            static_cast<size_t>(std::partition_point(c.sums.begin(), c.sums.end(),
                                                     [](double s) { return !std::isnan(s); }) -
                                c.sums.begin());
        c.drawable = rises + 1;
    }
};

// The state and `per_amplitude` bytes more for each amplitude, against what
// the process can still take.
Result<void> reserve_result(uint64_t n, uint64_t per_amplitude) {
    const uint64_t state = statevector::state_bytes(n);
    uint64_t extra = 0, bytes = 0;
    if (n >= 60 || __builtin_mul_overflow(uint64_t{1} << n, per_amplitude, &extra) ||
        __builtin_add_overflow(state, extra, &bytes))
        bytes = UINT64_MAX;
    if (!tesvi::fits_in_memory(bytes)) return fail(TesviError::InsufficientMemory{n, bytes});
    return {};
}

struct Amplitudes {
    StateArray<Complex> operator()(StateArray<Complex>& s) const { return std::move(s); }
    StateArray<Complex> operator()(const statevector::StateVectorSoA& s) const {
        return s.into_aos();
    }
};

constexpr uint32_t BATCH = uint32_t{1} << 20;

// Sorts items by key(item) < 2^bits with counting passes of 14 bits (LSD
// radix, stable). `scratch` is as long as `items`; the two trade places on
// every pass, and `items` holds the sorted run at the end.
template <class T, class Key>
void radix_sort(std::vector<T>& items, std::vector<T>& scratch, int bits, const Key& key) {
    constexpr int DIGIT = 14;
    constexpr size_t BUCKETS = size_t{1} << DIGIT;
    std::vector<uint32_t> count(BUCKETS);
    for (int shift = 0; shift < bits; shift += DIGIT) {
        std::fill(count.begin(), count.end(), 0);
        for (const T& x : items) ++count[(key(x) >> shift) & (BUCKETS - 1)];
        uint32_t sum = 0;
        for (uint32_t& c : count) sum += std::exchange(c, sum);
        for (const T& x : items) scratch[count[(key(x) >> shift) & (BUCKETS - 1)]++] = x;
        std::swap(items, scratch);
    }
}

// Counts of basis indices on their way into a count map. Keys arrive in
// index order, which is random order for the map's table: inserted as they
// come, nearly every key would miss the cache. So they are held back, sorted
// by hash, and inserted in that order, which walks the table in sequence.
class KeyCounter {
  public:
    // `keys` bounds the distinct keys the map will hold.
    KeyCounter(CountMap& counts, const std::vector<uint64_t>& measured, uint64_t keys)
        : counts_(counts), writer_(measured), keys_(keys), key_(measured.size(), '0') {
        counts_.reserve(keys, key_.size());
    }

    void add(uint64_t b, uint32_t count) {
        if (pending_.empty()) pending_.reserve(std::min<uint64_t>(keys_, BATCH));
        pending_.push_back({b, 0, count});
        if (pending_.size() == BATCH) flush();
    }

    void flush() {
        for (Pending& p : pending_) {
            writer_.write(p.index, key_);
            p.hash = counts_.hash(key_);
        }
        // The table's first slot is the hash's top bits, so sorting by the
        // top 28 puts the entries in table order for tables up to 2^28
        // slots: filling the map and iterating it both walk it in sequence.
        counts_.reserve_table(std::min<uint64_t>(keys_, counts_.size() + pending_.size()));
        scratch_.resize(pending_.size());
        radix_sort(pending_, scratch_, SORT_BITS,
                   [](const Pending& p) { return p.hash >> (64 - SORT_BITS); });
        for (const Pending& p : pending_) {
            writer_.write(p.index, key_);
            counts_.add(key_, p.hash) += p.count;
        }
        pending_.clear();
    }

  private:
    static constexpr int SORT_BITS = 28;
    struct Pending {
        uint64_t index, hash;
        uint32_t count;
    };
    CountMap& counts_;
    KeyWriter writer_;
    uint64_t keys_;
    std::string key_;
    std::vector<Pending> pending_, scratch_;
};

// The counts of `shots` draws, with one key made per distinct index of each batch.
result::QuantumResult sample(const Cumulative& cum, const std::vector<uint64_t>& measured,
                             uint32_t shots, uint64_t keys, RandomStream& rng) {
    result::QuantumResult out;
    out.num_qubits = measured.size();
    out.total_shots = shots;
    KeyCounter counter(out.counts, measured, keys);
    sample_counts(cum.sums, cum.valid, shots, rng,
                  [&](uint64_t b, uint32_t count) { counter.add(b, count); });
    counter.flush();
    return out;
}

Result<result::QuantumResult> run_exact(const Simulator& sim, const Circuit& c, uint32_t shots) {
    // The state's memory holds the sums from here on.
    auto cum = with_final_state<Cumulative>(sim, c, PrefixSums{});
    if (!cum) return fail(std::move(cum).error());
    const auto measured = measured_list(c);
    const uint64_t keys =
        std::min<uint64_t>({shots, cum->drawable, result::key_outcomes(measured)});
    if (auto r = result::reserve_counts(c.num_qubits(), keys, measured.size()); !r)
        return fail(std::move(r).error());
    try {
        RandomStream rng = sim.make_stream();
        return sample(*cum, measured, shots, keys, rng);
    } catch (const std::bad_alloc&) {
        return fail(TesviError::InsufficientMemory{c.num_qubits(),
                                                   result::count_map_bytes(keys, measured.size())});
    }
}

}  // namespace

void sample_counts(std::span<const double> cumulative, size_t valid, uint32_t shots,
                   RandomStream& rng, const std::function<void(uint64_t, uint32_t)>& count) {
    // Counts do not depend on the order of the draws, so each batch of draws
    // is sorted (a uniform draw is k * 2^-53 for the 53-bit k = draw >> 11, so
    // sorting the k sorts the draws) and then located with searches that only
    // move forward. Each index found takes all the draws below its sum at once.
    auto uniform = [](uint64_t k) { return static_cast<double>(k) * 0x1.0p-53; };
    std::vector<uint64_t> ks(std::min(shots, BATCH)), scratch(ks.size());
    const uint64_t last = cumulative.size() - 1;
    for (uint32_t done = 0; done < shots;) {
        tesvi::interrupt::poll();
        const uint32_t n = std::min(shots - done, BATCH);
        ks.resize(n), scratch.resize(n);
        for (uint64_t& k : ks) k = rng.next_u64() >> 11;
        radix_sort(ks, scratch, 53, [](uint64_t k) { return k; });
        uint64_t b = 0;
        for (uint32_t i = 0; i < n;) {
            b = sample_index(cumulative, valid, uniform(ks[i]), b);
            const uint32_t first = i;
            // Once b is the last index (found, or taken because no sum exceeds
            // u), every later draw lands there too.
            if (b == last)
                i = n;
            else
                while (i < n && uniform(ks[i]) < cumulative[b]) ++i;
            count(b, i - first);
        }
        done += n;
    }
}

uint64_t sample_index(std::span<const double> cumulative, size_t valid, double u, uint64_t from) {
    // The sums before the first NaN never decrease, so the first one above u is
    // found by galloping forward from `from` and bisecting the last stride; a
    // NaN sum and everything after it exceeds nothing.
    size_t lo = static_cast<size_t>(std::min<uint64_t>(from, valid)), hi = lo, step = 1;
    while (hi < valid && cumulative[hi] <= u) {
        lo = hi + 1;
        hi = std::min(valid, hi + step);
        step *= 2;
    }
    const auto first = cumulative.begin();
    const auto it = std::upper_bound(first + static_cast<std::ptrdiff_t>(lo),
                                     first + static_cast<std::ptrdiff_t>(hi), u);
    const auto b = static_cast<size_t>(it - first);
    return b == valid ? cumulative.size() - 1 : b;
}

RandomStream Simulator::make_stream() const {
    return seed ? RandomStream::from_seed(*seed) : RandomStream::from_entropy();
}

Result<result::QuantumResult> Simulator::run(const Circuit& c, uint32_t shots) const {
    if (shots == 0) return fail(TesviError::InvalidShots{0});
    const bool noisy = !noise.is_ideal();
    if (auto bond = resolve_mps(backend, c.num_qubits())) {
        if (noisy)
            return fail(
                TesviError::SimulationError{"MPS backend does not yet support noise models"});
        if (has_mid_circuit_operation(c))
            return fail(TesviError::SimulationError{
                "MPS backend does not support mid-circuit measurements"});
        return run_mps(*this, c, *bond, shots);
    }
    if (noisy || has_mid_circuit_operation(c)) {
        RandomStream rng = make_stream();
        try {
            return trajectory::run_shot_mode(c, shots, rng, parallel_for(c, parallel),
                                             noisy ? &noise : nullptr);
        } catch (const std::bad_alloc&) {
            return fail(TesviError::InsufficientMemory{c.num_qubits(),
                                                       statevector::state_bytes(c.num_qubits())});
        }
    }
    return run_exact(*this, c, shots);
}

Result<StateArray<Complex>> Simulator::statevector(const Circuit& c,
                                                   uint64_t caller_bytes_per_amplitude) const {
    if (!noise.is_ideal())
        return fail(
            TesviError::SimulationError{"statevector is unavailable when noise is enabled"});
    if (has_mid_circuit_operation(c))
        return fail(TesviError::SimulationError{
            "statevector is unavailable for circuits with mid-circuit measurements"});
    if (auto bond = resolve_mps(backend, c.num_qubits())) return mps_statevector(c, *bond);
    // The split storage is copied into a second, interleaved state at the end.
    const uint64_t interleaving = use_soa ? sizeof(Complex) : 0;
    if (auto r = reserve_result(c.num_qubits(), caller_bytes_per_amplitude + interleaving); !r)
        return fail(std::move(r).error());
    return with_final_state<StateArray<Complex>>(*this, c, Amplitudes{});
}

}  // namespace tesvi_quantum::simulator
