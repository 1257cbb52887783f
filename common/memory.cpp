#include "common/memory.hpp"

#include <algorithm>
#include <fstream>
#include <string>

namespace tesvi {
namespace {

// "MemAvailable:  123456 kB" from /proc/meminfo.
uint64_t mem_available() {
    std::ifstream f("/proc/meminfo");
    std::string key, unit;
    uint64_t kib = 0;
    while (f >> key >> kib >> unit)
        if (key == "MemAvailable:") return kib * 1024;
    return UINT64_MAX;
}

// memory.max - memory.current of the process's cgroup (v2), when it has a limit.
uint64_t cgroup_headroom() {
    std::ifstream self("/proc/self/cgroup");
    std::string line, path;
    while (std::getline(self, line))
        if (line.rfind("0::", 0) == 0) path = line.substr(3);
    if (path.empty()) return UINT64_MAX;
    const std::string dir = "/sys/fs/cgroup" + (path == "/" ? "" : path);
    std::ifstream max_file(dir + "/memory.max"), current_file(dir + "/memory.current");
    std::string max;
    uint64_t current = 0;
    if (!(max_file >> max) || max == "max" || !(current_file >> current)) return UINT64_MAX;
    const uint64_t limit = std::stoull(max);
    return limit > current ? limit - current : 0;
}

}  // namespace

uint64_t available_memory() {
    return std::min(mem_available(), cgroup_headroom());
}

}  // namespace tesvi
