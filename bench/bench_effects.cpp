// The effect timers' ticks, each with the frame that shows what it drew: the window repaints
// after every tick, so the tick and its damage together must fit in the timer's period.
#include "bench_support.h"
#include "core/script/cues.h"
#include "render/fonts.h"

namespace q3::bench {
namespace {

const Stage& withConcertSet(Stage& stage)
{
    cue18(stage);
    return stage;
}

// The concert stage with the compositor caught up, as when the lamps and bulbs first run.
struct Concert : BenchStage
{
    Concert(QSize size, Quality quality) : out(withConcertSet(stage), size, quality) {}
    WarmOutput out;
};

void BM_LampTick(benchmark::State& state)
{
    loadStageFonts();
    Concert c(outputSize(state), qualityOf(state));
    for (auto _ : state) {
        lampTick(c.stage, c.effects);
        c.out.compositor.render(c.stage, c.out.target);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_LampTick)->Apply(outputSizes)->Unit(benchmark::kMillisecond);

void BM_BulbTick(benchmark::State& state)
{
    loadStageFonts();
    Concert c(outputSize(state), qualityOf(state));
    for (auto _ : state) {
        bulbTick(c.stage, c.effects);
        c.out.compositor.render(c.stage, c.out.target);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BulbTick)->Apply(outputSizes)->Unit(benchmark::kMillisecond);

// The handlers alone, without pixels.
void BM_LampTickDrawing(benchmark::State& state)
{
    BenchStage s;
    cue18(s.stage);
    for (auto _ : state)
        lampTick(s.stage, s.effects);
}
BENCHMARK(BM_LampTickDrawing)->Unit(benchmark::kMicrosecond);

void BM_BulbTickDrawing(benchmark::State& state)
{
    BenchStage s;
    cue18(s.stage);
    for (auto _ : state)
        bulbTick(s.stage, s.effects);
}
BENCHMARK(BM_BulbTickDrawing)->Unit(benchmark::kMicrosecond);

// One raindrop on the rain scene and the frame that shows it. The rain stays on the picture
// until the next cue erases it, so the display list keeps growing here as it does in the show.
void BM_RainTick(benchmark::State& state)
{
    loadStageFonts();
    BenchStage s;
    cue15(s.stage);
    WarmOutput out(s.stage, outputSize(state), qualityOf(state));
    for (auto _ : state) {
        rainTick(s.stage);
        out.compositor.render(s.stage, out.target);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_RainTick)->Apply(outputSizes)->Unit(benchmark::kMicrosecond);

void BM_RainTickDrawing(benchmark::State& state)
{
    BenchStage s;
    cue15(s.stage);
    for (auto _ : state)
        rainTick(s.stage);
}
BENCHMARK(BM_RainTickDrawing)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace q3::bench
