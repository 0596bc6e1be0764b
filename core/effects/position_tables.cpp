#include "core/effects/effects.h"

namespace q3 {

void fillPositionTables(EffectState& effects)
{
    auto& bulbs = effects.BulbX;
    bulbs[0] = 2380;
    for (int i = 1; i <= 17; ++i)
        bulbs.at(i) = 2580 + 200 * (i - 1);
    // The bulb in the middle of each row stands 230 units from both neighbours.
    bulbs[18] = 6010;
    for (int i = 19; i <= 36; ++i)
        bulbs.at(i) = 6240 + 200 * (i - 19);

    for (int i = 0; i < 9; ++i)
        effects.LightRowY.at(i) = 350 + 600 * i;
}

} // namespace q3
