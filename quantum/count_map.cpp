#include "quantum/count_map.hpp"

#include <bit>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace tesvi_quantum {

static size_t aligned(size_t bytes) {
    return (bytes + 7) & ~size_t{7};
}

size_t CountMap::slot_of(std::string_view key, uint64_t hash) const {
    if (table_.empty()) return 0;
    const size_t mask = table_.size() - 1;
    for (size_t s = first_slot(hash);; s = (s + 1) & mask) {
        const uint32_t e = table_[s];
        if (e == 0) return table_.size();
        const Entry& entry = entries_[e - 1];
        if (entry.hash == hash && key_of(entry) == key) return s;
    }
}

std::pair<size_t, bool> CountMap::place(std::string_view key, uint64_t hash) {
    // At most half full, so a probe meets a free slot within a few steps.
    if (2 * (entries_.size() + 1) > table_.size()) grow(std::max(MIN_SLOTS, 2 * table_.size()));
    const size_t mask = table_.size() - 1;
    size_t s = first_slot(hash);
    for (; table_[s] != 0; s = (s + 1) & mask) {
        const Entry& entry = entries_[table_[s] - 1];
        if (entry.hash == hash && key_of(entry) == key) return {s, false};
    }
    // Entry numbers and key lengths are 32-bit; a run's keys never exceed
    // its 32-bit shot count.
    if (entries_.size() >= UINT32_MAX || key.size() > UINT32_MAX)
        throw std::length_error("CountMap: more keys, or a longer key, than 32 bits count");
    // Each key starts on an 8-byte boundary: text decoders (CPython's among
    // them) read aligned text a word at a time and unaligned text by bytes.
    const uint64_t start = aligned(text_.size());
    const size_t from = text_offset(key);
    text_.resize(start + key.size());
    // A key viewed in this map's own text is read again after the resize.
    if (!key.empty())
        std::memmove(text_.data() + start, from == NOT_OWN ? key.data() : text_.data() + from,
                     key.size());
    entries_.push_back({hash, start, static_cast<uint32_t>(key.size()), 0});
    table_[s] = static_cast<uint32_t>(entries_.size());
    return {s, true};
}

uint32_t& CountMap::add(std::string_view key, uint64_t hash) {
    return entries_[table_[place(key, hash).first] - 1].count;
}

size_t CountMap::text_offset(std::string_view key) const {
    const std::less<const char*> before;
    const char* p = key.data();
    const char* text = text_.data();
    return !before(p, text) && before(p, text + text_.size()) ? static_cast<size_t>(p - text)
                                                              : NOT_OWN;
}

void CountMap::grow(size_t slots) {
    table_.assign(slots, 0);
    shift_ = 64 - std::countr_zero(slots);
    const size_t mask = slots - 1;
    for (size_t i = 0; i < entries_.size(); ++i) {
        size_t s = first_slot(entries_[i].hash);
        while (table_[s] != 0) s = (s + 1) & mask;
        table_[s] = static_cast<uint32_t>(i + 1);
    }
}

void CountMap::reserve_table(size_t keys) {
    const size_t slots = std::bit_ceil(std::max(MIN_SLOTS, 2 * keys));
    if (slots > table_.size()) grow(slots);
}

void CountMap::reserve(size_t keys, size_t key_length) {
    entries_.reserve(keys);
    text_.reserve(keys * aligned(key_length));
}

uint32_t CountMap::at(std::string_view key) const {
    const auto it = find(key);
    if (it == end()) throw std::out_of_range("CountMap::at: no such key");
    return it->second;
}

std::pair<CountMap::iterator, bool> CountMap::emplace(std::string_view key, uint32_t count) {
    const auto [slot, added] = place(key, hash(key));
    if (added) entries_[table_[slot] - 1].count = count;
    return {iterator(this, slot), added};
}

size_t CountMap::erase(std::string_view key) {
    size_t hole = slot_of(key, hash(key));
    if (hole == table_.size()) return 0;
    const uint32_t gone = table_[hole];
    // Shift later members of the probe run back over the hole, so every
    // entry stays reachable from its first slot.
    const size_t mask = table_.size() - 1;
    for (size_t s = (hole + 1) & mask; table_[s] != 0; s = (s + 1) & mask) {
        const size_t home = first_slot(entries_[table_[s] - 1].hash);
        if (((s - home) & mask) >= ((s - hole) & mask)) {
            table_[hole] = table_[s];
            hole = s;
        }
    }
    table_[hole] = 0;
    // The last entry takes the erased one's place; its text stays behind.
    const uint32_t last = static_cast<uint32_t>(entries_.size());
    if (gone != last) {
        size_t s = first_slot(entries_[last - 1].hash);
        while (table_[s] != last) s = (s + 1) & mask;
        table_[s] = gone;
        entries_[gone - 1] = entries_[last - 1];
    }
    entries_.pop_back();
    return 1;
}

bool operator==(const CountMap& a, const CountMap& b) {
    if (a.size() != b.size()) return false;
    for (const auto& [key, count] : a) {
        const auto it = b.find(key);
        if (it == b.end() || it->second != count) return false;
    }
    return true;
}

}  // namespace tesvi_quantum
