#pragma once

#include "app/options.h"

#include <cstdint>

namespace q3 {

// Plays the show headless on virtual time and records it as the options ask: a video, its
// subtitles, or both. Nothing is left at a destination unless it is complete. Returns the exit
// status (a stop signal ends the program itself: app/stop_signals.h).
int runRecording(const Options& options, std::uint32_t seed);

} // namespace q3
