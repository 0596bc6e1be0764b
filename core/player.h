#pragma once

#include "core/clock.h"
#include "core/error_report.h"
#include "core/scheduler.h"
#include "core/show_chart.h"
#include "core/show_program.h"
#include "core/stage.h"

#include <cstdint>
#include <iosfwd>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <variant>

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
    // A handler ended with an error; the show goes on. The player has written it on its error
    // stream.
    virtual void error(std::string_view /*handler*/, std::string_view /*message*/) {}
    // The chart (Player::chart) has gone out of date: the clicks or the client size changed.
    virtual void chartChanged() {}
    // The show's end is known: it ends at `atMs`, 5000 ms after its last cue (or at the 48-hour
    // limit). Reported as soon as the last cue has run, before any look at a later moment, and
    // again after a seek to a moment it is known at.
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
enum class TimeSource : std::uint8_t
{
    // Time moves only when the player moves it: headless runs, tests and recordings. Each handler
    // takes no time but its frame loops' pauses.
    Virtual,
    // The wall clock: the window.
    Wall,
};

namespace test {
struct PlayerInspector;
} // namespace test

// Plays a show: owns the clock, the scheduler and the show, and decides the order of the
// load, the viewer's clicks, the timers' ticks and the pauses of the frame loops. Every front
// (the window, screenshots, recordings, tests, benchmarks) plays through one, the same way. The
// player knows the show only through its ShowFactory and ShowProgram.
//
// A click at t comes before the ticks due at t. The show ends 5000 ms after its last cue has
// run; a show whose last cue has not run within 48 hours ends there.
//
// The show can be sent to any moment T: it is played again from its load, on virtual time, with
// the same show and the clicks and client sizes taken at or before T, so that the picture, the
// controls, the timers and the random source are exactly those of a show played straight to T.
// Clicks after T are forgotten. A handler runs whole, so a seek into a frame loop lands where the
// loop ends.
//
// Ways of playing, by the time the player runs on:
//  - Virtual time, the show's time moved on by the player itself (planned clicks with addClick):
//    runUntil(ms) plays to a moment, whatever the end; runToEnd() plays to the show's end (or
//    an earlier moment); runFor(ms) plays a length of time and, looping, starts again at each
//    end.
//  - The wall clock, the front's own timer waking the player: runDue() runs what has fallen due,
//    one tick at a time; press() and click() take the viewer's input as it comes. When to wake
//    and how long to wait are the wall-clock driver's (core/wall_driver.h).
class Player final : private StageHost
{
public:
    Player(TimeSource time, ShowFactory show, std::ostream& errors,
           PlayerOutput& output = noOutput());
    // On a clock of the caller's choosing: a wall clock unless it is a VirtualClock.
    Player(std::unique_ptr<Clock> clock, ShowFactory show, std::ostream& errors,
           PlayerOutput& output = noOutput());
    ~Player() override;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Runs the load, once; every way of playing starts with it.
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

    // On virtual time: clicks planned ahead, then played.
    void addClick(double atMs);
    // Plays everything due up to and including `ms`. The show's end does not stop it, and it
    // never starts the show again.
    void runUntil(double ms);
    // Plays to the show's end, or to `ms` if that comes first; where the show ended, if it has.
    std::optional<double> runToEnd(double ms = kForever);
    // Plays `ms` of show time from now. Looping, it starts again at the show's 0 ms at each
    // end; otherwise it plays on past the end, as runUntil does.
    void runFor(double ms);

    // On the wall clock: when the next tick falls due (or, looping, the end), and running it
    // once it is due. One tick per call, so that a front lets input that arrived meanwhile go
    // first.
    [[nodiscard]] std::optional<double> nextDue() const;
    // Runs the tick that is due, if any, or starts the show again at its end when looping. True
    // when something ran.
    bool runDue();

    // Where the show is expected to end: its end once known, until then where a show clicked
    // once at 0 ends, or later if that has passed.
    [[nodiscard]] double expectedEnd() const;

    // Steering. The show's 0 ms is its starting click: the first click taken.
    [[nodiscard]] std::optional<double> startedAt() const;
    // Sends the show to `toMs` (at least 0), keeping the pause, and reports where it landed.
    void seek(double toMs);
    void setLoop(bool loop);
    [[nodiscard]] bool loop() const { return loop_; }
    // Show milliseconds per wall-clock millisecond, within the speeds above; virtual time has
    // no speed.
    void setSpeed(double speed);
    [[nodiscard]] double speed() const { return clock_->speed(); }
    // The chart of the show with the clicks and sizes taken so far and the clicks planned. It is
    // worked out by playing the whole show through, and kept until they change.
    [[nodiscard]] const ShowChart& chart();

    // The stage is replaced by a seek: hold the player, not the stage.
    [[nodiscard]] Stage& stage() { return run_->show->stage(); }
    [[nodiscard]] const Stage& stage() const { return run_->show->stage(); }
    [[nodiscard]] const Clock& clock() const { return *clock_; }
    [[nodiscard]] double now() const { return clock_->now(); }

    // Says how often the last handler error repeated, if it did, as the end of a run does.
    void finishErrors() { errors_.finish(); }

    static constexpr double kForever = std::numeric_limits<double>::infinity();

private:
    // The wall-clock driver waits on the player's clock for a cue tick, and tests look inside.
    friend std::optional<double> nextCueDue(const Player& player);
    friend double wallMsUntil(const Player& player, double ms);
    friend bool runDueOnTime(Player& player, double cueWaitMs);
    friend struct test::PlayerInspector;

    // What a seek replaces.
    struct Run
    {
        Run(Clock& clock, StageHost& host, const ShowFactory& factory)
            : scheduler(clock), show(factory.make(scheduler, host))
        {}
        Scheduler scheduler;
        std::unique_ptr<ShowProgram> show;
    };
    // The viewer's input, kept so that a seek can make it again.
    struct Click
    {
    };
    struct Press
    {
        double x = 0;
        double y = 0;
    };
    struct Resize
    {
        int width = 0;
        int height = 0;
    };
    using Input = std::variant<Click, Press, Resize>;

    // StageHost
    void busyPause() override;
    void maximised() override;
    void periodSet() override;
    void handlerFailed(std::string_view handler, std::string_view message) override;

    [[nodiscard]] ShowProgram& show() { return *run_->show; }
    [[nodiscard]] const ShowProgram& show() const { return *run_->show; }
    [[nodiscard]] Scheduler& scheduler() { return run_->scheduler; }
    [[nodiscard]] PlayerOutput& out() const;
    // The next planned input or due tick, whichever comes first.
    [[nodiscard]] std::optional<double> nextEvent() const;
    // Takes that input or runs that tick, at its time.
    void takeNextEvent();
    bool runTick();
    // Takes input at the clock's time and keeps it for a seek; false when it changed nothing
    // (a press on a control, the size the stage has).
    bool take(const Input& input);
    void afterHandler();
    void setEnd(double atMs);
    bool restartIfEnded();
    // Starts the show again if it has ended, looping and not paused: what a wall-clock run does
    // before its tick.
    bool restartIfEndedPlaying();
    void forgetChart();
    // Moves the show's time on to `ms`: on virtual time letting the output look at the moments
    // before it (and at `ms` itself when `inclusive`), on the wall clock waiting for it.
    void passTo(double ms, bool inclusive);
    // Plays a run just put in place from its load to `toMs`, on virtual time, unseen.
    void replayTo(double toMs);
    void report(const Event& event);

    PlayerOutput& output_;
    ShowFactory factory_;
    ErrorReport errors_;
    std::unique_ptr<ShowClock> clock_;
    std::unique_ptr<Run> run_;
    bool loaded_ = false;
    bool replaying_ = false;
    bool loop_ = false;
    std::optional<double> lastCueAt_;
    std::optional<double> end_;
    // The client size the front last told, which a seek keeps.
    std::optional<Resize> clientSize_;
    std::multimap<double, Input> planned_;
    std::multimap<double, Input> taken_;
    std::optional<ShowChart> chart_;
};

} // namespace q3
