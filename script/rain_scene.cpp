// Cues 15 to 17.
#include "script/cues.h"

namespace q3 {

void cue15(Stage& /*stage*/) {}

void cue16(Stage& /*stage*/) {}

void cue17(Stage& /*stage*/) {}

} // namespace q3
