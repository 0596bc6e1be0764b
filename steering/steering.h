#pragma once
// The viewer's keys, whatever the front: what each one does and where a seek key sends the
// show. Qt-free, so that the window and the browser page share every decision; a front only
// turns its own key events into a KeyPress and carries out what applySteer reports.

#include "core/player.h"

#include <cstdint>
#include <optional>

namespace q3 {

// The keys that steer the show.
enum class ViewerKey : std::uint8_t
{
    Left,
    Right,
    Home,
    End,
    Digit, // 0 … 9, on the main keys or the keypad
    Comma,
    Period,
    BracketLeft,
    BracketRight,
    L,
    Space,
    Enter, // Return or the keypad's Enter
    Q,
};

// A key as a front saw it.
struct KeyPress
{
    ViewerKey key = ViewerKey::Space;
    int digit = 0;        // of ViewerKey::Digit
    bool shift = false;   // Shift held, and nothing else
    bool command = false; // Control, Alt or Meta (Command) held: another program's shortcut
    bool autoRepeat = false;
};

enum class SteerKind : std::uint8_t
{
    Start,       // Enter or Space before the show has started: the starting click
    TogglePause, // Space once it has
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
    Quality,     // Q: crisp or smooth, the front's own painting
};

struct Steer
{
    SteerKind kind = SteerKind::Home;
    int tenths = 0; // of SteerKind::Tenth
};

// What `press` does in a show that has `started` (its starting click taken), if anything.
[[nodiscard]] std::optional<Steer> steerFor(const KeyPress& press, bool started);
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

// Where the steering keys go from `now`: the picture before the one on screen, the next
// picture, the cue before (or, more than kCueRestartMs into a cue, that cue's start) and the
// next cue.
inline constexpr double kCueRestartMs = 1000;
[[nodiscard]] std::optional<double> previousChange(const ShowChart& chart, double now);
[[nodiscard]] std::optional<double> nextChange(const ShowChart& chart, double now);
[[nodiscard]] std::optional<double> previousCue(const ShowChart& chart, double now);
[[nodiscard]] std::optional<double> nextCue(const ShowChart& chart, double now);

// Where a seek key sends a show that is at `now`; nothing where it goes nowhere (a step while
// the show plays, a next cue after the last).
[[nodiscard]] std::optional<double> seekTarget(Steer steer, const ShowChart& chart, double start,
                                               double now, bool paused);

// The speed after `[` or `]`: halved or doubled, between kMinSpeed and kMaxSpeed.
[[nodiscard]] double steppedSpeed(double speed, bool faster);

// What a key did, for the front to show.
struct Steered
{
    bool seeked = false;
    // The speed, the pause or the loop changed: a title that names them is out of date.
    bool stateChanged = false;
    // A seek key in a started show: the timeline shows where it went, as after a pointer move.
    bool revealTimeline = false;
    // Q: the front paints in the other quality.
    bool toggleQuality = false;
};

// Carries out a key on the player: the starting click a seek key makes before the show has
// started (a step key makes none: it steps only while paused), a seek, the pause, the speed or
// the loop.
Steered applySteer(Player& player, Steer steer);

// The viewer's starting click, made now unless the show has started.
void clickToStart(Player& player);
// Sends the show to `ms`, no earlier than its starting click, which is made first if the show
// has not started: a press on the timeline, a page's script.
void seekClicked(Player& player, double ms);

} // namespace q3
