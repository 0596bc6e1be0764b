#include "core/clock.h"

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

} // namespace q3
