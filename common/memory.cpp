#include "common/memory.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>

namespace tesvi {
namespace {

constexpr uint64_t SMALL_REQUEST = uint64_t{64} << 20;

uint64_t headroom(uint64_t limit, uint64_t used) {
    return limit > used ? limit - used : 0;
}

uint64_t kib_to_bytes(uint64_t kib) {
    return kib > UINT64_MAX / 1024 ? UINT64_MAX : kib * 1024;
}

// The value after `key` in a "Key:  123 kB" file (/proc/meminfo, /proc/self/status), in bytes.
uint64_t kib_field(const std::string& file, std::string_view key) {
    std::ifstream f(file);
    std::string line;
    while (std::getline(f, line)) {
        if (line.compare(0, key.size(), key) != 0) continue;
        std::istringstream fields(line.substr(key.size()));
        uint64_t kib = 0;
        if (fields >> kib) return kib_to_bytes(kib);
    }
    return UINT64_MAX;
}

// A one-number file such as memory.current; false when absent or "max".
bool read_number(const std::string& file, uint64_t& out) {
    std::ifstream f(file);
    std::string text;
    if (!(f >> text) || text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    try {
        out = std::stoull(text);
    } catch (const std::out_of_range&) {
        out = UINT64_MAX;
    }
    return true;
}

// The value of `key` in a "key value" file such as memory.stat; 0 when absent.
uint64_t stat_field(const std::string& file, std::string_view key) {
    std::ifstream f(file);
    std::string name;
    uint64_t value = 0;
    while (f >> name >> value)
        if (name == key) return value;
    return 0;
}

// The names of one cgroup version's files.
struct CgroupFiles {
    const char* limit;
    const char* usage;
    const char* inactive_file;  // the memory.stat entry of reclaimable page cache
};

constexpr CgroupFiles CGROUP_V2{"memory.max", "memory.current", "inactive_file"};
constexpr CgroupFiles CGROUP_V1{"memory.limit_in_bytes", "memory.usage_in_bytes",
                                "total_inactive_file"};

// The least limit - working set over a cgroup directory and its ancestors up
// to the mount. Usage counts page cache that the kernel drops under pressure,
// so the inactive file pages are taken off it, as container tools do; a group
// that has read many files would otherwise look full. Directories without the
// files (the root group, or a path that the mount does not show, as inside a
// container) add nothing.
uint64_t cgroup_headroom(const std::string& mount, std::string path, const CgroupFiles& files) {
    while (!path.empty() && path.back() == '/') path.pop_back();
    uint64_t least = UINT64_MAX;
    for (size_t end = path.size();;) {
        std::string dir = mount;
        dir.append(path, 0, end);
        dir += '/';
        uint64_t limit = 0, usage = 0;
        if (read_number(dir + files.limit, limit) && read_number(dir + files.usage, usage)) {
            usage -= std::min(usage, stat_field(dir + "memory.stat", files.inactive_file));
            least = std::min(least, headroom(limit, usage));
        }
        if (end == 0) return least;
        end = path.find_last_of('/', end - 1);
        if (end == std::string::npos) return least;
    }
}

bool lists_memory(std::string_view controllers) {
    while (!controllers.empty()) {
        const size_t comma = std::min(controllers.find(','), controllers.size());
        if (controllers.substr(0, comma) == "memory") return true;
        controllers.remove_prefix(std::min(comma + 1, controllers.size()));
    }
    return false;
}

// The process's memory groups from /proc/self/cgroup: "0::/path" (v2) and
// "N:a,memory,b:/path" (v1).
uint64_t cgroups_headroom(const std::string& root) {
    std::ifstream self(root + "/proc/self/cgroup");
    std::string line;
    uint64_t least = UINT64_MAX;
    while (std::getline(self, line)) {
        const size_t first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) continue;
        const std::string_view controllers =
            std::string_view(line).substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (line.compare(0, first, "0") == 0 && controllers.empty())
            least = std::min(least, cgroup_headroom(root + "/sys/fs/cgroup", path, CGROUP_V2));
        else if (lists_memory(controllers))
            least =
                std::min(least, cgroup_headroom(root + "/sys/fs/cgroup/memory", path, CGROUP_V1));
    }
    return least;
}

// What the process maps, in bytes: VmSize (`data` false) or VmData from
// /proc/self/status, else the first or sixth field of /proc/self/statm in
// pages; 0 when neither can be read.
uint64_t mapped(const std::string& root, bool data) {
    const uint64_t status = kib_field(root + "/proc/self/status", data ? "VmData:" : "VmSize:");
    if (status != UINT64_MAX) return status;
    std::ifstream statm(root + "/proc/self/statm");
    uint64_t fields[6] = {};
    for (uint64_t& f : fields)
        if (!(statm >> f)) return 0;
    const uint64_t pages = data ? fields[5] : fields[0];
    const auto page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    return pages > UINT64_MAX / page ? UINT64_MAX : pages * page;
}

// The room left under the address-space and data-segment limits.
uint64_t rlimit_headroom(const std::string& root, uint64_t as_limit, uint64_t data_limit) {
    uint64_t least = UINT64_MAX;
    if (as_limit != UINT64_MAX) least = std::min(least, headroom(as_limit, mapped(root, false)));
    if (data_limit != UINT64_MAX) least = std::min(least, headroom(data_limit, mapped(root, true)));
    return least;
}

uint64_t limit_of(int resource) {
    rlimit r{};
    if (getrlimit(resource, &r) != 0 || r.rlim_cur == RLIM_INFINITY) return UINT64_MAX;
    return r.rlim_cur;
}

}  // namespace

uint64_t available_memory(const std::string& root, uint64_t as_limit, uint64_t data_limit) {
    return std::min({kib_field(root + "/proc/meminfo", "MemAvailable:"), cgroups_headroom(root),
                     rlimit_headroom(root, as_limit, data_limit)});
}

uint64_t available_memory() {
    return available_memory("", limit_of(RLIMIT_AS), limit_of(RLIMIT_DATA));
}

bool fits_in_memory(uint64_t bytes) {
    // UINT64_MAX stands for a size that overflowed: it never fits, even where
    // no limit can be read.
    return bytes < SMALL_REQUEST || (bytes != UINT64_MAX && bytes <= available_memory());
}

}  // namespace tesvi
