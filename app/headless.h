#pragma once

#include "app/options.h"

#include <cstdint>

namespace q3 {

// Plays the show without a window on virtual time and writes what the options ask for.
// Returns the exit status.
int runHeadless(const Options& options, std::uint32_t seed);

} // namespace q3
