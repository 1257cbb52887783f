// A main for benchmarks that compare two implementations measured in the same
// run: every benchmark repeats (5 times unless the command line says
// otherwise), and after the usual table each pair's ratio of median CPU
// times is printed, "slower / faster" as the speed-up of the second.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace tesvi_bench {

struct Ratio {
    std::string baseline;  // benchmark name, e.g. "sign/portable"
    std::string contender;
};

class MedianCollector : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            // A single repetition has no aggregate; its one run is the median.
            if (r.aggregate_name == "median" ||
                (r.run_type == Run::RT_Iteration && r.repetitions <= 1))
                medians[r.run_name.str()] = r.GetAdjustedCPUTime();
        }
    }
    std::map<std::string, double> medians;
};

inline int run_with_ratios(int argc, char** argv, const std::vector<Ratio>& ratios) {
    std::vector<char*> args(argv, argv + argc);
    bool repetitions_given = false;
    for (char* a : args)
        repetitions_given |= std::string(a).rfind("--benchmark_repetitions", 0) == 0;
    std::string reps = "--benchmark_repetitions=5",
                aggregates = "--benchmark_report_aggregates_only=true";
    if (!repetitions_given) args.insert(args.begin() + 1, {reps.data(), aggregates.data()});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    MedianCollector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();
    std::printf("\nspeed-up (median %s / median %s):\n", "baseline", "contender");
    for (const Ratio& r : ratios) {
        auto a = collector.medians.find(r.baseline), b = collector.medians.find(r.contender);
        if (a == collector.medians.end() || b == collector.medians.end()) continue;
        std::printf("  %-28s over %-28s %6.2fx\n", r.contender.c_str(), r.baseline.c_str(),
                    a->second / b->second);
    }
    return 0;
}

}  // namespace tesvi_bench
