// The rain, the marquee bulbs and the light columns.
#include "core/effects/effects.h"
#include "core/figures.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace q3 {
namespace {

constexpr Rgb kBulbYellow{255, 255, 0};
constexpr Int16 kPasses = 50;

// The largest whole number not above r * n, for a fresh draw r in [0, 1). Kept wide: the rain
// decides for itself whether the result fits 16 bits.
double randomBelow(Stage& stage, double n)
{
    return std::floor(stage.random() * n);
}

// A random index into a table of n entries.
Int16 randomIndexBelow(Stage& stage, std::size_t n)
{
    return static_cast<int>(randomBelow(stage, static_cast<double>(n)));
}

// A position taken as 16 bits: one beyond the range is the overflow error, not a wrap.
Int16 asInt16(double value)
{
    if (value < Int16::kMin || value > Int16::kMax)
        throw OverflowError();
    return static_cast<int>(value);
}

std::size_t slot(Int16 index)
{
    return static_cast<std::size_t>(index.value());
}

// Runs `pass` kPasses times, counting in the shared EffectLoop.
template <typename Pass> void forEachPass(EffectState& effects, Pass pass)
{
    effects.EffectLoop = 0;
    while (effects.EffectLoop < kPasses) {
        effects.EffectLoop += 1;
        pass();
    }
}

} // namespace

void rainTick(Stage& stage)
{
    stage.setFill(kWhite);
    // No stroke starts in the right 1000 or the bottom 2000 units of the surface.
    const Int16 x = asInt16(randomBelow(stage, stage.surfaceWidth() - 1000.0));
    const Int16 y = asInt16(randomBelow(stage, stage.surfaceHeight() - 2000.0));
    DrawSparkle(stage, x, y);
}

void bulbTick(Stage& stage, EffectState& effects)
{
    // Every tick starts yellow, whatever the last one ended with.
    Int16 previousLowerBulb = 0;
    forEachPass(effects, [&] {
        stage.setFill(previousLowerBulb.value() % 2 == 0 ? kBulbYellow : kWhite);
        const Int16 upper = randomIndexBelow(stage, effects.BulbX.size());
        stage.circle({effects.BulbX.at(slot(upper)), kUpperBulbRowY}, kBulbRadius);
        previousLowerBulb = randomIndexBelow(stage, effects.BulbX.size());
        stage.circle({effects.BulbX.at(slot(previousLowerBulb)), kLowerBulbRowY}, kBulbRadius);
    });
}

void lampTick(Stage& stage, EffectState& effects)
{
    forEachPass(effects, [&] {
        const Int16 row = randomIndexBelow(stage, effects.LightRowY.size());
        // Three separate draws, in this order: red, green, blue.
        const auto red = static_cast<std::uint8_t>(randomBelow(stage, 256));
        const auto green = static_cast<std::uint8_t>(randomBelow(stage, 256));
        const auto blue = static_cast<std::uint8_t>(randomBelow(stage, 256));
        stage.setFill({red, green, blue});
        for (const Int16 x : kLampColumnX)
            stage.circle({x, effects.LightRowY.at(slot(row))}, kLampRadius);
    });
}

} // namespace q3
