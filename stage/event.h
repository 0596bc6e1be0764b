#pragma once

#include "stage/controls.h"
#include "stage/rgb.h"

#include <array>
#include <cstdint>
#include <string>

namespace q3 {

// Everything that happens on the stage, one event per operation, in the order performed. The
// trace writes these as JSON lines; tests compare sequences of them.
enum class EventKind : std::uint8_t
{
    Load,
    Click,
    Tick,
    Clear,
    Background,
    Fill,
    Line,
    Box,
    Circle,
    Show,
    Hide,
    Caption,
    BackColor,
    FontSize,
    Period,
    Maximise,
    Pause,
    Error,
};

struct Event
{
    EventKind kind = EventKind::Clear;
    // Geometry: line and box p1 = (v[0], v[1]), p2 = (v[2], v[3]); circle centre (v[0], v[1]),
    // radius v[2]. A tick's cue number in v[0]; a period in v[0].
    std::array<int, 4> v{};
    Rgb rgb;
    Rgb fill;
    bool fore = false;
    Control control = Control::lblWasteTime;
    Timer timer = Timer::tmrTime;
    double pointSize = 0;
    // A caption, or an error with the handler that raised it in `handler`.
    std::string text;
    std::string handler;
};

// The event as one JSON object without its time: {"ev":"fill","rgb":[0,0,0]}.
[[nodiscard]] std::string toJson(const Event& event);

} // namespace q3
