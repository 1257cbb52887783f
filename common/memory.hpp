// How much memory the process can still take. Linux grants allocations
// lazily, so a large zero-filled array that "succeeds" can still get the
// process killed while its pages are touched; code that builds something
// large asks first.
#pragma once

#include <cstdint>
#include <string>

namespace tesvi {

// The least of the kernel's MemAvailable estimate, the headroom of the
// process's memory control group and every ancestor (v2 memory.max less
// memory.current, v1 memory.limit_in_bytes less memory.usage_in_bytes), and
// the headroom under the address-space and data-segment limits; UINT64_MAX
// when none of them can be read.
uint64_t available_memory();

// The same answer read from the files below `root` ("" for the live system:
// root + "/proc/meminfo", root + "/sys/fs/cgroup/...") with the given
// RLIMIT_AS and RLIMIT_DATA (UINT64_MAX for none).
uint64_t available_memory(const std::string& root, uint64_t as_limit, uint64_t data_limit);

// Whether `bytes` more fit in what the process can still take. Requests
// below 64 MiB are granted without asking: reading the kernel's figures costs
// more than most small allocations.
bool fits_in_memory(uint64_t bytes);

}  // namespace tesvi
