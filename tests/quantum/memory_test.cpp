#include "common/memory.hpp"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct File {
    const char* path;
    const char* text;
};

struct Case {
    const char* name;
    std::vector<File> files;
    uint64_t as_limit, data_limit;
    uint64_t expected;
};

constexpr uint64_t NONE = UINT64_MAX;
constexpr const char* MEMINFO = "MemTotal: 999999 kB\nMemAvailable:    1000000 kB\n";

// A directory tree of the given files, removed again at the end of the case.
struct Tree {
    fs::path root;
    explicit Tree(const std::vector<File>& files)
        : root(fs::temp_directory_path() / ("memory_test_" + std::to_string(::getpid()))) {
        fs::remove_all(root);
        for (const auto& f : files) {
            const fs::path p = root / f.path;
            fs::create_directories(p.parent_path());
            std::ofstream(p) << f.text;
        }
    }
    ~Tree() { fs::remove_all(root); }
};

TEST(AvailableMemory, LeastOfEveryLimit) {
    const Case cases[] = {
        {"meminfo alone", {{"proc/meminfo", MEMINFO}}, NONE, NONE, 1000000ull * 1024},
        {"nothing readable", {}, NONE, NONE, NONE},
        {"v2: an ancestor's limit binds",
         {{"proc/meminfo", MEMINFO},
          {"proc/self/cgroup", "0::/a/b\n"},
          {"sys/fs/cgroup/a/b/memory.max", "max\n"},
          {"sys/fs/cgroup/a/b/memory.current", "100\n"},
          {"sys/fs/cgroup/a/memory.max", "5000\n"},
          {"sys/fs/cgroup/a/memory.current", "1000\n"}},
         NONE,
         NONE,
         4000},
        {"v2: the group's own limit binds",
         {{"proc/meminfo", MEMINFO},
          {"proc/self/cgroup", "0::/a/b\n"},
          {"sys/fs/cgroup/a/b/memory.max", "3000\n"},
          {"sys/fs/cgroup/a/b/memory.current", "2500\n"},
          {"sys/fs/cgroup/a/memory.max", "5000\n"},
          {"sys/fs/cgroup/a/memory.current", "1000\n"}},
         NONE,
         NONE,
         500},
        {"v1 among other controllers",
         {{"proc/meminfo", MEMINFO},
          {"proc/self/cgroup", "5:cpu,cpuacct:/x\n4:memory:/x\n0::/\n"},
          {"sys/fs/cgroup/memory/x/memory.limit_in_bytes", "9000\n"},
          {"sys/fs/cgroup/memory/x/memory.usage_in_bytes", "2000\n"},
          {"sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"},
          {"sys/fs/cgroup/memory/memory.usage_in_bytes", "50000\n"}},
         NONE,
         NONE,
         7000},
        {"v1 path hidden by the mount: the mount's own group",
         {{"proc/meminfo", MEMINFO},
          {"proc/self/cgroup", "4:blkio,memory:/elsewhere/y\n"},
          {"sys/fs/cgroup/memory/memory.limit_in_bytes", "3000\n"},
          {"sys/fs/cgroup/memory/memory.usage_in_bytes", "1000\n"}},
         NONE,
         NONE,
         2000},
        {"v2: inactive page cache is not counted as used",
         {{"proc/meminfo", MEMINFO},
          {"proc/self/cgroup", "0::/a\n"},
          {"sys/fs/cgroup/a/memory.max", "5000\n"},
          {"sys/fs/cgroup/a/memory.current", "4900\n"},
          {"sys/fs/cgroup/a/memory.stat", "anon 900\nactive_file 100\ninactive_file 3000\n"}},
         NONE,
         NONE,
         3100},
        {"v1: inactive page cache is not counted as used",
         {{"proc/meminfo", MEMINFO},
          {"proc/self/cgroup", "4:memory:/x\n"},
          {"sys/fs/cgroup/memory/x/memory.limit_in_bytes", "9000\n"},
          {"sys/fs/cgroup/memory/x/memory.usage_in_bytes", "8000\n"},
          {"sys/fs/cgroup/memory/x/memory.stat", "inactive_file 7\ntotal_inactive_file 6000\n"}},
         NONE,
         NONE,
         7000},
        {"inactive cache above usage leaves the whole limit",
         {{"proc/meminfo", MEMINFO},
          {"proc/self/cgroup", "0::/\n"},
          {"sys/fs/cgroup/memory.max", "1000\n"},
          {"sys/fs/cgroup/memory.current", "400\n"},
          {"sys/fs/cgroup/memory.stat", "inactive_file 500\n"}},
         NONE,
         NONE,
         1000},
        {"usage past the limit leaves nothing",
         {{"proc/meminfo", MEMINFO},
          {"proc/self/cgroup", "0::/\n"},
          {"sys/fs/cgroup/memory.max", "1000\n"},
          {"sys/fs/cgroup/memory.current", "4000\n"}},
         NONE,
         NONE,
         0},
        {"address space less VmSize",
         {{"proc/meminfo", MEMINFO},
          {"proc/self/status", "VmPeak:\t 9999 kB\nVmSize:\t 4096 kB\nVmData:\t 1024 kB\n"}},
         10ull << 20,
         NONE,
         6ull << 20},
        {"data segment less VmData",
         {{"proc/meminfo", MEMINFO},
          {"proc/self/status", "VmSize:\t 4096 kB\nVmData:\t 1024 kB\n"}},
         10ull << 20,
         2ull << 20,
         1ull << 20},
        {"statm when status is missing",
         {{"proc/meminfo", MEMINFO}, {"proc/self/statm", "100 50 10 5 0 40 0\n"}},
         1000ull * 4096,
         60ull * 4096,
         20ull * 4096},
    };
    ASSERT_EQ(::sysconf(_SC_PAGESIZE), 4096);
    for (const auto& c : cases) {
        const Tree tree(c.files);
        EXPECT_EQ(tesvi::available_memory(tree.root.string(), c.as_limit, c.data_limit), c.expected)
            << c.name;
    }
}

TEST(AvailableMemory, SmallRequestsAreGrantedAndAbsurdOnesRefused) {
    EXPECT_TRUE(tesvi::fits_in_memory(1));
    EXPECT_FALSE(tesvi::fits_in_memory(UINT64_MAX - 1));
    EXPECT_FALSE(tesvi::fits_in_memory(UINT64_MAX));
    // The process's limits only ever lower the figure. Other processes (the
    // tests beside this one) move the system's free memory between readings,
    // so the limited reading is taken between two unlimited ones.
    const uint64_t before = tesvi::available_memory("", NONE, NONE);
    const uint64_t limited = tesvi::available_memory();
    const uint64_t after = tesvi::available_memory("", NONE, NONE);
    EXPECT_LE(limited, std::max(before, after));
}

}  // namespace
