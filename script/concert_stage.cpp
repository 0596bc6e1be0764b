// Cue 18: the concert stage, its lights and the band.
#include "script/cues.h"

namespace q3 {

void cue18(Stage& /*stage*/) {}

} // namespace q3
