#pragma once

#include "app/options.h"

#include <cstdint>

namespace q3 {

// Plays the show in its window until the window is closed, with a trace if one is asked for, in
// the quality, from the start, at the speed and looping as `options` say; returns the exit
// status. A stop signal ends the program as in every mode (app/stop_signals.h).
int runWindow(const Options& options, std::uint32_t seed);

} // namespace q3
