#include "quantum/simulator/pool.hpp"

#include <sched.h>
#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tesvi_quantum::simulator::pool {
namespace {

// An unsigned decimal (an optional leading '+'), or nothing when unset or not such a number.
std::optional<unsigned long long> env_number(const char* name) {
    const char* v = std::getenv(name);
    if (!v) return std::nullopt;
    if (*v == '+') ++v;
    unsigned long long n = 0;
    const char* end = v + std::strlen(v);
    auto [p, ec] = std::from_chars(v, end, n);
    if (v == end || ec != std::errc() || p != end) return std::nullopt;
    return n;
}

// Whole processors a quota grants: quota / period rounded down, at least 1.
std::optional<size_t> quota_processors(long long quota, long long period) {
    if (quota <= 0 || period <= 0) return std::nullopt;
    return std::max<size_t>(1, static_cast<size_t>(quota / period));
}

// The tightest CPU quota over the process's control group and its ancestors:
// cgroup v2 "cpu.max" ("max" or "<quota> <period>"), else v1 cfs quota/period.
std::optional<size_t> cgroup_cpu_limit() {
    std::ifstream self("/proc/self/cgroup");
    std::string line, v2_path, v1_path;
    while (std::getline(self, line)) {
        const auto first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (line.compare(0, first, "0") == 0 && controllers.empty()) v2_path = path;
        if (("," + controllers + ",").find(",cpu,") != std::string::npos) v1_path = path;
    }
    std::optional<size_t> best;
    auto take = [&](std::optional<size_t> n) {
        if (n && (!best || *n < *best)) best = n;
    };
    for (std::string p = v2_path; !v2_path.empty();) {
        std::ifstream f("/sys/fs/cgroup" + (p == "/" ? "" : p) + "/cpu.max");
        std::string quota, period;
        if (f >> quota >> period && quota != "max")
            take(quota_processors(std::atoll(quota.c_str()), std::atoll(period.c_str())));
        if (p == "/" || p.empty()) break;
        p = p.substr(0, std::max<size_t>(1, p.rfind('/')));
    }
    if (!best && !v1_path.empty()) {
        for (const char* root : {"/sys/fs/cgroup/cpu,cpuacct", "/sys/fs/cgroup/cpu"}) {
            std::ifstream q(std::string(root) + v1_path + "/cpu.cfs_quota_us");
            std::ifstream p(std::string(root) + v1_path + "/cpu.cfs_period_us");
            long long quota = 0, period = 0;
            if (q >> quota && p >> period) take(quota_processors(quota, period));
        }
    }
    return best;
}

size_t available_processors() {
    size_t n = 0;
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) n = static_cast<size_t>(CPU_COUNT(&set));
    if (auto limit = cgroup_cpu_limit(); limit && *limit < n) n = *limit;
    return n > 0 ? n : 1;
}

tbb::task_arena& arena() {
    static std::once_flag once;
    static std::unique_ptr<tbb::task_arena> instance;
    std::call_once(once, [] {
        instance = std::make_unique<tbb::task_arena>(static_cast<int>(default_num_threads()));
        instance->initialize();
    });
    return *instance;
}

}  // namespace

size_t default_num_threads() {
    // A positive RAYON_NUM_THREADS wins; 0 asks for the default. Unset or not a
    // number falls through to RAYON_RS_NUM_CPUS, whose non-positive values also
    // ask for the default.
    // Counts beyond what the arena can hold are capped.
    constexpr unsigned long long MAX_WORKERS = 4096;
    if (auto n = env_number("RAYON_NUM_THREADS"))
        return *n > 0 ? std::min(*n, MAX_WORKERS) : available_processors();
    if (auto n = env_number("RAYON_RS_NUM_CPUS"); n && *n > 0) return std::min(*n, MAX_WORKERS);
    return available_processors();
}

size_t current_num_threads() {
    return static_cast<size_t>(arena().max_concurrency());
}

void for_each_chunk(size_t chunks, const std::function<void(size_t, size_t)>& body) {
    if (chunks <= 1) {
        if (chunks == 1) body(0, 1);
        return;
    }
    arena().execute([&] {
        tbb::parallel_for(
            tbb::blocked_range<size_t>(0, chunks),
            [&](const tbb::blocked_range<size_t>& r) { body(r.begin(), r.end()); },
            tbb::auto_partitioner());
    });
}

}  // namespace tesvi_quantum::simulator::pool
