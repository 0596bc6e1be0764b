// Cues 8 to 11.
#include "script/cues.h"

namespace q3 {

void cue8(Stage& /*stage*/) {}

void cue9(Stage& /*stage*/) {}

void cue10(Stage& /*stage*/) {}

void cue11(Stage& /*stage*/) {}

} // namespace q3
