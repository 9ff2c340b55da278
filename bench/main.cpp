#include "BenchSupport.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    tovela::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
