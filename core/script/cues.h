#pragma once

#include "core/stage.h"

namespace q3 {

inline constexpr int kCueTotal = 46;

// Runs the cue with this number; numbers without a cue do nothing.
void runCue(Stage& stage, int cue);

// The cues, one per tick of tmrTime. A cue reads no stored state: it does the same whenever
// it runs.
void cue0(Stage& stage);
void cue1(Stage& stage);
void cue2(Stage& stage);
void cue3(Stage& stage);
void cue4(Stage& stage);
void cue5(Stage& stage);
void cue6(Stage& stage);
void cue7(Stage& stage);
void cue8(Stage& stage);
void cue9(Stage& stage);
void cue10(Stage& stage);
void cue11(Stage& stage);
void cue12(Stage& stage);
void cue13(Stage& stage);
void cue14(Stage& stage);
void cue15(Stage& stage);
void cue16(Stage& stage);
void cue17(Stage& stage);
void cue18(Stage& stage);
// Cues 19 to 45, the finale: the countdown's steps, the question, the introductions, the band's
// name and the end.
inline constexpr int kCountdownSteps = 19; // cues 19 to 37
inline constexpr int kIntroductions = 5;   // cues 39 to 43
void countdownCue(Stage& stage, int step);
void cue38(Stage& stage);
void introductionCue(Stage& stage, int row);
void cue44(Stage& stage);
void cue45(Stage& stage);

} // namespace q3
