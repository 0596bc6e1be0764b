#pragma once

#include "render/quality.h"

#include <QString>
#include <cstdint>
#include <optional>

namespace q3 {

// Plays the show in its window until the window is closed, with a trace if one is asked for;
// returns the exit status. A stop signal ends the program as in every mode (app/stop_signals.h).
int runWindow(const std::optional<QString>& tracePath, std::uint32_t seed, Quality quality);

} // namespace q3
