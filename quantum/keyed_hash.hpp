// Randomly keyed string hashing for the count maps: every map gets a key of
// its own, drawn from a per-process random base, so iteration order differs
// from process to process and from one map to the next.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tesvi_quantum {

class KeyedHash {
  public:
    KeyedHash();  // a fresh key
    size_t operator()(std::string_view s) const;

  private:
    uint64_t k0_, k1_;
};

}  // namespace tesvi_quantum
