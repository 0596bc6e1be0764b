// The whole show on virtual time with no output: no trace, no screenshots, no pixels at all.
#include "core/player.h"
#include "core/script/show.h"

#include <benchmark/benchmark.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace q3::bench {
namespace {

void BM_WholeShowHeadless(benchmark::State& state)
{
    for (auto _ : state) {
        std::ostringstream errors;
        Player run(TimeSource::Virtual, makeQuilletShow(1), errors);
        run.addClick(0);
        benchmark::DoNotOptimize(run.runToEnd());
    }
}
BENCHMARK(BM_WholeShowHeadless)->Unit(benchmark::kMillisecond);

// The process's resident memory now, in bytes.
double residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long long size = 0;
    long long resident = 0;
    statm >> size >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

// A day on a kiosk screen: the show, then the end card with its bulbs and lamps for 24 hours
// of show time, headless with no output. Resident memory after the first hour and at the end:
// nothing the show keeps may grow with time. Run it alone for figures not shared with other
// benchmarks: --benchmark_filter=DayOfShow.
void BM_DayOfShow(benchmark::State& state)
{
    constexpr double kHourMs = 3600.0 * 1000;
    for (auto _ : state) {
        std::ostringstream errors;
        Player run(TimeSource::Virtual, makeQuilletShow(1), errors);
        run.addClick(0);
        run.runUntil(kHourMs);
        const double afterHour = residentBytes();
        run.runUntil(24 * kHourMs);
        const double afterDay = residentBytes();
        state.counters["rss_1h_MB"] = afterHour / 1e6;
        state.counters["rss_24h_MB"] = afterDay / 1e6;
        state.counters["growth_kB"] = (afterDay - afterHour) / 1e3;
        state.counters["shapes_kept"] = double(run.stage().displayList().storedCount());
        benchmark::DoNotOptimize(errors);
    }
}
BENCHMARK(BM_DayOfShow)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace
} // namespace q3::bench
