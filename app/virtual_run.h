#pragma once

#include "script/show.h"
#include "stage/clock.h"
#include "stage/scheduler.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <vector>

namespace q3 {

// The show on virtual time: the load at 0, the viewer's clicks at given times, and every timer
// tick at exactly its due time, each handler taking no time but its busy pauses (100 ms each).
// A click at t comes before the ticks due at t.
//
// Samples let an observer look at the stage at given times: a sample at t sees every handler
// that ran at or before t; one that falls inside a busy pause sees the frame on screen.
class VirtualRun
{
public:
    VirtualRun(std::uint32_t seed, std::ostream& errors);

    // A click on the window's surface at `at`.
    void addClick(double at);
    // A press at (x, y) in units at `at`: the window's click unless a visible control is there.
    void addClickAt(double at, double x, double y);
    void addSample(double at, std::function<void(double at)> sample);

    // Loads the window (once) and handles everything due up to and including `end`.
    void runUntil(double end);
    // Runs until the last cue has run, then `afterMs` more; returns the end time. Stops at
    // `limit` if the last cue has not run by then.
    double runToEnd(double afterMs, double limit);
    // The show as the program plays it when no duration is given: until 5 s after the last
    // cue, which any number of clicks lets run well within two days. Returns the end time.
    double runWholeShow();

    [[nodiscard]] Show& show() { return show_; }
    [[nodiscard]] VirtualClock& clock() { return clock_; }
    [[nodiscard]] Scheduler& scheduler() { return scheduler_; }

private:
    [[nodiscard]] std::optional<double> nextEvent() const;
    void step();
    void takeSamples(double before, bool inclusive);

    VirtualClock clock_;
    Scheduler scheduler_{clock_};
    Show show_;
    bool loaded_ = false;
    struct Press
    {
        double x = 0;
        double y = 0;
    };
    // Clicks with no place are on the window's surface.
    std::multimap<double, std::optional<Press>> clicks_;
    std::multimap<double, std::function<void(double)>> samples_;
};

} // namespace q3
