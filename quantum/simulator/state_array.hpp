// The arrays that hold amplitudes. The kernels' widest loads and stores are
// 64 bytes, as long as a cache line: on a line boundary each touches one line,
// on the 16-byte boundary an ordinary allocation gives it would straddle two,
// and every one of them would pay for the split. So a StateArray starts on a
// line boundary, and one of 2 MiB or more on a 2 MiB boundary, with the kernel
// asked to back it with huge pages: a cache tile gathers rows from all over
// the state, and with 4 KiB pages nearly every row would miss the TLB.
//
// A count map's tables take it too: a million keys fill tens of MiB of fresh
// memory, which costs a page fault per page, and on huge pages there are 512
// times fewer of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace tesvi_quantum::simulator {

// bytes of storage as described above; throws std::bad_alloc when there is none.
void* allocate_state(size_t bytes);
void free_state(void* p, size_t bytes);

template <class T>
struct StateAllocator {
    using value_type = T;

    StateAllocator() = default;
    template <class U>
    StateAllocator(const StateAllocator<U>&) {}

    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(allocate_state(n * sizeof(T)));
    }
    void deallocate(T* p, size_t n) { free_state(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const StateAllocator<U>&) const {
        return true;
    }
};

template <class T>
using StateArray = std::vector<T, StateAllocator<T>>;

}  // namespace tesvi_quantum::simulator
