#pragma once

#include "core/controls.h"

#include <QFont>

namespace q3 {

// The design's faces are not free fonts. The program maps each of them itself to a free font
// that the install step puts on the machine, so the show looks the same whatever the user's
// font configuration prefers.
void loadStageFonts();

// The font of a label at a size in units (a point is 20 units). Layout and painting both use it
// at this size, so line breaks do not change with the size of the window.
[[nodiscard]] QFont stageFont(const DesignFont& face, int pixelSizeUnits);

} // namespace q3
