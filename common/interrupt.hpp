// Stopping a long library call from outside. A host that can be interrupted
// (the Python module: Ctrl-C) installs a hook once per process; long loops
// count the work they do, the hook is asked after every few milliseconds of
// it, and the call unwinds with Interrupted when the hook says stop. Only the
// calling thread asks, never a worker of the pool, and only between units of
// work, so the call leaves nothing of the caller's half changed.
#pragma once

#include <atomic>
#include <cstdint>

namespace tesvi::interrupt {

// True when the current call should stop. Called on the thread that made the call.
using Hook = bool (*)();

// Thrown out of a library call that the hook stopped. It carries nothing: the
// host that installed the hook knows why it said stop.
struct Interrupted {};

// Replaces the process-wide hook; null removes it. Set before the calls it
// should stop, from the thread that makes them (the Python module's init).
void install(Hook hook);

// Asks the hook now; throws Interrupted when it says stop.
void poll();

// Work done since the last poll is counted process-wide, in units of about a
// nanosecond (an amplitude touched, a cell of the walk updated); spend()
// polls once the budget of a few milliseconds is used up. Unsynchronised
// updates from several threads only move the next poll a little.
inline constexpr uint64_t BUDGET = uint64_t{1} << 22;
inline std::atomic<uint64_t> budget_left{BUDGET};

inline void spend(uint64_t units) {
    const uint64_t left = budget_left.load(std::memory_order_relaxed);
    if (units < left) {
        budget_left.store(left - units, std::memory_order_relaxed);
        return;
    }
    budget_left.store(BUDGET, std::memory_order_relaxed);
    poll();
}

}  // namespace tesvi::interrupt
