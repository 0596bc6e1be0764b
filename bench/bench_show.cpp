// The whole show on virtual time with no output: no trace, no screenshots, no pixels at all.
#include "app/virtual_run.h"

#include <benchmark/benchmark.h>
#include <sstream>

namespace q3::bench {
namespace {

void BM_WholeShowHeadless(benchmark::State& state)
{
    for (auto _ : state) {
        std::ostringstream errors;
        VirtualRun run(1, errors);
        run.addClick(0);
        benchmark::DoNotOptimize(run.runToEnd(5000, 48.0 * 3600 * 1000));
    }
}
BENCHMARK(BM_WholeShowHeadless)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace q3::bench
