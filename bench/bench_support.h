// What the drawing and effect benchmarks share: the output sizes and a stage of their own.
#pragma once

#include "core/clock.h"
#include "core/effects/effects.h"
#include "core/player.h"
#include "core/scheduler.h"
#include "core/script/show.h"
#include "render/compositor.h"

#include <QImage>
#include <QSize>
#include <benchmark/benchmark.h>
#include <sstream>

namespace q3::bench {

// The design window, a common desktop and a 4K screen, each in crisp (smooth=0) and smooth
// quality.
inline void outputSizes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"w", "h", "smooth"});
    for (const int smooth : {0, 1}) {
        b->Args({800, 600, smooth});
        b->Args({1920, 1080, smooth});
        b->Args({3840, 2160, smooth});
    }
}

inline Quality qualityOf(const benchmark::State& state)
{
    return state.range(2) != 0 ? Quality::Smooth : Quality::Crisp;
}

inline QSize outputSize(const benchmark::State& state)
{
    return {static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
}

// A maximised stage on virtual time, so that busy pauses cost no wall time, with the window's
// effect state filled as the load fills it.
struct BenchStage
{
    BenchStage()
    {
        stage.maximise();
        fillPositionTables(effects);
    }

    std::ostringstream errors;
    Player player{TimeSource::Virtual, makeQuilletShow(1), errors};
    Stage& stage = player.stage();
    EffectState effects;
};

// A compositor that has already painted everything on the stage at this size, as the window's
// has between two frames.
struct WarmOutput
{
    WarmOutput(const Stage& stage, QSize size, Quality quality = Quality::Crisp)
        : compositor(quality), target(size, QImage::Format_RGB32)
    {
        compositor.render(stage, target);
    }

    Compositor compositor;
    QImage target;
};

} // namespace q3::bench
