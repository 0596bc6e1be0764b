// The pictures as the window paints them: the concert stage of cue 18, a frame with nothing new
// on the surface, and a frame after the window changed size.
#include "bench_support.h"
#include "core/player.h"
#include "core/script/cues.h"
#include "core/script/show.h"
#include "render/fonts.h"

#include <sstream>
#include <utility>

namespace q3::bench {
namespace {

// The stage's drawing alone, without pixels: what cue 18 costs the show itself.
void BM_Cue18Drawing(benchmark::State& state)
{
    BenchStage s;
    for (auto _ : state) {
        cue18(s.stage);
        benchmark::DoNotOptimize(s.stage.displayList().lastSeq());
    }
}
BENCHMARK(BM_Cue18Drawing)->Unit(benchmark::kMicrosecond);

// Cue 18 and the frame that shows it: the cue erases the surface, so the compositor paints the
// whole concert set, the band and the labels again.
void BM_Cue18Picture(benchmark::State& state)
{
    loadStageFonts();
    BenchStage s;
    WarmOutput out(s.stage, outputSize(state), qualityOf(state));
    for (auto _ : state) {
        cue18(s.stage);
        out.compositor.render(s.stage, out.target);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Cue18Picture)->Apply(outputSizes)->Unit(benchmark::kMillisecond);

// The end card as it stands after the whole show, bulbs and lamps included.
Stage& endCard(Player& run)
{
    run.addClick(0);
    run.runToEnd();
    return run.stage();
}

// A whole frame when nothing was drawn since the last one: the kept surface and the labels, as
// a window that was uncovered paints them. Two targets in turn, so that neither holds the frame
// the compositor painted last and each is painted whole.
void BM_CompositedFrame(benchmark::State& state)
{
    loadStageFonts();
    std::ostringstream errors;
    Player run(TimeSource::Virtual, makeQuilletShow(1), errors);
    const Stage& stage = endCard(run);
    WarmOutput out(stage, outputSize(state), qualityOf(state));
    QImage other = out.target.copy();
    for (auto _ : state) {
        std::swap(out.target, other);
        out.compositor.render(stage, out.target);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CompositedFrame)->Apply(outputSizes)->Unit(benchmark::kMillisecond);

// The first frame at a new size: the surface is rasterised again from the display list. Each
// iteration first renders at a slightly different size (not timed), as a window being dragged
// larger does.
void BM_RenderAfterResize(benchmark::State& state)
{
    loadStageFonts();
    std::ostringstream errors;
    Player run(TimeSource::Virtual, makeQuilletShow(1), errors);
    const Stage& stage = endCard(run);
    const QSize size = outputSize(state);
    WarmOutput out(stage, size, qualityOf(state));
    QImage other(size - QSize(16, 12), QImage::Format_RGB32);
    for (auto _ : state) {
        state.PauseTiming();
        out.compositor.render(stage, other);
        state.ResumeTiming();
        out.compositor.render(stage, out.target);
        benchmark::ClobberMemory();
    }
    state.counters["shapes"] = static_cast<double>(stage.displayList().liveCount());
}
BENCHMARK(BM_RenderAfterResize)->Apply(outputSizes)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace q3::bench
