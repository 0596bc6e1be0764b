#pragma once
// The window's keys as the steering keys (steering/steering.h) know them.

#include "steering/steering.h"

#include <QString>
#include <optional>

class QKeyEvent;

namespace q3 {

// The steering key `event` is, if it is one.
[[nodiscard]] std::optional<KeyPress> keyPressOf(const QKeyEvent& event);

// The speed as the title shows it: "2×", "0.5×".
[[nodiscard]] QString speedText(double speed);

} // namespace q3
