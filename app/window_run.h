#pragma once

#include "app/options.h"

#include <cstdint>

namespace q3 {

// Plays the show in its window on the wall clock until the window is closed. Returns the exit
// status.
int runWindow(const Options& options, std::uint32_t seed);

} // namespace q3
