#include "common/interrupt.hpp"

#include <atomic>

namespace tesvi::interrupt {
namespace {

std::atomic<Hook> installed{nullptr};

}  // namespace

void install(Hook hook) {
    installed.store(hook, std::memory_order_relaxed);
}

void poll() {
    const Hook hook = installed.load(std::memory_order_relaxed);
    if (hook && hook()) throw Interrupted{};
}

}  // namespace tesvi::interrupt
