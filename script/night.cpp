// Cues 4 to 7.
#include "script/cues.h"

namespace q3 {

void cue4(Stage& /*stage*/) {}

void cue5(Stage& /*stage*/) {}

void cue6(Stage& /*stage*/) {}

void cue7(Stage& /*stage*/) {}

} // namespace q3
