#pragma once

#include "core/controls.h"
#include "core/rgb.h"

#include <cstdint>
#include <string>

namespace q3 {

// Everything that happens on the stage, one event per operation, in the order performed. The
// trace writes these as JSON lines (core/event_json.h); tests compare sequences of them.
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
    // The viewer's steering, from the player: a seek, a new speed, looping on or off.
    Seek,
    Speed,
    Loop,
};

// A point on the stage, in units.
struct UnitPoint
{
    int x = 0;
    int y = 0;
};

struct Event
{
    EventKind kind = EventKind::Clear;
    // A line or box from p1 to p2; a circle's centre is p1.
    UnitPoint p1;
    UnitPoint p2;
    int radius = 0;
    int cue = 0;      // a tick of tmrTime: the cue it runs
    int periodMs = 0; // a period set
    Rgb rgb;
    Rgb fill;
    bool fore = false;
    Control control = Control::lblWasteTime;
    Timer timer = Timer::tmrTime;
    double pointSize = 0;
    // A caption, or an error with the handler that raised it in `handler`.
    std::string text;
    std::string handler;
    // A seek: the show's time it left and the one it went to.
    double fromMs = 0;
    double toMs = 0;
    double speed = 1;
    bool on = false; // looping
};

} // namespace q3
