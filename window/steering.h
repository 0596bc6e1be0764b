#pragma once
// The window's keys as the steering keys (steering/steering.h) know them.

#include "steering/steering.h"

#include <optional>

class QKeyEvent;

namespace q3 {

// The steering key `event` is, if it is one.
[[nodiscard]] std::optional<KeyPress> keyPressOf(const QKeyEvent& event);

} // namespace q3
