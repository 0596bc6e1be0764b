#pragma once

#include "core/event.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace q3 {

class Clock;

// The event as one JSON object without its time: {"ev":"fill","rgb":[0,0,0]}. The trace writes
// one a line (docs/trace.md).
[[nodiscard]] std::string toJson(const Event& event);

// The trace's first line's object: {"ev":"start","seed":N,"mode":"headless"}.
[[nodiscard]] std::string startJson(std::uint32_t seed, std::string_view mode);

// The digits after the point of the trace's times on `clock`: 0 on virtual time, 3 on the wall
// clock.
[[nodiscard]] int traceDecimals(const Clock& clock);

// Appends the trace's line for `event` at `ms`, with its newline: {"t":12,"ev":"click"}. The time
// has a point whatever the locale: whole milliseconds on virtual time, to the microsecond on the
// wall clock (`decimals`, as traceDecimals gives them).
void appendTraceLine(std::string& out, double ms, int decimals, const Event& event);
// The same for a line that is not an event's: `json` is an object, "{" included.
void appendTraceLine(std::string& out, double ms, int decimals, std::string_view json);

} // namespace q3
