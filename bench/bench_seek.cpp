// A seek as the window makes one: the show played again to the target on virtual time, then the
// whole frame painted at the window's size by the compositor that painted the stage before.
#include "bench_support.h"
#include "core/player.h"
#include "core/script/show.h"
#include "render/fonts.h"

#include <algorithm>
#include <chrono>
#include <sstream>
#include <vector>

namespace q3::bench {
namespace {

// Targets across the whole show, each second of it, in an order that jumps back and forth.
std::vector<double> seekTargets()
{
    std::vector<double> targets;
    for (int second = 0; second <= 89; ++second)
        targets.push_back(double((second * 37) % 90) * 1000 + 250);
    return targets;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * double(values.size() - 1));
    return values.at(at);
}

// Median and 99th percentile of one seek with its frame, in milliseconds of wall time (counters
// median_ms and p99_ms), on the wall-clock player the window uses.
void BM_SeekAndPaint(benchmark::State& state)
{
    loadStageFonts();
    std::ostringstream errors;
    Player player(TimeSource::Wall, makeQuilletShow(1), errors);
    player.load();
    player.addClick(0);
    player.seek(0);
    WarmOutput out(player.stage(), outputSize(state), qualityOf(state));
    const std::vector<double> targets = seekTargets();
    std::vector<double> times;
    std::size_t next = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        player.seek(targets[next++ % targets.size()]);
        out.compositor.render(player.stage(), out.target);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    state.counters["median_ms"] = percentile(times, 0.5);
    state.counters["p99_ms"] = percentile(times, 0.99);
}
BENCHMARK(BM_SeekAndPaint)
    ->ArgNames({"w", "h", "smooth"})
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Args({3840, 2160, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(450)
    ->UseRealTime();

// The chart a step or the timeline needs after a click: the show played through once.
void BM_Chart(benchmark::State& state)
{
    std::ostringstream errors;
    Player player(TimeSource::Virtual, makeQuilletShow(1), errors);
    player.addClick(0);
    for (auto _ : state) {
        player.addClick(1e9); // a new click: the chart is made again
        benchmark::DoNotOptimize(player.chart().end);
    }
}
BENCHMARK(BM_Chart)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace q3::bench
