// Outcome key -> count, in one flat table.
//
// A run can count a million distinct keys, so the map keeps no node per key:
// the entries (hash, where the key's text starts, its length, the count) sit
// in one array, all key text in one buffer, and an open-addressed table of
// entry numbers, probed linearly, finds them. A hash's top bits choose its
// first slot, so inserting keys in hash order into a table reserved for them
// walks the table, the entries and the text in sequence (see `hash`, `add`
// and `reserve_table`).
//
// Every map hashes with a key of its own (KeyedHash), and iteration walks the
// table: the order follows that key and differs from one map to the next.
// Inserting may move the key text (unless `reserve` made room for it), so a
// key view from the map is valid only until the next insertion.
#pragma once

#include <bit>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "quantum/keyed_hash.hpp"
#include "quantum/simulator/state_array.hpp"

namespace tesvi_quantum {

class CountMap {
    struct Entry {
        uint64_t hash, start;
        uint32_t length, count;
    };

  public:
    using key_type = std::string;
    using mapped_type = uint32_t;

    template <bool Const>
    class Iterator {
        using Map = std::conditional_t<Const, const CountMap, CountMap>;
        using Count = std::conditional_t<Const, const uint32_t, uint32_t>;

      public:
        using iterator_category = std::forward_iterator_tag;
        using difference_type = std::ptrdiff_t;
        using value_type = std::pair<std::string_view, uint32_t>;
        using reference = std::pair<std::string_view, Count&>;
        struct pointer {
            reference ref;
            const reference* operator->() const { return &ref; }
        };

        Iterator() = default;
        Iterator(Map* map, size_t slot) : map_(map), slot_(slot) { skip_empty(); }
        operator Iterator<true>() const requires(!Const) { return {map_, slot_}; }

        reference operator*() const {
            auto& e = map_->entries_[map_->table_[slot_] - 1];
            return {map_->key_of(e), e.count};
        }
        pointer operator->() const { return {**this}; }
        Iterator& operator++() {
            ++slot_;
            skip_empty();
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const Iterator& o) const { return slot_ == o.slot_; }

      private:
        friend class CountMap;
        // Slots are tested eight at a time, one branch per group: a branch per
        // slot would be mispredicted at every other slot of a table this full.
        void skip_empty() {
            const uint32_t* t = map_->table_.data();
            const size_t n = map_->table_.size();  // 0 or a multiple of 8
            while (slot_ < n) {
                const size_t group = slot_ & ~size_t{7};
                uint32_t used = 0;
                for (size_t j = 0; j < 8; ++j) used |= uint32_t{t[group + j] != 0} << j;
                used &= ~uint32_t{0} << (slot_ - group);
                if (used != 0) {
                    slot_ = group + static_cast<size_t>(std::countr_zero(used));
                    return;
                }
                slot_ = group + 8;
            }
        }
        Map* map_ = nullptr;
        size_t slot_ = 0;
    };
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;

    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    iterator begin() { return {this, 0}; }
    iterator end() { return {this, table_.size()}; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, table_.size()}; }

    iterator find(std::string_view key) { return {this, slot_of(key, hash(key))}; }
    const_iterator find(std::string_view key) const { return {this, slot_of(key, hash(key))}; }
    bool contains(std::string_view key) const { return find(key) != end(); }
    // The count of `key`; throws std::out_of_range when it is absent.
    uint32_t at(std::string_view key) const;
    // The count of `key`, added as 0 when absent.
    uint32_t& operator[](std::string_view key) { return add(key, hash(key)); }
    std::pair<iterator, bool> emplace(std::string_view key, uint32_t count);
    size_t erase(std::string_view key);
    // Room for `keys` keys of `key_length` characters: the entries and the
    // text are then never moved, and their pages are only taken as they
    // fill. The table still grows as keys arrive.
    void reserve(size_t keys, size_t key_length);
    // A table for `keys` keys without growing. Keys inserted in hash order
    // need it: in a table still small for them, the lowest hashes of the
    // whole set would all crowd its first slots.
    void reserve_table(size_t keys);

    // For callers that insert many keys: the map's hash of a key, and the
    // count of a key whose hash is already known.
    uint64_t hash(std::string_view key) const { return hash_(key); }
    uint32_t& add(std::string_view key, uint64_t hash);

    // Equal contents; the two maps' hash keys differ, so each key is looked
    // up with the other map's own hash.
    friend bool operator==(const CountMap& a, const CountMap& b);

  private:
    std::string_view key_of(const Entry& e) const { return {text_.data() + e.start, e.length}; }
    size_t first_slot(uint64_t hash) const { return hash >> shift_; }
    // The slot holding `key`, or the table size when it is absent.
    size_t slot_of(std::string_view key, uint64_t hash) const;
    // The slot holding `key`, added with count 0 when absent, and whether it was added.
    std::pair<size_t, bool> place(std::string_view key, uint64_t hash);
    void grow(size_t slots);
    // Where `key` lies in this map's own text, or NOT_OWN when it lies elsewhere.
    size_t text_offset(std::string_view key) const;

    static constexpr size_t MIN_SLOTS = 8;  // iteration tests slots in groups of 8
    static constexpr size_t NOT_OWN = SIZE_MAX;

    KeyedHash hash_;
    simulator::StateArray<Entry> entries_;
    simulator::StateArray<char> text_;
    simulator::StateArray<uint32_t> table_;  // entry number + 1; 0 marks a free slot
    int shift_ = 64;                         // 64 - log2(table size)
};

}  // namespace tesvi_quantum
