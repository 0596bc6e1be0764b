#pragma once

#include "stage/clock.h"
#include "stage/controls.h"

#include <array>
#include <optional>

namespace q3 {

// The four timers of the window and the rules by which they fall due. The same rules hold on
// the wall clock and on virtual time:
//  - A non-zero period that differs from the current one starts the timer anew: its next tick
//    is one period later. The period it already has changes nothing; 0 stops it.
//  - A timer due at d fires at d, or as soon as the running handler ends. It then falls due at
//    d + k * period for the smallest k >= 1 that lies after the time it fired: ticks missed
//    meanwhile are not made up, so at most one tick of a timer ever waits.
//  - Timers due at the same time fire in the order tmrTime, tmrTime2, tmrSL, tmrBL.
//  - While paused nothing falls due; on resume every timer has the time it had left.
class Scheduler
{
public:
    explicit Scheduler(Clock& clock) : clock_(clock) {}

    void setPeriod(Timer timer, int ms);
    [[nodiscard]] int period(Timer timer) const { return timers_.at(index(timer)).period; }
    [[nodiscard]] std::optional<double> dueTime(Timer timer) const;

    // The earliest time at which a timer falls due, if any timer runs.
    [[nodiscard]] std::optional<double> nextDue() const;
    // The timer that is due now, with the earliest due time; it is moved on to its next due
    // time before it is returned, so its handler may set its period again.
    [[nodiscard]] std::optional<Timer> takeDue();

    void pause();
    void resume();
    [[nodiscard]] bool paused() const { return pausedAt_.has_value(); }

    [[nodiscard]] Clock& clock() { return clock_; }
    [[nodiscard]] double now() const { return clock_.now(); }

private:
    struct State
    {
        int period = 0;
        double due = 0;
    };

    Clock& clock_;
    std::array<State, kTimerCount> timers_{};
    std::optional<double> pausedAt_;
};

} // namespace q3
