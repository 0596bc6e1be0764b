#include "core/scheduler.h"

#include <cmath>

namespace q3 {
namespace {

// A handler that starts later than this after its event fell due did not start on time (the
// program was held up): its periods count from the clock's time, so that a timer set then
// still waits a whole period.
constexpr double kOnTimeMs = 20;

} // namespace

void Scheduler::beginHandler(double eventTime)
{
    handlerTime_ = eventTime;
}

void Scheduler::endHandler()
{
    handlerTime_.reset();
}

double Scheduler::handlerTime() const
{
    const double now = clock_.now();
    if (handlerTime_ && now >= *handlerTime_ && now - *handlerTime_ <= kOnTimeMs)
        return *handlerTime_;
    return now;
}

void Scheduler::moveHandlerTime(double to)
{
    if (handlerTime_)
        handlerTime_ = to;
}

void Scheduler::setPeriod(Timer timer, int ms)
{
    State& state = timers_.at(index(timer));
    if (ms <= 0) {
        state.period = 0;
        return;
    }
    if (ms == state.period)
        return;
    state.period = ms;
    state.due = handlerTime() + ms;
}

std::optional<double> Scheduler::dueTime(Timer timer) const
{
    const State& state = timers_.at(index(timer));
    if (state.period == 0)
        return std::nullopt;
    return state.due;
}

void Scheduler::pause()
{
    if (!pausedAt_)
        pausedAt_ = clock_.now();
}

void Scheduler::resume()
{
    if (!pausedAt_)
        return;
    const double pausedFor = clock_.now() - *pausedAt_;
    pausedAt_.reset();
    for (State& state : timers_)
        state.due += pausedFor;
}

std::optional<double> Scheduler::nextDue() const
{
    if (pausedAt_)
        return std::nullopt;
    std::optional<double> next;
    for (const State& state : timers_)
        if (state.period > 0 && (!next || state.due < *next))
            next = state.due;
    return next;
}

std::optional<Timer> Scheduler::takeDue()
{
    if (pausedAt_)
        return std::nullopt;
    const double now = clock_.now();
    std::optional<Timer> chosen;
    for (const Timer timer : kTimers) {
        const State& state = timers_.at(index(timer));
        if (state.period == 0 || state.due > now)
            continue;
        if (!chosen || state.due < timers_.at(index(*chosen)).due)
            chosen = timer;
    }
    if (chosen) {
        State& state = timers_.at(index(*chosen));
        state.lastDue = state.due;
        const double periods = std::floor((now - state.due) / state.period) + 1;
        state.due += periods * state.period;
    }
    return chosen;
}

} // namespace q3
