#pragma once

#include "core/effects/effects.h"

namespace q3 {

// The bulb and lamp positions as the window fills them at load, for a picture that draws the
// bulbs and lamps where the effects will later repaint them.
[[nodiscard]] inline EffectState positionTables()
{
    EffectState tables;
    fillPositionTables(tables);
    return tables;
}

} // namespace q3
