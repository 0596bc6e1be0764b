// Cues 12 to 14.
#include "script/cues.h"

namespace q3 {

void cue12(Stage& /*stage*/) {}

void cue13(Stage& /*stage*/) {}

void cue14(Stage& /*stage*/) {}

} // namespace q3
