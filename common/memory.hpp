// How much memory the process can still take. Linux grants allocations
// lazily, so a large zero-filled array that "succeeds" can still get the
// process killed while its pages are touched; code that builds something
// large asks first.
#pragma once

#include <cstdint>

namespace tesvi {

// The smaller of the kernel's MemAvailable estimate and what the process's
// control group still allows; UINT64_MAX when neither can be read.
uint64_t available_memory();

}  // namespace tesvi
