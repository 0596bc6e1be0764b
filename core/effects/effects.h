#pragma once

#include "core/int16.h"
#include "core/stage.h"

#include <array>

namespace q3 {

// Where the concert picture puts its bulbs and lamps, and where the effects repaint them: two
// rows of marquee bulbs, and three lamp columns on the left tower and three on the right.
inline constexpr Int16 kUpperBulbRowY = 960;
inline constexpr Int16 kLowerBulbRowY = 4770;
inline constexpr Int16 kBulbRadius = 100;
inline constexpr std::array<Int16, 6> kLampColumnX{350, 950, 1550, 10400, 11000, 11600};
inline constexpr Int16 kLampRadius = 250;

// The window's state for the light effects: where the bulbs and lamp rows are, and the pass
// counter that the marquee-bulb and light-column ticks share.
struct EffectState
{
    std::array<Int16, 37> BulbX{};
    std::array<Int16, 9> LightRowY{};
    // The pass counter of the marquee-bulb and light-column ticks (light_effects.cpp,
    // forEachPass). It is the window's, not a tick's: the two ticks share it, which is safe
    // because they never overlap. Each tick starts it at 0 and leaves it at 50.
    Int16 EffectLoop = 0;
};

// Fills BulbX and LightRowY; the window does it once, when it loads.
void fillPositionTables(EffectState& effects);

// The tick handlers of the three effect timers.
void rainTick(Stage& stage);                       // tmrTime2
void bulbTick(Stage& stage, EffectState& effects); // tmrSL
void lampTick(Stage& stage, EffectState& effects); // tmrBL

} // namespace q3
