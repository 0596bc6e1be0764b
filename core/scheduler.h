#pragma once

#include "core/clock.h"
#include "core/controls.h"

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
//  - Inside a handler that started on time, "now" for a new period is the moment its event fell
//    due, moved on by its busy pauses: the handler's own running time does not shift the
//    timers it sets. Timers set together stay together on the wall clock as on virtual time,
//    so the window handles the same events in the same order as a headless run.
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

    // A handler for an event at `eventTime` starts, or ends. Outside handlers new periods count
    // from the clock's time.
    void beginHandler(double eventTime);
    void endHandler();
    // What a period set now counts from (see above).
    [[nodiscard]] double handlerTime() const;
    // The running handler's time moves on to `to`, as after a busy pause.
    void moveHandlerTime(double to);
    // When the tick last taken of `timer` fell due: the time its handler starts from.
    [[nodiscard]] double lastDue(Timer timer) const { return timers_.at(index(timer)).lastDue; }

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
        double lastDue = 0;
    };

    Clock& clock_;
    std::array<State, kTimerCount> timers_{};
    std::optional<double> pausedAt_;
    std::optional<double> handlerTime_;
};

} // namespace q3
