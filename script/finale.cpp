// Cues 19 to 45: the countdown, the introductions and the ending.
#include "script/cues.h"

namespace q3 {

void finaleCue(Stage& /*stage*/, int /*cue*/) {}

} // namespace q3
