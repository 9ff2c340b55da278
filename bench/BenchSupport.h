#pragma once

#include <benchmark/benchmark.h>
#include <libxml/parser.h>

#include <cstdio>
#include <map>
#include <string>

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
// the ratio of their CPU times.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) cpu_[run.benchmark_name()] = run.GetAdjustedCPUTime();
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
    }

private:
    std::map<std::string, double> cpu_;
};

}  // namespace tovela::bench
