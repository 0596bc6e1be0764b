#pragma once

#include "core/stage.h"

namespace q3 {

inline constexpr int kCueTotal = 46;

// The pace of the cue timer tmrTime: the period the click sets, and the countdown's, from the
// end of cue 18 to the start of cue 38. Which cue sets which pace is the cue sheet's to say.
inline constexpr int kCuePaceMs = 3000;
inline constexpr int kCountdownPaceMs = 300;

// Runs the cue with this number; numbers without a cue do nothing.
void runCue(Stage& stage, int cue);
// When cue `cue` (0 to 45) runs in a show clicked once at 0 ms, by the paces the cue sheet says
// the cues set: cue 0 one pace after the click, each later cue one pace after the one before.
[[nodiscard]] double usualCueTime(int cue);

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
