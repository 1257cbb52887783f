// Randomly keyed string hashing for the count maps: every map gets a key of
// its own, drawn from a per-process random base, so iteration order differs
// from process to process and from one map to the next.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tesvi_quantum {

class KeyedHash {
  public:
    KeyedHash();  // a fresh key
    size_t operator()(std::string_view s) const;

  private:
    uint64_t k0_, k1_;
};

// Outcome key -> count. Two maps never share a hash key, and the standard
// map equality looks one map's entries up by the other's hash codes, so equal
// contents would compare unequal: equality here looks every key up in the
// other map with that map's own hash.
class CountMap : public std::unordered_map<std::string, uint32_t, KeyedHash> {
  public:
    using unordered_map::unordered_map;
    friend bool operator==(const CountMap& a, const CountMap& b);
};

}  // namespace tesvi_quantum
