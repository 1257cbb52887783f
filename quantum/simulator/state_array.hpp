// The arrays that hold amplitudes. The kernels' widest loads and stores are
// 64 bytes, as long as a cache line: on a line boundary each touches one line,
// on the 16-byte boundary an ordinary allocation gives it would straddle two,
// and every one of them would pay for the split. So a StateArray starts on a
// line boundary, and one of 2 MiB or more on a 2 MiB boundary, with the kernel
// asked to back it with huge pages before it is first touched: a cache tile
// gathers rows from all over the state, and with 4 KiB pages nearly every row
// would miss the TLB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

#include <sys/mman.h>

namespace tesvi_quantum::simulator {

template <class T>
struct StateAllocator {
    using value_type = T;
    static constexpr size_t LINE = 64, HUGE_PAGE = size_t{1} << 21;

    StateAllocator() = default;
    template <class U>
    StateAllocator(const StateAllocator<U>&) {}

    static size_t alignment(size_t bytes) { return bytes >= HUGE_PAGE ? HUGE_PAGE : LINE; }

    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
        const size_t bytes = n * sizeof(T);
        void* p = ::operator new (bytes, std::align_val_t{alignment(bytes)});
        if (bytes >= HUGE_PAGE) madvise(p, bytes & ~(HUGE_PAGE - 1), MADV_HUGEPAGE);
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) {
        ::operator delete (p, std::align_val_t{alignment(n * sizeof(T))});
    }
    template <class U>
    bool operator==(const StateAllocator<U>&) const {
        return true;
    }
};

template <class T>
using StateArray = std::vector<T, StateAllocator<T>>;

}  // namespace tesvi_quantum::simulator
