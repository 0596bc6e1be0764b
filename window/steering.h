#pragma once
// The keys that steer the show in its window, and where they send it.

#include "core/player.h"

#include <QString>
#include <cstdint>
#include <optional>

class QKeyEvent;

namespace q3 {

enum class SteerKind : std::uint8_t
{
    Back,        // Left: 5 s back
    Forward,     // Right: 5 s forward
    PreviousCue, // Shift+Left
    NextCue,     // Shift+Right
    Home,        // the show's 0 ms, just after its starting click
    End,         // the last cue
    Tenth,       // 0 … 9: that many tenths of the show
    StepBack,    // `,` while paused: the picture before
    StepForward, // `.` while paused: the next picture
    Slower,      // `[`
    Faster,      // `]`
    Loop,        // L
};

struct Steer
{
    SteerKind kind = SteerKind::Home;
    int tenths = 0; // of SteerKind::Tenth
};

// The steering key `event` is, if it is one.
[[nodiscard]] std::optional<Steer> steerFor(const QKeyEvent& event);
// Whether the key sends the show to another moment.
[[nodiscard]] bool seeks(Steer steer);

// Where the show runs, from its starting click (0 ms of the show) to its end.
struct ShowSpan
{
    double start = 0;
    double end = 0;

    [[nodiscard]] double clamp(double ms) const;
};
[[nodiscard]] ShowSpan spanOf(const ShowChart& chart, double start);

// Where a seek key sends a show that is at `now`; nothing where it goes nowhere (a step while
// the show plays, a next cue after the last).
[[nodiscard]] std::optional<double> seekTarget(Steer steer, const ShowChart& chart, double start,
                                               double now, bool paused);

// The speed after `[` or `]`: halved or doubled, between 0.25× and 4×.
[[nodiscard]] double steppedSpeed(double speed, bool faster);
// The speed as the title shows it: "2×", "0.5×".
[[nodiscard]] QString speedText(double speed);

} // namespace q3
