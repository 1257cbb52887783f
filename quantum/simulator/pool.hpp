// The process-wide worker pool. It starts at the first parallel gate
// application and is sized once, from RAYON_NUM_THREADS, then
// RAYON_RS_NUM_CPUS, then the processors available to the process.
#pragma once

#include <cstddef>
#include <functional>

namespace tesvi_quantum::simulator::pool {

// The worker count, starting the pool if needed.
size_t current_num_threads();

// Runs body(first, last) over disjoint ranges covering chunk indices [0, chunks)
// on the pool, and returns when all are done. Each chunk index lands in exactly
// one range, so each chunk is updated by one worker.
void for_each_chunk(size_t chunks, const std::function<void(size_t, size_t)>& body);

// The worker count the environment and the machine ask for (exposed for tests).
size_t default_num_threads();

}  // namespace tesvi_quantum::simulator::pool
