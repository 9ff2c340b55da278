#pragma once

#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tovela::bench {

// A bare libxml2 parse of the text: the yardstick every processing cost is measured against.
inline void BareParse(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        benchmark::DoNotOptimize(doc);
        xmlFreeDoc(doc);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

// Prints the usual table, then for every benchmark "Name/arg" with a twin "Name_BareParse/arg"
// the ratio of their CPU times, and for every benchmark run at several sizes N how its time
// grew against its size.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            cpu_[run.benchmark_name()] = run.GetAdjustedCPUTime();
            if (run.run_type != Run::RT_Iteration || run.complexity_n <= 0 || run.error_occurred)
                continue;
            const bool real = run.run_name.time_type.find("real_time") != std::string::npos;
            const double time = real ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
            sizes_[run.run_name.function_name].emplace_back(run.complexity_n, time);
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nprocessing / bare libxml2 parse of the same text (aim: at most 2):\n");
        for (const auto& [name, cpu] : cpu_) {
            const auto slash = name.find('/');
            const std::string base = name.substr(0, slash);
            const std::string arg = slash == std::string::npos ? "" : name.substr(slash);
            auto twin = cpu_.find(base + "_BareParse" + arg);
            if (twin == cpu_.end() || twin->second <= 0) continue;
            std::printf("  %-40s %6.2f\n", name.c_str(), cpu / twin->second);
        }
        if (sizes_.empty()) return;
        std::printf("\ngrowth against the smallest N: size ratio -> time ratio (linear: equal)\n");
        for (const auto& [name, points] : sizes_) {
            if (points.size() < 2) continue;
            std::printf("  %s\n   ", name.c_str());
            const auto [n0, t0] = points.front();
            for (const auto& [n, t] : points) {
                std::printf(" N=%lld: x%.0f -> x%.2f", static_cast<long long>(n),
                            static_cast<double>(n) / static_cast<double>(n0), t / t0);
            }
            std::printf("\n");
        }
    }

private:
    std::map<std::string, double> cpu_;
    std::map<std::string, std::vector<std::pair<std::int64_t, double>>> sizes_;
};

}  // namespace tovela::bench
