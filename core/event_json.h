#pragma once

#include "core/event.h"

#include <string>

namespace q3 {

// The event as one JSON object without its time: {"ev":"fill","rgb":[0,0,0]}. The trace writes
// one a line (docs/trace.md).
[[nodiscard]] std::string toJson(const Event& event);

} // namespace q3
