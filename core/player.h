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
#include <utility>
#include <vector>

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

// Where things happen in a show: computed by playing it through on virtual time with the same
// seed and clicks.
struct ShowChart
{
    // When each cue ran, in order.
    std::vector<double> cues;
    // The moments between handlers at which the picture had changed: where a step lands.
    std::vector<double> changes;
    double end = 0;
};

// The speeds a viewer may play the show at, in the window.
inline constexpr double kMinSpeed = 0.25;
inline constexpr double kMaxSpeed = 4;

// Where the steering keys go from `now`: the picture before the one on screen, the next
// picture, the cue before (or, more than a second into a cue, that cue's start) and the next cue.
inline constexpr double kCueRestartMs = 1000;
[[nodiscard]] std::optional<double> previousChange(const ShowChart& chart, double now);
[[nodiscard]] std::optional<double> nextChange(const ShowChart& chart, double now);
[[nodiscard]] std::optional<double> previousCue(const ShowChart& chart, double now);
[[nodiscard]] std::optional<double> nextCue(const ShowChart& chart, double now);

// Plays the show: owns the clock, the scheduler and the show, and decides the order of the
// load, the viewer's clicks, the timers' ticks and the pauses of the frame loops. Every front
// (the window, screenshots, recordings, tests, benchmarks) plays through one, the same way.
//
// A click at t comes before the ticks due at t. The show ends 5000 ms after its last cue has
// run; a show whose last cue has not run within 48 hours ends there.
//
// The show can be sent to any moment T: it is played again from its load, on virtual time, with
// the same seed and the clicks taken at or before T, so that the picture, the controls, the
// timers and the random source are exactly those of a show played straight to T. Clicks after T
// are forgotten. A handler runs whole, so a seek into a frame loop lands where the loop ends.
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
    // While paused the show's time stands still and nothing falls due.
    void setPaused(bool paused);
    [[nodiscard]] bool paused() const { return run_->scheduler.paused(); }

    // On the wall clock: when the next tick falls due (or, looping, the end), and running it
    // once it is due. One tick per call, so that a front lets input that arrived meanwhile go
    // first.
    [[nodiscard]] std::optional<double> nextDue() const;
    // The next due time if it is the cue clock's: the tick a viewer would see come late.
    [[nodiscard]] std::optional<double> nextCueDue() const;
    // Runs the tick that is due, if any, or starts the show again at its end when looping. A
    // cue tick due within `cueWaitMs` is waited for, so that a front woken a little early still
    // runs it on time.
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
    // Plays `ms` of show time from now, starting again at the show's 0 ms whenever it ends
    // while looping; true when it ended before (not looping).
    bool playFor(double ms);
    // Where the show ends, once its last cue has run (or at the 48-hour limit).
    [[nodiscard]] std::optional<double> end() const { return end_; }
    // When the last cue ran, once it has.
    [[nodiscard]] std::optional<double> lastCueAt() const { return lastCueAt_; }
    // Where the show is expected to end: its end once known, until then where a show clicked
    // once at 0 ends, or later if that has passed.
    [[nodiscard]] double expectedEnd() const;

    // Steering. The show's 0 ms is its starting click: the first click taken.
    [[nodiscard]] std::optional<double> startedAt() const;
    // Sends the show to `toMs` (at least 0), keeping the pause, and reports where it landed.
    void seek(double toMs);
    // Starts again at the show's 0 ms if it has ended and loops; true when it did.
    bool restartIfEnded();
    void setLoop(bool loop);
    [[nodiscard]] bool loop() const { return loop_; }
    // Show milliseconds per wall-clock millisecond, within the speeds above; virtual time has
    // no speed.
    void setSpeed(double speed);
    [[nodiscard]] double speed() const { return clock_->speed(); }
    // Wall-clock milliseconds until the show's time reaches `ms`.
    [[nodiscard]] double wallMsUntil(double ms) const { return clock_->sourceMsUntil(ms); }
    // The chart of the show with the clicks taken so far and those planned.
    [[nodiscard]] const ShowChart& chart();

    [[nodiscard]] Show& show() { return run_->show; }
    [[nodiscard]] const Show& show() const { return run_->show; }
    // The stage, the show and the scheduler are replaced by a seek: hold the player, not them.
    [[nodiscard]] Stage& stage() { return run_->show.stage(); }
    [[nodiscard]] const Stage& stage() const { return run_->show.stage(); }
    [[nodiscard]] Scheduler& scheduler() { return run_->scheduler; }
    [[nodiscard]] const Clock& clock() const { return *clock_; }
    [[nodiscard]] double now() const { return clock_->now(); }

private:
    // What a seek replaces.
    struct Run
    {
        Run(Clock& clock, StageHost& host, std::uint32_t seed, std::ostream& errors)
            : scheduler(clock), show(scheduler, host, seed, errors)
        {}
        Scheduler scheduler;
        Show show;
    };
    struct Press
    {
        double x = 0;
        double y = 0;
    };
    using Input = std::optional<Press>; // no place: a click on the window's surface

    // StageHost
    void busyPause() override;
    void maximised() override;
    void periodSet() override;
    void handlerFailed(std::string_view handler, std::string_view message) override;

    [[nodiscard]] PlayerOutput& out() const;
    [[nodiscard]] std::optional<double> nextPlanned() const;
    void step();
    bool tickDue();
    void take(const Input& input);
    void afterHandler();
    void setEnd(double atMs);
    // Moves virtual time on to `ms`, letting the output look at the moments before it (and at
    // `ms` itself when `inclusive`).
    void advanceTo(double ms, bool inclusive);
    void waitUntil(double ms);
    // Plays a run just put in place from its load to `toMs`, on virtual time, unseen.
    void replayTo(double toMs);
    void report(const Event& event);

    PlayerOutput& output_;
    std::uint32_t seed_;
    std::ostream& errors_;
    std::unique_ptr<ShowClock> clock_;
    std::unique_ptr<Run> run_;
    bool loaded_ = false;
    bool replaying_ = false;
    bool loop_ = false;
    std::optional<double> lastCueAt_;
    std::optional<double> end_;
    std::optional<std::pair<int, int>> clientSize_;
    std::multimap<double, Input> planned_;
    std::multimap<double, Input> taken_;
    std::optional<ShowChart> chart_;
};

} // namespace q3
