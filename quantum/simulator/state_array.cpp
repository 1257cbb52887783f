#include "quantum/simulator/state_array.hpp"

#include <new>

#include <sys/mman.h>

namespace tesvi_quantum::simulator {
namespace {

constexpr size_t LINE = 64, HUGE_PAGE = size_t{1} << 21;

std::align_val_t alignment(size_t bytes) {
    return std::align_val_t{bytes >= HUGE_PAGE ? HUGE_PAGE : LINE};
}

}  // namespace

void* allocate_state(size_t bytes) {
    void* p = ::operator new(bytes, alignment(bytes));
    if (bytes >= HUGE_PAGE) madvise(p, bytes & ~(HUGE_PAGE - 1), MADV_HUGEPAGE);
    return p;
}

void free_state(void* p, size_t bytes) {
    ::operator delete(p, alignment(bytes));
}

}  // namespace tesvi_quantum::simulator
