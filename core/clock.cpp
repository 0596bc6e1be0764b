#include "core/clock.h"

#include <algorithm>
#include <thread>

namespace q3 {

double RealClock::now() const
{
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

void RealClock::waitUntil(double ms)
{
    // Sleep for most of the wait, then spin the last stretch: a sleep may overshoot by a
    // scheduler quantum, and a frame of the animation is only 100 ms.
    constexpr double kSpinMs = 1.5;
    const double remaining = ms - now();
    if (remaining > kSpinMs)
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(remaining - kSpinMs));
    while (now() < ms)
        std::this_thread::yield();
}

ShowClock::ShowClock(std::unique_ptr<Clock> source)
    : source_(std::move(source)), sourceFrom_(source_->now())
{}

double ShowClock::now() const
{
    if (replaying_ || held_)
        return from_;
    return from_ + (source_->now() - sourceFrom_) * speed_;
}

void ShowClock::waitUntil(double ms)
{
    if (replaying_)
        from_ = std::max(from_, ms);
    else if (!held_)
        source_->waitUntil(sourceFrom_ + (ms - from_) / speed_);
}

void ShowClock::rebase(double showMs)
{
    from_ = showMs;
    sourceFrom_ = source_->now();
}

void ShowClock::replayFrom(double ms)
{
    replaying_ = true;
    from_ = ms;
}

void ShowClock::play()
{
    if (!replaying_)
        return;
    replaying_ = false;
    if (!held_)
        rebase(from_);
}

void ShowClock::hold()
{
    if (held_)
        return;
    if (!replaying_)
        rebase(now());
    held_ = true;
}

void ShowClock::release()
{
    if (!held_)
        return;
    held_ = false;
    if (!replaying_)
        rebase(from_);
}

void ShowClock::setSpeed(double speed)
{
    rebase(now());
    speed_ = speed;
}

} // namespace q3
