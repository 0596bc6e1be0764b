// The rain, the marquee bulbs and the light columns.
#include "effects/effects.h"

namespace q3 {

void rainTick(Stage& /*stage*/) {}

void bulbTick(Stage& /*stage*/, EffectState& /*effects*/) {}

void lampTick(Stage& /*stage*/, EffectState& /*effects*/) {}

} // namespace q3
