#pragma once

#include "core/clock.h"
#include "core/scheduler.h"
#include "core/script/show.h"

#include <cstdint>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

namespace q3 {

// When a frame must reach the output.
enum class FrameDue : std::uint8_t
{
    // Whenever the output next refreshes: a handler changed the picture.
    Soon,
    // Before the player goes on: a frame loop shows this frame while its handler still runs.
    Now,
};

// What the player reports to the front it plays to. What changed in a frame is the compositor's
// to say (it depends on the output's size); the player says when a frame is due.
class PlayerOutput
{
public:
    PlayerOutput() = default;
    PlayerOutput(const PlayerOutput&) = delete;
    PlayerOutput& operator=(const PlayerOutput&) = delete;
    virtual ~PlayerOutput() = default;

    virtual void frameDue(FrameDue /*when*/) {}
    // The show maximised its window.
    virtual void windowStateChanged() {}
    // A timer was set: the next due time (Player::nextDue) may have changed.
    virtual void timersChanged() {}
    // A handler ended with an error; the show goes on.
    virtual void error(std::string_view /*handler*/, std::string_view /*message*/) {}
    // The show's end is known: it ends at `atMs` (see Player::end). Reported once, as soon as
    // the last cue has run, before any look at a later moment.
    virtual void endKnown(double /*atMs*/) {}
    // On virtual time, the output may look at the stage at moments of its choosing (a screenshot,
    // a video frame): the next such moment, and the look itself. A look at t sees every handler
    // that ran at or before t; one that falls inside a frame loop's pause sees the frame on
    // screen.
    [[nodiscard]] virtual std::optional<double> nextLook() const { return std::nullopt; }
    virtual void look(double /*atMs*/, const Stage& /*stage*/) {}
};

// An output that takes nothing: for those who only play (tests, benchmarks).
[[nodiscard]] PlayerOutput& noOutput();

// The time a player runs on.
enum class Timeline : std::uint8_t
{
    // Time moves only when the player moves it: headless runs, tests and recordings. Each handler
    // takes no time but its frame loops' pauses.
    Virtual,
    // The wall clock: the window.
    Wall,
};

// Plays the show: owns the clock, the scheduler and the show, and decides the order of the
// load, the viewer's clicks, the timers' ticks and the pauses of the frame loops. Every front
// (the window, screenshots, recordings, tests, benchmarks) plays through one, the same way.
//
// A click at t comes before the ticks due at t. The show ends 5000 ms after its last cue has
// run; a show whose last cue has not run within 48 hours ends there.
class Player final : private StageHost
{
public:
    Player(Timeline timeline, std::uint32_t seed, std::ostream& errors,
           PlayerOutput& output = noOutput());
    // On a clock of the caller's choosing: a wall clock unless it is a VirtualClock.
    Player(std::unique_ptr<Clock> clock, std::uint32_t seed, std::ostream& errors,
           PlayerOutput& output = noOutput());
    ~Player() override;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Runs the load, once; every way of playing below starts with it.
    void load();

    // Input as it happens, at the clock's time. A press at (x, y) in units is the window's click
    // unless a visible label or picture is there; true when it was. Nothing is taken while
    // paused.
    bool press(double x, double y);
    void click();
    // The window's client area, in units: the surface until the show maximises the window.
    void resize(int widthUnits, int heightUnits);
    void setPaused(bool paused);
    [[nodiscard]] bool paused() const { return scheduler_.paused(); }

    // On the wall clock: when the next tick falls due, and running it once it is due. One tick
    // per call, so that a front lets input that arrived meanwhile go first.
    [[nodiscard]] std::optional<double> nextDue() const { return scheduler_.nextDue(); }
    // The next due time if it is the cue clock's: the tick a viewer would see come late.
    [[nodiscard]] std::optional<double> nextCueDue() const;
    // Runs the tick that is due, if any. A cue tick due within `cueWaitMs` is waited for, so that
    // a front woken a little early still runs it on time.
    bool runDue(double cueWaitMs = 0);

    // On virtual time: clicks planned ahead, then played.
    void addClick(double atMs);
    void addPress(double atMs, double x, double y);
    // Handles everything due up to and including `endMs`.
    void runUntil(double endMs);
    // Plays the show up to `ms`, or to its end if that comes first; true once it has ended.
    bool runShowUntil(double ms);
    // Plays to the end of the show and returns it.
    double runShow();
    // Where the show ends, once its last cue has run (or at the 48-hour limit).
    [[nodiscard]] std::optional<double> end() const { return end_; }
    // When the last cue ran, once it has.
    [[nodiscard]] std::optional<double> lastCueAt() const { return lastCueAt_; }
    // Where the show is expected to end: its end once known, until then where a show clicked
    // once at 0 ends, or later if that has passed.
    [[nodiscard]] double expectedEnd() const;

    [[nodiscard]] Show& show() { return show_; }
    [[nodiscard]] const Show& show() const { return show_; }
    [[nodiscard]] Stage& stage() { return show_.stage(); }
    [[nodiscard]] const Stage& stage() const { return show_.stage(); }
    [[nodiscard]] Scheduler& scheduler() { return scheduler_; }
    [[nodiscard]] const Clock& clock() const { return *clock_; }
    [[nodiscard]] double now() const { return clock_->now(); }

private:
    // StageHost
    void busyPause() override;
    void maximised() override;
    void periodSet() override;
    void handlerFailed(std::string_view handler, std::string_view message) override;

    [[nodiscard]] std::optional<double> nextPlanned() const;
    void step();
    void afterHandler();
    void setEnd(double atMs);
    // Moves virtual time on to `ms`, letting the output look at the moments before it (and at
    // `ms` itself when `inclusive`).
    void advanceTo(double ms, bool inclusive);
    void waitUntil(double ms);

    struct Press
    {
        double x = 0;
        double y = 0;
    };

    PlayerOutput& output_;
    std::unique_ptr<Clock> clock_;
    VirtualClock* virtualClock_ = nullptr; // the clock, on virtual time
    Scheduler scheduler_;
    Show show_;
    bool loaded_ = false;
    std::optional<double> lastCueAt_;
    std::optional<double> end_;
    // Clicks with no place are on the window's surface.
    std::multimap<double, std::optional<Press>> planned_;
};

} // namespace q3
