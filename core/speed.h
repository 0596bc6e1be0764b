#pragma once
// The speeds a viewer may play the show at, and how the program writes a speed.

#include <string>

namespace q3 {

// Show milliseconds per wall-clock millisecond.
inline constexpr double kMinSpeed = 0.25;
inline constexpr double kMaxSpeed = 4;

// A speed as the help, the messages and the window's title write it, with a point in every
// locale: "0.25", "2", "1.25".
[[nodiscard]] std::string speedText(double speed);

} // namespace q3
